// Publishing to a real Mosquitto broker: every capture of every card once, with its card and
// figures; the backlog of an outage or of a killed run in order; connection failures that leave
// the run storing locally; a card pulled while the other goes on.
#include "TestBroker.h"
#include "TestSupport.h"
#include "monitor/MonitorStore.h"
#include "monitor/MqttPublisher.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <map>
#include <set>

using namespace tbroker;

namespace {
struct Run {
    int code = -1;
    QString out, err;
};

Run Monitor(const QStringList& args, const QString& fault = {}, const QStringList& env = {})
{
    QProcess p;
    PrepareMonitor(p, fault, env);
    p.start(qEnvironmentVariable("SB_CLI"), args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

std::vector<monitor::StoredCapture> Stored(const QString& db, bool samples = false)
{
    monitor::Store store;
    QString error;
    if (!store.Open(db, &error))
        return {};
    return store.Captures(samples);
}

int Unpublished(const QString& db)
{
    monitor::Store store;
    QString error;
    return store.Open(db, &error) ? store.OutboxPending() : -1;
}

QString Url(int port, const QString& prefix) { return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port).arg(prefix); }

// Capture ids in the order their first copy arrived (QoS 1 may repeat one; the message id says so).
std::vector<qint64> CaptureIds(const std::vector<Message>& captures)
{
    std::vector<qint64> ids;
    std::set<QString> seen;
    for (const Message& m : captures)
        if (seen.insert(m.Json().value("message_id").toString()).second)
            ids.push_back(m.Json().value("capture_id").toInteger());
    return ids;
}

std::vector<qint64> OneTo(qint64 n)
{
    std::vector<qint64> v;
    for (qint64 i = 1; i <= n; ++i)
        v.push_back(i);
    return v;
}

// The stderr lines that speak of the broker.
QStringList BrokerLines(const QString& err, const QString& url)
{
    QStringList out;
    for (const QString& l : err.split('\n', Qt::SkipEmptyParts))
        if (l.contains(url))
            out << l;
    return out;
}

bool MakeCertificate(const QString& dir, const QString& name)
{
    QProcess p;
    p.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                         "-nodes", "-keyout", dir + "/" + name + ".key", "-out", dir + "/" + name + ".pem",
                                         "-days", "2", "-subj", "/CN=localhost", "-addext",
                                         "subjectAltName=DNS:localhost,IP:127.0.0.1"});
    return p.waitForFinished(30000) && p.exitCode() == 0;
}
} // namespace

class tst_mqtt : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("mosquitto").isEmpty() && !QFile::exists("/usr/sbin/mosquitto"))
            QSKIP("mosquitto is not installed (scripts/deps.sh installs it)");
    }

    // What a broker URL gives: TLS or not, user, host, port (the scheme's default), prefix.
    void brokerUrls_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("parsed");   // "tls user host port prefix", or empty: refused
        QTest::newRow("plain") << "mqtt://broker/plant" << "0  broker 1883 plant";
        QTest::newRow("tls, user, port, deep prefix")
            << "mqtts://bench7@broker.plant:8884/plant/hall2/bench7/" << "1 bench7 broker.plant 8884 plant/hall2/bench7";
        QTest::newRow("tls default port") << "mqtts://10.0.0.5/p" << "1  10.0.0.5 8883 p";
        QTest::newRow("IPv6") << "mqtt://[::1]:1999/p" << "0  ::1 1999 p";
        QTest::newRow("no prefix") << "mqtt://broker/" << "";
        QTest::newRow("wildcard prefix") << "mqtt://broker/plant/#" << "";
        QTest::newRow("port 0") << "mqtt://broker:0/p" << "";
        QTest::newRow("port too high") << "mqtt://broker:65536/p" << "";
        QTest::newRow("password") << "mqtt://u:pw@broker/p" << "";
        QTest::newRow("other scheme") << "tcp://broker/p" << "";
    }
    void brokerUrls()
    {
        QFETCH(QString, url);
        QFETCH(QString, parsed);
        QString error;
        const auto s = monitor::ParseMqttUrl(url, &error);
        QCOMPARE(s.has_value(), !parsed.isEmpty());
        if (!s) {
            QVERIFY(error.startsWith("--mqtt"));
            QVERIFY(!error.contains("pw"));
            return;
        }
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5").arg(int(s->tls)).arg(s->user, s->host).arg(s->port).arg(s->prefix), parsed);
        QCOMPARE(monitor::CaptureTopic(*s, 2), s->prefix + "/card/2/capture");
        QCOMPARE(monitor::AlarmTopic(*s, -1, 1), s->prefix + "/card/port/alarm/1");
    }

    // Two cards, three intervals: each capture once, on its card's topic, with the figures the
    // database holds; its samples when asked; online then offline; the alarm state per channel.
    void everyCaptureOfEveryCardArrivesOnce()
    {
        QTemporaryDir dir;
        Broker broker(dir.path());
        QVERIFY(broker.Start());
        Subscriber sub(broker.Port(), "bench/#");
        QVERIFY(sub.Ready(broker.Port(), "bench/probe"));
        const QString db = dir.filePath("m.sqlite");
        const Run r = Monitor({"--sim=2", "--fast", "monitor", "--card", "all", "--db", db, "--count", "3", "--interval",
                               "100ms", "--alarm-zone", "B", "--mqtt", Url(broker.Port(), "bench"), "--mqtt-samples"});
        QCOMPARE(r.code, 0);
        QVERIFY2(BrokerLines(r.err, Url(broker.Port(), "bench")).isEmpty(), qPrintable(r.err));
        const auto stored = Stored(db, true);
        QCOMPARE(stored.size(), size_t(6));
        QVERIFY(WaitUntil([&] { return sub.OnTopic("/status").size() >= 2; }));
        QCOMPARE(sub.OnTopic("/capture").size(), size_t(6));
        QCOMPARE(Unpublished(db), 0);
        std::set<QString> ids;
        for (const monitor::StoredCapture& c : stored) {
            QCOMPARE(c.cardSlot, int(c.id - 1) % 2);
            QCOMPARE(c.cardName, QStringLiteral("Ezusb-%1").arg(c.cardSlot));
            const auto copies = sub.Where([&](const Message& m) {
                return m.topic.endsWith("/capture") && m.Json().value("capture_id").toInteger() == c.id;
            });
            QCOMPARE(copies.size(), size_t(1));
            const QJsonObject o = copies[0].Json();
            QCOMPARE(copies[0].topic, QStringLiteral("bench/card/%1/capture").arg(c.cardSlot));
            QCOMPARE(o.value("card_slot").toInt(), c.cardSlot);
            QCOMPARE(o.value("card_name").toString(), c.cardName);
            QCOMPARE(o.value("complete").toBool(), true);
            QCOMPARE(o.value("time").toString(), c.timeUtc.toString(Qt::ISODateWithMs));
            QVERIFY(o.value("time").toString().endsWith('Z'));
            QVERIFY(ids.insert(o.value("message_id").toString()).second);
            const QJsonArray channels = o.value("channels").toArray();
            QCOMPARE(channels.size(), qsizetype(c.figures.size()));
            for (qsizetype k = 0; k < channels.size(); ++k) {
                const QJsonObject ch = channels[k].toObject();
                QCOMPARE(ch.value("name").toString(), c.figures[size_t(k)].name);
                QCOMPARE(ch.value("velocity_rms_mm_s").toDouble(), c.figures[size_t(k)].stats.velocityRms);
                QCOMPARE(ch.value("ac_rms").toDouble(), c.figures[size_t(k)].stats.acRms);
                QCOMPARE(ch.value("zone").toString(), QString(c.figures[size_t(k)].zone));
            }
            const auto samples = sub.Where([&](const Message& m) {
                return m.topic == QStringLiteral("bench/card/%1/samples").arg(c.cardSlot) &&
                       m.Json().value("capture_id").toInteger() == c.id;
            });
            QCOMPARE(samples.size(), size_t(1));
            const QJsonArray buffers = samples[0].Json().value("buffers").toArray();
            QCOMPARE(buffers.size(), 3);
            for (int b = 0; b < 3; ++b)
                for (int i : {0, 511, 1023})
                    QCOMPARE(buffers[b].toArray()[i].toInt(), int(c.samples[size_t(b * 1024 + i)]));
        }
        // The message is what the published schema says: its required fields, no others.
        QFile schemaFile(qEnvironmentVariable("SB_SOURCE_DIR") + "/docs/mqtt-capture.schema.json");
        QVERIFY(schemaFile.open(QIODevice::ReadOnly));
        const QJsonObject schema = QJsonDocument::fromJson(schemaFile.readAll()).object();
        auto keys = [](const QJsonArray& a) {
            QStringList k;
            for (const QJsonValue& v : a)
                k << v.toString();
            k.sort();
            return k;
        };
        const QJsonObject message = sub.OnTopic("/capture").front().Json();
        QCOMPARE(QStringList(message.keys()), keys(schema.value("required").toArray()));
        QCOMPARE(QStringList(message.value("channels").toArray().first().toObject().keys()),
                 keys(schema["properties"]["channels"]["items"]["required"].toArray()));
        const auto status = sub.OnTopic("bench/status");
        QCOMPARE(status.front().payload, QByteArray("online"));
        QCOMPARE(status.back().payload, QByteArray("offline"));
        // The last alarm message of each card and channel says what that card's last capture did.
        for (int slot : {0, 1}) {
            const monitor::StoredCapture& last = stored[size_t(4 + slot)];
            for (size_t k = 0; k < last.figures.size(); ++k) {
                const auto alarms = sub.OnTopic(QStringLiteral("bench/card/%1/alarm/%2").arg(slot).arg(k));
                QVERIFY(!alarms.empty());
                const bool alarming = last.figures[k].zone >= QLatin1Char('B');
                QCOMPARE(!alarms.back().payload.isEmpty(), alarming);
                if (alarming)
                    QCOMPARE(alarms.back().Json().value("zone").toString(), QString(last.figures[k].zone));
            }
        }
    }

    // The broker goes away for several captures and comes back: the run never stops, and the
    // captures taken meanwhile arrive afterwards, in order, none missing.
    void brokerOutageBacklogArrivesInOrder()
    {
        QTemporaryDir dir;
        Broker broker(dir.path());
        QVERIFY(broker.Start());
        const QString db = dir.filePath("m.sqlite");
        auto sub = std::make_unique<Subscriber>(broker.Port(), "plant/#", "plant-historian");
        QVERIFY(sub->Ready(broker.Port(), "plant/probe"));
        QProcess p;
        PrepareMonitor(p);
        p.start(qEnvironmentVariable("SB_CLI"), {"--sim", "--fast", "monitor", "--db", db, "--interval", "100ms", "--mqtt",
                                                  Url(broker.Port(), "plant")});
        QVERIFY(WaitUntil([&] { return sub->OnTopic("/capture").size() >= 2; }));
        const size_t before = Stored(db).size();
        broker.Stop();
        // The historian goes down with the broker; its session stays with the broker.
        std::vector<Message> seen = sub->OnTopic("/capture");
        sub.reset();
        QVERIFY(WaitUntil([&] { return Stored(db).size() >= before + 4; }));
        QVERIFY(Unpublished(db) >= 3);
        QVERIFY(broker.Start());
        sub = std::make_unique<Subscriber>(broker.Port(), "plant/#", "plant-historian");
        const size_t taken = Stored(db).size();
        QVERIFY(WaitUntil([&] { return Unpublished(db) == 0 && Stored(db).size() > taken; }));
        p.terminate();
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(BrokerLines(err, Url(broker.Port(), "plant")).size(), qsizetype(2));  // lost, then back
        const std::vector<qint64> all = OneTo(qint64(Stored(db).size()));
        auto received = [&] {
            std::vector<Message> both = seen;
            for (const Message& m : sub->OnTopic("/capture"))
                both.push_back(m);
            return CaptureIds(both);
        };
        QVERIFY(WaitUntil([&] { return received().size() >= all.size(); }));
        QCOMPARE(received(), all);
    }

    // A run that dies says so through its last will: the bench's retained status turns offline,
    // also for a subscriber that comes later.
    void deadRunIsOfflineByItsWill()
    {
        QTemporaryDir dir;
        Broker broker(dir.path());
        QVERIFY(broker.Start());
        Subscriber sub(broker.Port(), "cell/#");
        QVERIFY(sub.Ready(broker.Port(), "cell/probe"));
        QProcess p;
        PrepareMonitor(p);
        p.start(qEnvironmentVariable("SB_CLI"), {"--sim", "--fast", "monitor", "--db", dir.filePath("m.sqlite"), "--interval",
                                                  "1h", "--mqtt", Url(broker.Port(), "cell")});
        QVERIFY(WaitUntil([&] { return !sub.OnTopic("/capture").empty(); }));
        QCOMPARE(sub.OnTopic("cell/status").back().payload, QByteArray("online"));
        p.kill();
        p.waitForFinished();
        QVERIFY(WaitUntil([&] { return sub.OnTopic("cell/status").back().payload == "offline"; }));
        Subscriber later(broker.Port(), "cell/status");
        QVERIFY(WaitUntil([&] { return !later.OnTopic("cell/status").empty(); }));
        QCOMPARE(later.OnTopic("cell/status").front().payload, QByteArray("offline"));
    }

    // A run killed while the broker is away leaves its captures in the outbox; the next run
    // sends them first, in order.
    void killedRunsBacklogGoesOutWithTheNextRun()
    {
        QTemporaryDir dir;
        Broker broker(dir.path());
        const QString db = dir.filePath("m.sqlite");
        const QString url = Url(broker.Port(), "line4");
        {
            QProcess p;
            PrepareMonitor(p);
            p.start(qEnvironmentVariable("SB_CLI"), {"--sim", "--fast", "monitor", "--db", db, "--interval", "100ms", "--mqtt", url});
            QVERIFY(WaitUntil([&] { return Stored(db).size() >= 3; }));
            p.kill();
            p.waitForFinished();
        }
        const int kept = Unpublished(db);
        QCOMPARE(size_t(kept), Stored(db).size());
        QVERIFY(broker.Start());
        Subscriber sub(broker.Port(), "line4/#");
        QVERIFY(sub.Ready(broker.Port(), "line4/probe"));
        const Run r = Monitor({"--sim", "--fast", "monitor", "--db", db, "--count", "1", "--mqtt", url});
        QCOMPARE(r.code, 0);
        QVERIFY(WaitUntil([&] { return sub.OnTopic("/capture").size() >= size_t(kept + 1); }));
        QCOMPARE(CaptureIds(sub.OnTopic("/capture")), OneTo(kept + 1));
        QCOMPARE(Unpublished(db), 0);
        // The run's clean end said so.
        QCOMPARE(sub.OnTopic("line4/status").back().payload, QByteArray("offline"));
    }

    // A broker that cannot be reached or will not take the bench: one line that says why, and the
    // run stores every capture, all waiting in the outbox. The right password and certificate work.
    void connectionFailuresKeepStoring_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("said");   // in the one line; empty: published, nothing said
        QTest::newRow("refused") << "refused" << "Connection refused";
        QTest::newRow("unknown host") << "unknown host" << "cannot find host";
        QTest::newRow("wrong password") << "wrong password" << "not authorised";
        QTest::newRow("right password") << "right password" << "";
        QTest::newRow("right password from the environment") << "environment password" << "";
        QTest::newRow("untrusted certificate") << "untrusted certificate" << "certificate verify failed";
        QTest::newRow("trusted certificate") << "trusted certificate" << "";
    }
    void connectionFailuresKeepStoring()
    {
        QFETCH(QString, kind);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString d = dir.path();
        QStringList listener, options, env;
        QString url;
        if (kind.endsWith("password")) {
            QVERIFY(QProcess::execute("mosquitto_passwd", {"-c", "-b", d + "/passwd", "bench7", "s3cret"}) == 0);
            listener << "password_file " + d + "/passwd";
            QFile f(d + "/pw");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(kind.startsWith("right") ? "s3cret\n" : "guess\n");
            if (kind.startsWith("environment"))
                env << "SENSORBENCH_MQTT_PASSWORD=s3cret";
            else
                options << "--mqtt-password-file" << f.fileName();
        }
        if (kind.endsWith("certificate")) {
            QVERIFY(MakeCertificate(d, "broker") && MakeCertificate(d, "other"));
            listener << "certfile " + d + "/broker.pem" << "keyfile " + d + "/broker.key";
            options << "--mqtt-ca" << d + (kind.startsWith("trusted") ? "/broker.pem" : "/other.pem");
        }
        Broker broker(d, listener);
        if (kind != "refused")
            QVERIFY(broker.Start());
        if (kind.endsWith("password"))
            url = QStringLiteral("mqtt://bench7@127.0.0.1:%1/b").arg(broker.Port());
        else if (kind.endsWith("certificate"))
            url = QStringLiteral("mqtts://localhost:%1/b").arg(broker.Port());
        else if (kind == "unknown host")
            url = "mqtt://no-such-broker.invalid/b";
        else
            url = Url(broker.Port(), "b");
        const QString db = d + "/m.sqlite";
        const Run r = Monitor(QStringList{"--sim", "--fast", "monitor", "--db", db, "--count", "1", "--mqtt", url} + options,
                              {}, env);
        QCOMPARE(r.code, 0);
        QCOMPARE(Stored(db).size(), size_t(1));
        const QStringList lines = BrokerLines(r.err, url.section('/', 0, 2).section('@', -1));
        if (said.isEmpty()) {
            QVERIFY2(lines.isEmpty(), qPrintable(r.err));
            QCOMPARE(Unpublished(db), 0);
            return;
        }
        QCOMPARE(lines.size(), qsizetype(1));
        QVERIFY2(lines[0].contains(said, Qt::CaseInsensitive), qPrintable(lines[0]));
        QVERIFY2(lines[0].contains(db), qPrintable(lines[0]));   // where the captures wait
        QVERIFY(!r.err.contains("s3cret") && !r.err.contains("guess"));
        QCOMPARE(Unpublished(db), 1);
    }

    // Two cards, the first pulled in the middle of the run: the second's captures go on and are
    // published; the first's are published as lost.
    void pulledCardOthersGoOn()
    {
        QTemporaryDir dir;
        Broker broker(dir.path());
        QVERIFY(broker.Start());
        Subscriber sub(broker.Port(), "rig/#");
        QVERIFY(sub.Ready(broker.Port(), "rig/probe"));
        const QString db = dir.filePath("m.sqlite");
        const Run r = Monitor({"--sim=2", "--fast", "monitor", "--card", "0,1", "--db", db, "--count", "3", "--interval",
                               "100ms", "--mqtt", Url(broker.Port(), "rig")},
                              "unplug:1000");
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        QVERIFY2(lines[2].contains("#2 card 0 lost: "), qPrintable(lines[2]));
        QVERIFY2(lines[4].contains("#3 card 0 lost: "), qPrintable(lines[4]));
        QVERIFY(WaitUntil([&] { return sub.OnTopic("/capture").size() >= 6; }));
        const auto card1 = sub.OnTopic("rig/card/1/capture");
        QCOMPARE(card1.size(), size_t(3));
        for (const Message& m : card1)
            QCOMPARE(m.Json().value("complete").toBool(), true);
        const auto card0 = sub.OnTopic("rig/card/0/capture");
        QCOMPARE(card0.size(), size_t(3));
        QCOMPARE(card0[0].Json().value("complete").toBool(), true);
        for (size_t k : {1, 2}) {
            const QJsonObject o = card0[k].Json();
            QCOMPARE(o.value("complete").toBool(), false);
            QVERIFY(!o.value("loss_reason").toString().isEmpty());
            QVERIFY(o.value("channels").toArray().isEmpty());
            QVERIFY(o.value("temperature").isNull());
            QVERIFY(o.value("status_word").isNull());
        }
    }
};

SB_TEST_MAIN(tst_mqtt)
#include "tst_mqtt.moc"
