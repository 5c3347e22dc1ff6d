// Monitoring: severity zones at their boundaries, the database's schema steps, captures stored
// in-process sample for sample, and the real `monitor` process: counts, lost cards, bounded
// waveforms, a SIGKILL in the middle.
#include "../sim/SimTestBench.h"
#include "capture/CaptureWorkflow.h"
#include "monitor/MonitorStore.h"
#include "monitor/Severity.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <functional>

namespace {
struct Run {
    int code = -1;
    QString out, err;
};

void Prepare(QProcess& p, const QString& fault = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SENSORBENCH_SIM"));
    env.remove(QStringLiteral("SENSORBENCH_SIM_FAULT"));
    if (!fault.isEmpty())
        env.insert(QStringLiteral("SENSORBENCH_SIM_FAULT"), fault);
    p.setProcessEnvironment(env);
}

Run Monitor(const QStringList& args, const QString& fault = {})
{
    QProcess p;
    Prepare(p, fault);
    p.start(qEnvironmentVariable("SB_CLI"), QStringList{"--sim", "monitor"} + args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// Polls `done` every 50 ms for up to a minute.
bool WaitUntil(const std::function<bool()>& done)
{
    for (int waited = 0; !done(); waited += 50) {
        if (waited >= 60000)
            return false;
        QThread::msleep(50);
    }
    return true;
}

std::vector<monitor::StoredCapture> Stored(const QString& db, bool samples = false)
{
    monitor::Store store;
    QString error;
    if (!store.Open(db, &error))
        return {};
    return store.Captures(samples);
}
} // namespace

class tst_monitor : public QObject {
    Q_OBJECT
private slots:
    void zones_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("zone");
        const double e = 1e-9;
        for (const monitor::MachineClass& c : monitor::MachineClasses()) {
            for (int b = 0; b < 3; ++b) {
                const double at = c.bounds[size_t(b)];
                const QString below(QChar(u'A' + b)), from(QChar(u'A' + b + 1));
                QTest::addRow("%s %.1f below", qPrintable(c.name), at) << c.name << at - e << below;
                QTest::addRow("%s %.1f at", qPrintable(c.name), at) << c.name << at << from;
            }
            QTest::addRow("%s zero", qPrintable(c.name)) << c.name << 0.0 << "A";
            QTest::addRow("%s no velocity", qPrintable(c.name)) << c.name << std::nan("") << "-";
        }
    }
    void zones()
    {
        QFETCH(QString, machine);
        QFETCH(double, v);
        const auto c = monitor::FindMachineClass(machine);
        QVERIFY(c);
        QTEST(QString(monitor::Zone(v, *c)), "zone");
    }

    void boundariesOfEachClass()
    {
        const std::map<QString, std::array<double, 3>> expected{{"group1-rigid", {2.3, 4.5, 7.1}},
                                                                {"group1-flexible", {3.5, 7.1, 11.0}},
                                                                {"group2-rigid", {1.4, 2.8, 4.5}},
                                                                {"group2-flexible", {2.3, 4.5, 7.1}}};
        for (const auto& [name, bounds] : expected)
            QCOMPARE(monitor::FindMachineClass(name)->bounds, bounds);
        QVERIFY(!monitor::FindMachineClass("group3-rigid"));
    }

    // A database of the first schema is brought up to date and keeps its captures.
    void schemaStepKeepsOldCaptures()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("old.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("CREATE TABLE captures (id INTEGER PRIMARY KEY, time_utc TEXT NOT NULL, product INTEGER,"
                           " mode INTEGER, avg_exponent INTEGER, sample_rate REAL, supply REAL, temperature REAL,"
                           " peak_x REAL, peak_y REAL, peak_z REAL, status INTEGER, complete INTEGER NOT NULL,"
                           " loss_reason TEXT)"));
            QVERIFY(q.exec("CREATE TABLE figures (capture_id INTEGER, channel INTEGER, name TEXT, mean REAL,"
                           " ac_rms REAL, peak_to_peak REAL, crest_factor REAL, kurtosis REAL, dominant_hz REAL,"
                           " dominant_amplitude REAL, velocity_rms REAL, zone TEXT)"));
            QVERIFY(q.exec("CREATE TABLE waveforms (capture_id INTEGER PRIMARY KEY, samples BLOB NOT NULL)"));
            QVERIFY(q.exec("INSERT INTO captures (time_utc, complete) VALUES ('2026-01-02T03:04:05Z', 0)"));
            QVERIFY(q.exec("PRAGMA user_version=1"));
            db.close();
        }
        QSqlDatabase::removeDatabase("old");
        monitor::Store store;
        QString error;
        QVERIFY2(store.Open(path, &error), qPrintable(error));
        QCOMPARE(store.SchemaVersion(), monitor::Store::kSchemaVersion);
        CaptureRecord::Record lost;
        QVERIFY(store.Add(lost, false, "card lost", 0, {}, "group1-rigid", &error));
        const auto all = store.Captures();
        QCOMPARE(all.size(), size_t(2));
        QCOMPARE(all[0].timeUtc, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
        QCOMPARE(all[1].lossReason, QStringLiteral("card lost"));
        // Earlier captures do not know their card, and were never to be published.
        QCOMPARE(all[0].cardSlot, -1);
        QCOMPARE(store.OutboxPending(), 0);
    }

    // Captures on the virtual board, stored and read back: the same samples, the same figures.
    void storedCapturesReproduceTheirSamples()
    {
        tb::UseUsbCard(31473);
        QTemporaryDir dir;
        monitor::Store store;
        QString error;
        QVERIFY(store.Open(dir.filePath("m.sqlite"), &error));
        const monitor::MachineClass machine = *monitor::FindMachineClass("group1-rigid");
        std::vector<CaptureRecord::Record> taken;
        for (int avg : {0, 3}) {
            const capture::RunResult r = capture::ConfigureAndCapture(ProgramSession(), {0, avg}, {});
            QVERIFY(r.Complete());
            taken.push_back(CaptureRecord::Last);
            QVERIFY(store.Add(CaptureRecord::Last, true, {}, 0x80, monitor::Figures(CaptureRecord::Last, machine),
                              machine.name, &error));
        }
        const auto back = store.Captures(true);
        QCOMPARE(back.size(), size_t(2));
        for (size_t k = 0; k < 2; ++k) {
            QCOMPARE(back[k].samples.size(), size_t(3072));
            for (int b = 0; b < 3; ++b)
                for (int i = 0; i < 1024; ++i)
                    QCOMPARE(double(back[k].samples[size_t(b * 1024 + i)]), taken[k].raw[size_t(b)][size_t(i)]);
            QCOMPARE(back[k].avgExponent, taken[k].avgExponent);
            QCOMPARE(back[k].sampleRate, taken[k].sampleRate);
            QCOMPARE(back[k].figures.size(), size_t(3));
            const auto again = monitor::Figures(taken[k], machine);
            QCOMPARE(back[k].figures[1].stats.velocityRms, again[1].stats.velocityRms);
            QCOMPARE(back[k].figures[1].zone, again[1].zone);
        }
    }

    void processRunsAppendsAndLosesOneCapture()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath("night.sqlite");
        Run r = Monitor({"--count", "5", "--interval", "1s", "--db", db, "--keep-waveforms", "2"}, "unplug:13000");
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines[2].contains("#3 card 0 lost: Error Writing SPI"), qPrintable(lines[2]));
        QVERIFY2(lines[0].contains(" zone "), qPrintable(lines[0]));
        auto stored = Stored(db, true);
        QCOMPARE(stored.size(), size_t(5));
        QCOMPARE(stored[2].complete, false);
        QCOMPARE(stored[0].complete && stored[1].complete, true);
        QCOMPARE(stored[0].figures.size(), size_t(3));
        // Only the two newest waveforms are kept; every figure stays.
        int blobs = 0;
        for (const auto& c : stored)
            blobs += !c.samples.empty();
        QCOMPARE(blobs, 2);
        // What a lost capture never read is NULL, so that SQL averages skip it; every capture
        // keeps its sensor and scale.
        {
            QSqlDatabase check = QSqlDatabase::addDatabase("QSQLITE", "lost");
            check.setDatabaseName(db);
            QVERIFY(check.open());
            QSqlQuery q(check);
            QVERIFY(q.exec("SELECT supply, temperature, sample_rate, peak_x, peak_y, peak_z, product, g_per_count"
                           " FROM captures WHERE complete = 0"));
            QVERIFY(q.next());
            for (int i = 0; i < 6; ++i)
                QVERIFY2(q.value(i).isNull(), qPrintable(QString::number(i)));
            QCOMPARE(q.value(6).toInt(), 31473);
            QCOMPARE(q.value(7).toDouble(), double(RegisterMapFor(31473).GPerCount()));
            QVERIFY(q.exec("SELECT COUNT(*), COUNT(temperature), AVG(temperature) FROM captures"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 5);
            QCOMPARE(q.value(1).toInt(), 2); // the two complete ones
            QVERIFY(q.value(2).toDouble() > 10); // no 0 dragging the mean down
        }
        QSqlDatabase::removeDatabase("lost");

        r = Monitor({"--count", "2", "--interval", "1s", "--db", db, "--keep-waveforms", "2"});
        QCOMPARE(r.code, 0);
        stored = Stored(db, true);
        QCOMPARE(stored.size(), size_t(7));
        // The newest two keep their samples, the earlier ones give theirs up.
        for (size_t k = 0; k < stored.size(); ++k)
            QCOMPARE(stored[k].samples.size(), k >= 5 ? size_t(3072) : size_t(0));
    }

    // A run killed outright leaves a database that opens and holds every committed capture whole.
    void sigkillLeavesCommittedCaptures()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath("killed.sqlite");
        QProcess p;
        Prepare(p);
        p.start(qEnvironmentVariable("SB_CLI"), {"--sim", "monitor", "--interval", "1s", "--db", db});
        QVERIFY(p.waitForStarted());
        for (int i = 0; i < 300 && Stored(db).size() < 2; ++i)
            QThread::msleep(100);
        p.kill();
        p.waitForFinished();
        const auto stored = Stored(db, true);
        QVERIFY2(stored.size() >= 2, p.readAllStandardError().constData());
        for (const auto& c : stored) {
            QVERIFY(c.complete);
            QCOMPARE(c.figures.size(), size_t(3));
            QCOMPARE(c.samples.size(), size_t(3072));
        }
        QSqlDatabase check = QSqlDatabase::addDatabase("QSQLITE", "check");
        check.setDatabaseName(db);
        QVERIFY(check.open());
        QSqlQuery q(check);
        QVERIFY(q.exec("PRAGMA integrity_check") && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
    }

    void badCommandLinesRunNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no database") << QStringList{"--count", "1"};
        QTest::newRow("bad interval") << QStringList{"--db", "x.sqlite", "--interval", "10x"};
        QTest::newRow("bad class") << QStringList{"--db", "x.sqlite", "--machine-class", "group3"};
        QTest::newRow("alarm command without zone") << QStringList{"--db", "x.sqlite", "--on-alarm", "true"};
        QTest::newRow("zone A") << QStringList{"--db", "x.sqlite", "--alarm-zone", "A"};
        QTest::newRow("no such slot") << QStringList{"--db", "x.sqlite", "--card", "0,4"};
        QTest::newRow("slot twice") << QStringList{"--db", "x.sqlite", "--card", "1,1"};
        QTest::newRow("not a broker URL") << QStringList{"--db", "x.sqlite", "--mqtt", "http://broker/bench"};
        QTest::newRow("no topic prefix") << QStringList{"--db", "x.sqlite", "--mqtt", "mqtt://broker"};
        QTest::newRow("password in the URL") << QStringList{"--db", "x.sqlite", "--mqtt", "mqtt://u:pw@broker/b"};
        QTest::newRow("certificate without TLS")
            << QStringList{"--db", "x.sqlite", "--mqtt", "mqtt://broker/b", "--mqtt-ca", "ca.pem"};
        QTest::newRow("certificate without key")
            << QStringList{"--db", "x.sqlite", "--mqtt", "mqtts://broker/b", "--mqtt-cert", "c.pem"};
        QTest::newRow("samples without broker") << QStringList{"--db", "x.sqlite", "--mqtt-samples"};
    }
    void badCommandLinesRunNothing()
    {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        QProcess p;
        Prepare(p);
        p.setWorkingDirectory(dir.path());
        p.start(qEnvironmentVariable("SB_CLI"), QStringList{"--sim", "monitor"} + args);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    // Another program holds the database longer than the busy timeout, before the run or in the
    // middle of it: the run goes on, keeps its captures and stores every one once it is free.
    void locksAreWaitedOut_data()
    {
        QTest::addColumn<bool>("exclusive");   // not even readers get in
        QTest::addColumn<bool>("atStart");
        QTest::newRow("write lock at start") << false << true;
        QTest::newRow("exclusive lock at start") << true << true;
        QTest::newRow("write lock mid-run") << false << false;
    }
    void locksAreWaitedOut()
    {
        QFETCH(bool, exclusive);
        QFETCH(bool, atStart);
        QTemporaryDir dir;
        const QString db = dir.filePath("locked.sqlite");
        QVERIFY(Stored(db).empty());   // made, schema and all
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
        holder.setDatabaseName(db);
        QVERIFY(holder.open());
        auto lock = [&] {
            QSqlQuery q(holder);
            if (exclusive)
                QVERIFY(q.exec("PRAGMA locking_mode=EXCLUSIVE"));
            QVERIFY(q.exec(exclusive ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE"));
            QVERIFY(q.exec("DELETE FROM outbox"));
        };
        QProcess p;
        Prepare(p);
        QProcessEnvironment env = p.processEnvironment();
        env.insert("SENSORBENCH_DB_BUSY_TIMEOUT_MS", "200");
        p.setProcessEnvironment(env);
        QString out, err;
        auto read = [&] {
            p.waitForReadyRead(10);
            out += QString::fromUtf8(p.readAllStandardOutput());
            err += QString::fromUtf8(p.readAllStandardError());
        };
        if (atStart)
            lock();
        p.start(qEnvironmentVariable("SB_CLI"), {"--sim", "--fast", "monitor", "--db", db, "--count", "4", "--interval", "300ms"});
        if (!atStart) {
            QVERIFY(WaitUntil([&] { return read(), out.count('\n') >= 1; }));
            lock();
        }
        // Kept, and a later capture kept behind it.
        QVERIFY(WaitUntil([&] { return read(), err.contains("kept") && out.count('\n') >= (atStart ? 2 : 3); }));
        QVERIFY2(err.contains("sensorbench-cli: monitor: " + db + ": database is locked"), qPrintable(err));
        holder.close();
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase("holder");
        QVERIFY(p.waitForFinished(60000));
        read();
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(err.contains(db + ": free again"), qPrintable(err));
        const auto stored = Stored(db);
        QCOMPARE(stored.size(), size_t(4));
        for (size_t k = 1; k < stored.size(); ++k)
            QVERIFY(stored[k - 1].timeUtc <= stored[k].timeUtc);
        for (const auto& c : stored)
            QVERIFY(c.complete);
    }

    // Every card asked for and none there: nothing to monitor, no database made.
    void noCardsNoRun()
    {
        QTemporaryDir dir;
        QProcess p;
        Prepare(p);
        p.setWorkingDirectory(dir.path());
        p.start(qEnvironmentVariable("SB_CLI"), {"--sim=0", "monitor", "--card", "all", "--db", "m.sqlite"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()), QStringLiteral("sensorbench-cli: monitor: no cards found\n"));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    // What is not a database ends the run at once, and says which file it is.
    void notADatabaseNamesTheFile()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath("notes.txt");
        QFile f(db);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        const Run r = Monitor({"--count", "1", "--db", db});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("sensorbench-cli: monitor: " + db + ": file is not a database"), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
};

SB_TEST_MAIN(tst_monitor)
#include "tst_monitor.moc"
