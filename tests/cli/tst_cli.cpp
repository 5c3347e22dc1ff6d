#include "TestSupport.h"
#include "analysis/SampleRate.h"
#include "device/EzUsb.h"
#include "registers/RegisterListing.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {
struct Result {
    int code = -1;
    QString out, err;
    QStringList rows() const { return out.split(u'\n', Qt::SkipEmptyParts); }
};

Result Cli(const QStringList& args, const QString& simFault = {}, const QString& workDir = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SENSORBENCH_SIM"));
    env.remove(QStringLiteral("SENSORBENCH_SIM_FAULT"));
    if (!simFault.isEmpty())
        env.insert(QStringLiteral("SENSORBENCH_SIM_FAULT"), simFault);
    p.setProcessEnvironment(env);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(qEnvironmentVariable("SB_CLI"), args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// "1/channels/0/name": array indices and object keys.
QJsonValue At(QJsonValue v, const QString& path)
{
    for (const QString& step : path.split(u'/')) {
        bool index = false;
        const int i = step.toInt(&index);
        v = index ? v.toArray().at(i) : v.toObject().value(step);
    }
    return v;
}

QString Show(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: return QString::number(v.toDouble(), 'g', 12);
    case QJsonValue::String: return v.toString();
    case QJsonValue::Undefined: return QStringLiteral("undefined");
    default:
        return QString::fromUtf8((v.isArray() ? QJsonDocument(v.toArray()) : QJsonDocument(v.toObject()))
                                     .toJson(QJsonDocument::Compact));
    }
}

QString TypeName(const QJsonValue& v)
{
    static const QMap<QJsonValue::Type, QString> names{
        {QJsonValue::Null, "null"},     {QJsonValue::Bool, "bool"},     {QJsonValue::Double, "number"},
        {QJsonValue::String, "string"}, {QJsonValue::Array, "array"},   {QJsonValue::Object, "object"},
        {QJsonValue::Undefined, "undefined"}};
    return names.value(v.type());
}

// Every channel of every capture: a velocity is a number or null with the reason; the zone is
// known exactly when the velocity is; the shape figures of a moving signal are numbers.
QString ChannelFault(const QJsonArray& results)
{
    for (const QJsonValue& r : results)
        for (const QJsonValue& c : r.toObject().value("channels").toArray()) {
            const QJsonObject ch = c.toObject();
            const QJsonValue v = ch.value("velocity_rms_mm_s"), zone = ch.value("zone"), note = ch.value("velocity_note");
            const QString where = ch.value("name").toString() + ": ";
            if (!v.isDouble() && !v.isNull())
                return where + "velocity is " + TypeName(v);
            if (v.isNull() && note.toString().isEmpty())
                return where + "no velocity and no reason";
            if (v.isNull() != zone.isNull() || (!zone.isNull() && !QStringList{"A", "B", "C", "D"}.contains(zone.toString())))
                return where + "zone " + Show(zone) + " with velocity " + Show(v);
            for (const char* key : {"mean", "ac_rms", "peak_to_peak", "crest_factor", "kurtosis", "dominant_hz"})
                if (!ch.value(key).isDouble())
                    return where + key + " is " + TypeName(ch.value(key));
        }
    return {};
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(!qEnvironmentVariableIsEmpty("SB_CLI"), "SB_CLI not set"); }

    void cards()
    {
        QCOMPARE(Cli({"--sim=0", "cards"}).out, QStringLiteral("no cards found\n"));
        const Result r = Cli({"--sim=2", "cards"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.rows().size(), 2);
        QVERIFY2(r.rows()[1].startsWith("1\tFIFO4\t"), qPrintable(r.out));
    }

    void writeThenReadSeesItsOwnWriteAtTheWire()
    {
        const Result r = Cli({"--sim", "--trace", "write X_NULL -5", " read  x_null "});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("X_NULL\t<- 0xFFFB\nX_NULL\t0xFFFB\t-0.02384186\n"));
        // High byte first, then low byte; the read frame twice, its answer in the second.
        const QStringList frames = r.err.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(frames.size() >= 4);
        QCOMPARE(frames.mid(frames.size() - 4),
                 QStringList({"spi sent 83FF received 0000", "spi sent 82FB received 0000", "spi sent 0200 received 0000",
                              "spi sent 0200 received FFFB"}));
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown register") << QStringList{"--sim", "read NOPE"} << 2 << "unknown register 'NOPE'";
        QTest::newRow("bad value") << QStringList{"--sim", "write X_NULL 12abc"} << 2 << "bad value '12abc'";
        QTest::newRow("unknown command") << QStringList{"--sim", "frobnicate"} << 2 << "unknown command";
        QTest::newRow("no card") << QStringList{"--sim=0", "read X_NULL"} << 1
                                 << "No USB Buffers Found, Please Verify Setup and Restart";
        QTest::newRow("empty slot") << QStringList{"--sim", "--card", "2", "read X_NULL"} << 1 << "no card in slot 2";
        // Known before anything runs: the write before it sends no frame (--trace would add lines).
        QTest::newRow("directory under a file")
            << QStringList{"--sim", "--trace", "write X_NULL 1", "capture --out /dev/null/dir"} << 1
            << "cannot create output directory '/dev/null/dir'";
    }
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Result r = Cli(args);
        QTEST(r.code, "code");
        QVERIFY2(r.err.startsWith("sensorbench-cli: ") && r.err.contains(message), qPrintable(r.err));
        // One line, plus the pointer to --help for a command line that does not parse.
        QVERIFY2(r.err.count(u'\n') <= 2, qPrintable(r.err));
    }

    // The conventional form, with '+' between commands, runs what the quoted form runs.
    void conventionalCommandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        QTest::newRow("quoted") << QStringList{"--sim", "write X_NULL -5", "read X_NULL"}
                                << "X_NULL\t<- 0xFFFB\nX_NULL\t0xFFFB\t-0.02384186\n";
        QTest::newRow("plus") << QStringList{"--sim", "write", "X_NULL", "-5", "+", "read", "X_NULL"}
                              << "X_NULL\t<- 0xFFFB\nX_NULL\t0xFFFB\t-0.02384186\n";
        QTest::newRow("without plus") << QStringList{"--sim", "write", "X_NULL", "-5", "read", "X_NULL"}
                                      << "X_NULL\t<- 0xFFFB\nX_NULL\t0xFFFB\t-0.02384186\n";
        QTest::newRow("output row beyond the window's list")
            << QStringList{"--sim", "--product", "31470", "read", "SUPPLY_OUT"} << "SUPPLY_OUT\t0x";
        QTest::newRow("version") << QStringList{"--version"} << "sensorbench-cli 0.1.0\n";
    }
    void conventionalCommandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        const Result r = Cli(args);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(out), qPrintable(r.out + r.err));
    }

    // A command line with any fault anywhere runs nothing: no frame on the bus, no file.
    void malformedRunsNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad option after a capture")
            << QStringList{"--sim", "--trace", "capture", "--count", "3", "--bogus", "1"} << "unknown option '--bogus'";
        QTest::newRow("unknown register after a write")
            << QStringList{"--sim", "--trace", "write", "X_NULL", "-5", "+", "read", "NOPE"} << "unknown register 'NOPE'";
        QTest::newRow("missing value") << QStringList{"--sim", "--trace", "capture", "--count"} << "--count needs a value";
        QTest::newRow("stray word") << QStringList{"--sim", "--trace", "read", "X_NULL", "now"} << "unexpected 'now'";
        QTest::newRow("read without register") << QStringList{"--sim", "--trace", "read", "+", "status"}
                                               << "wrong arguments: 'read'";
        QTest::newRow("bad quoted command last")
            << QStringList{"--sim", "--trace", "capture --count 2", "write X_NULL"} << "wrong arguments";
        QTest::newRow("extended capture on the single-axis sensor")
            << QStringList{"--sim", "--trace", "--json", "--product", "31470", "capture", "--mode", "extended-x"}
            << "extended modes need product 31473";
        QTest::newRow("extended monitor on the single-axis sensor")
            << QStringList{"--sim", "--trace", "--product", "31470", "monitor", "--db", "m.sqlite", "--mode", "extended-z"}
            << "extended modes need product 31473";
    }
    void malformedRunsNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const Result r = Cli(args, {}, dir.path());
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(!r.err.contains("spi sent"), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    }

    void dumpAllListsEveryRow()
    {
        const Result window = Cli({"--sim", "--product", "31470", "dump"});
        const Result all = Cli({"--sim", "--product", "31470", "dump", "--all"});
        QCOMPARE(all.code, 0);
        QVERIFY(all.out.startsWith(window.out));
        QVERIFY2(all.out.contains(" X_OUT "), qPrintable(all.out));
        QVERIFY(!window.out.contains(" X_OUT "));
    }

    // The listing of a freshly powered virtual 31470, written out by hand from its register table
    // and the sensor's power-up values: name cut to ten characters after its blank, address and
    // value in hex, CR LF lines. The supply and temperature only keep their form (they are measured).
    void dumpListsTheTableAsWritten()
    {
        const Result r = Cli({"--sim", "--product", "31470", "dump"});
        QCOMPARE(r.code, 0);
        const QStringList expected{
            "ENDURANCE 0 0000", "X_NULL 2 0000", "AUX0_NULL 4 0000", "AUX1_NULL 6 0000", "reserved8 8 0000",
            "CAPT_SUPPL A ????", "CAPT_TEMP C ????", "CAPT_PEAK_ E 0000", "CAPT_PEAK_ 10 0000",
            "CAPT_PEAK_ 12 0000", "CAPT_BUF1 14 0000", "CAPT_BUF2 16 0000", "CAPT_BUF3 18 0000",
            "CAPT_PNTR 1A 0000", "CAPT_CTRL 1C 0000", "CAPT_PRD 1E 0001", "ALM_MAG1 20 0000", "ALM_MAG2 22 0000",
            "ALM_MAG3 24 0000", "ALM_MAG4 26 0000", "ALM_CTRL 28 0000", "reserved2A 2A 0000", "GPIO_CTRL 32 0000",
            "MSC_CTRL 34 0000", "DIO_CTRL 36 001E", "AVG_CNT 38 0000", "reserved3A 3A 0000"};
        QStringList lines = r.out.split("\r\n");
        QCOMPARE(lines.takeFirst(), QStringLiteral("Name\t\tAddr\tHex"));
        QCOMPARE(lines.takeFirst(), QStringLiteral("--------------------\t---------\t---------"));
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.size(), expected.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QStringList f = lines[i].split('\t');
            QCOMPARE(f.size(), 3);
            QVERIFY2(f[0].startsWith(' '), qPrintable(lines[i]));
            const QStringList want = expected[i].split(' ');
            QCOMPARE(f[0].trimmed(), want[0]);
            QCOMPARE(f[1], want[1]);
            if (want[2] == "????")
                QVERIFY2(QRegularExpression("^[0-9A-F]{4}$").match(f[2]).hasMatch(), qPrintable(lines[i]));
            else
                QCOMPARE(f[2], want[2]);
        }
    }

    // The output directory and its parents are made as needed.
    void captureWritesNumberedDataFiles()
    {
        QTemporaryDir dir;
        const Result r = Cli({"--sim", "capture --count 3 --out new/run/ --name Run --format g"}, {}, dir.path());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.rows().size(), 3);
        for (int n = 1; n <= 3; ++n) {
            const QString path = dir.filePath(QStringLiteral("new/run/Run_%1.csv").arg(n));
            QVERIFY2(r.rows()[n - 1].startsWith(path + "\t3072 samples\t"), qPrintable(r.rows()[n - 1]));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QList<QByteArray> file = f.readAll().split('\n');
            QCOMPARE(file.size(), 1040); // 1039 CR LF lines
            QCOMPARE(file[0], QByteArray("File Name,Run.csv\r"));
            QCOMPARE(file[14], QByteArray("Sample #,X Acceleration,Aux_ADC_0,Aux_ADC_1,\r"));
            QCOMPARE(file[1038].count(','), 3);
        }
    }

    // The card is pulled or falls silent half-way through the first read-out.
    void cardLostDuringCapture_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("card pulled") << "unplug:3000" << "Error Writing SPI";
        QTest::newRow("card gone silent") << "silent:3000" << "Error Reading SPI";
    }
    void cardLostDuringCapture()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QStringList args{"--sim", QStringLiteral("capture --count 2 --out %1").arg(dir.path())};
        QElapsedTimer t;
        t.start();
        const Result r = Cli(args, fault);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("sensorbench-cli: %1\n").arg(message));
        QVERIFY(r.out.isEmpty());
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        // A silent card's read gives up after the transfer timeout, not before.
        if (fault.startsWith("silent"))
            QVERIFY2(t.elapsed() >= 900, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(Cli(args).code, 0); // the same capture works without the fault
    }

    // --json: stdout is one JSON document (JSON Lines when monitor runs), nothing else, and each
    // result says what it is. Checks: "path=value", "path~part of the value", "path#type".
    void jsonOutput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("lines");
        QTest::addColumn<QStringList>("checks");
        const int e = analysis::kDefaultAvgExponent;
        const QString avg = QString::number(1 << e), exponent = QString::number(e);
        const QString rate = QString::number(analysis::SampleRate(31473, e), 'g', 12);
        QTest::newRow("capture --spectrum")
            << QStringList{"--sim", "--fast", "--json", "capture", "--spectrum", "--count", "2"} << QString() << false
            << QStringList{"0/command=capture", "0/product=31473", "0/mode=manual", "0/avg_exponent=" + exponent,
                           "0/averaging=" + avg, "0/sample_rate_hz=" + rate, "0/units=g", "0/samples=3072",
                           "0/machine_class=group2-rigid", "0/time#string", "0/file~/Datalog_1.csv",
                           "1/file~/Datalog_2.csv", "2=undefined", "0/channels/0/name=X acc", "0/channels/2/name=Z acc",
                           "0/channels/3=undefined", "0/channels/1/velocity_rms_mm_s#number", "0/channels/1/zone#string"};
        QTest::newRow("capture without averaging has no velocity")
            << QStringList{"--sim", "--json", "capture --avg 1"} << QString() << false
            << QStringList{"0/avg_exponent=0", "0/averaging=1", "0/sample_rate_hz=64000",
                           "0/channels/0/velocity_rms_mm_s=null", "0/channels/0/zone=null",
                           "0/channels/0/velocity_note#string", "0/channels/0/dominant_hz#number"};
        QTest::newRow("single-axis sensor: ADC channels have no velocity")
            << QStringList{"--sim", "--fast", "--json", "--product", "31470", "capture", "--avg", "16"} << QString() << false
            << QStringList{"0/product=31470", "0/avg_exponent=4", "0/sample_rate_hz=5500", "0/channels/0/name=X acc",
                           "0/channels/0/velocity_rms_mm_s#number", "0/channels/1/name=ADC 0",
                           "0/channels/1/velocity_rms_mm_s=null", "0/channels/1/zone=null", "0/channels/2/name=ADC 1"};
        QTest::newRow("extended capture: one channel")
            << QStringList{"--sim", "--fast", "--json", "capture", "--mode", "extended-y", "--avg", "2"} << QString() << false
            << QStringList{"0/mode=extended-y", "0/sample_rate_hz=32000", "0/channels/0/name=Y acc",
                           "0/channels/1=undefined"};
        QTest::newRow("status") << QStringList{"--sim", "--json", "status"} << QString() << false
                                << QStringList{"0/command=status", "0/status/0/bit=0", "0/status/14/bit=14",
                                               "0/status/15=undefined", "0/status/3/state#string"};
        QTest::newRow("dump") << QStringList{"--sim", "--json", "dump"} << QString() << false
                              << QStringList{"0/command=dump", "0/dump~ X_NULL "};
        QTest::newRow("read") << QStringList{"--sim", "--json", "--product", "31470", "read", "SUPPLY_OUT"} << QString()
                              << false
                              << QStringList{"0/command=read", "0/register=SUPPLY_OUT", "0/value#number", "0/hex#string"};
        QTest::newRow("write") << QStringList{"--sim", "--json", "write", "X_NULL", "0x10"} << QString() << false
                               << QStringList{"0/command=write", "0/register=X_NULL", "0/written=16", "0/hex=0010"};
        QTest::newRow("cards") << QStringList{"--sim=2", "--json", "cards"} << QString() << false
                               << QStringList{"0/command=cards", "0/cards/1/slot=1", "0/cards/1/type=FIFO4",
                                              "0/cards/2=undefined"};
        QTest::newRow("no cards") << QStringList{"--sim=0", "--json", "cards"} << QString() << false
                                  << QStringList{"0/cards/0=undefined"};
        QTest::newRow("chain") << QStringList{"--sim", "--json", "write", "X_NULL", "-5", "+", "read X_NULL", "status"}
                               << QString() << false
                               << QStringList{"0/command=write", "1/command=read", "1/raw=-5", "1/hex=FFFB",
                                              "2/command=status", "3=undefined"};
        QTest::newRow("monitor") << QStringList{"--sim", "--fast", "--json", "monitor", "--db", "m.sqlite", "--count", "3",
                                                "--interval", "1s", "--alarm-zone", "D"}
                                 << QString() << true
                                 << QStringList{"0/command=monitor", "0/capture=1", "2/capture=3", "3=undefined",
                                                "0/capture_id=1", "2/capture_id=3", "0/card_slot=0", "0/card_name=Ezusb-0",
                                                "0/complete=true", "0/loss_reason=null", "0/status_word#number",
                                                "2/product=31473", "2/averaging=" + avg, "2/sample_rate_hz=" + rate,
                                                "0/alarm_zone=D", "0/channels/0/name=X acc", "0/channels/2/alarm=false"};
        QTest::newRow("monitor loses its card")
            << QStringList{"--sim", "--json", "monitor", "--db", "m.sqlite", "--count", "1"} << "unplug:3000" << true
            << QStringList{"0/complete=false", "0/loss_reason=Error Writing SPI", "0/status_word=null", "0/capture_id=1",
                           "0/channels/0=undefined", "0/sample_rate_hz=" + rate};
        QTest::newRow("monitor, every card")
            << QStringList{"--sim=3", "--fast", "--json", "monitor", "--card", "all", "--db", "m.sqlite", "--count", "2",
                           "--interval", "100ms"}
            << QString() << true
            << QStringList{"0/capture=1", "0/card_slot=0", "1/card_slot=1", "2/card_slot=2", "2/card_name=Ezusb-2",
                           "3/capture=2", "3/card_slot=0", "5/capture_id=6", "6=undefined"};
        QTest::newRow("monitor, two of three cards")
            << QStringList{"--sim=3", "--fast", "--json", "monitor", "--card", "2,0", "--db", "m.sqlite", "--count", "1"}
            << QString() << true << QStringList{"0/card_slot=2", "1/card_slot=0", "2=undefined"};
        QTest::newRow("chain with monitor")
            << QStringList{"--sim", "--fast", "--json", "status", "+", "monitor", "--db", "m.sqlite", "--count", "1", "--avg", "64"}
            << QString() << true << QStringList{"0/command=status", "1/command=monitor", "1/avg_exponent=6", "2=undefined"};
    }
    void jsonOutput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, fault);
        QFETCH(bool, lines);
        QFETCH(QStringList, checks);
        QTemporaryDir dir;
        const Result r = Cli(args, fault, dir.path());
        QCOMPARE(r.code, 0);
        QJsonArray results;
        QJsonParseError error;
        if (lines) {
            QVERIFY2(r.out.endsWith(u'\n'), qPrintable(r.out));
            for (const QString& line : r.out.chopped(1).split(u'\n')) {
                const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
                QVERIFY2(error.error == QJsonParseError::NoError && doc.isObject(), qPrintable(line));
                results.append(doc.object());
            }
        } else {
            const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
            QVERIFY2(error.error == QJsonParseError::NoError && doc.isArray(),
                     qPrintable(error.errorString() + ": " + r.out));
            results = doc.array();
        }
        for (const QString& check : checks) {
            const qsizetype at = check.indexOf(QRegularExpression("[=~#]"));
            const QJsonValue v = At(results, check.left(at));
            const QString want = check.mid(at + 1);
            switch (check[at].unicode()) {
            case '=': QVERIFY2(Show(v) == want, qPrintable(check + " but is " + Show(v))); break;
            case '~': QVERIFY2(Show(v).contains(want), qPrintable(check + " but is " + Show(v))); break;
            default: QVERIFY2(TypeName(v) == want, qPrintable(check + " but is " + TypeName(v) + " " + Show(v)));
            }
        }
        const QString wrong = ChannelFault(results);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    // The text reports say velocity is unknown, and why, rather than leave it out.
    void velocityInTextReports_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("line");      // every line of stdout (data-file lines aside)
        QTest::addColumn<QString>("settings");  // on stderr, after "sensorbench-cli: monitor: "
        const int e = analysis::kDefaultAvgExponent;
        const QString known = QStringLiteral("  [XYZ] acc: [\\d.]+ Hz, \\S+ g, v \\d+\\.\\d\\d mm/s");
        QTest::newRow("capture, default averaging") << QStringList{"--sim", "--fast", "capture", "--spectrum"} << known << QString();
        QTest::newRow("capture without averaging")
            << QStringList{"--sim", "--fast", "capture", "--spectrum", "--avg", "1"}
            << QStringLiteral("  [XYZ] acc: [\\d.]+ Hz, \\S+ g, v - \\(\\S.*\\)") << QString();
        QTest::newRow("capture, single-axis sensor")
            << QStringList{"--sim", "--fast", "--product", "31470", "capture", "--spectrum"}
            << QStringLiteral("  (X acc: [\\d.]+ Hz, \\S+ g, v \\d+\\.\\d\\d mm/s|ADC [01]: [\\d.]+ Hz, \\S+ g)")
            << QString();
        QTest::newRow("monitor, default averaging")
            << QStringList{"--sim", "--fast", "monitor", "--db", "m.sqlite", "--count", "1"}
            << QStringLiteral("\\S+ #1 card 0( \\| [XYZ] acc rms \\S+ g pp \\S+ [\\d.]+ Hz v \\d+\\.\\d\\d mm/s zone [A-D]){3}")
            << QStringLiteral("product 31473, mode manual, averaging %1 (2^%2), sample rate %3 Hz; velocity and zone")
                   .arg(1 << e)
                   .arg(e)
                   .arg(analysis::SampleRate(31473, e));
        QTest::newRow("monitor without averaging")
            << QStringList{"--sim", "--fast", "monitor", "--db", "m.sqlite", "--count", "1", "--avg", "1"}
            << QStringLiteral("\\S+ #1 card 0( \\| [XYZ] acc rms \\S+ g pp \\S+ [\\d.]+ Hz v - \\(\\S[^|]*\\)){3}")
            << QStringLiteral("product 31473, mode manual, averaging 1 (2^0), sample rate 64000 Hz; no velocity or zone "
                              "at these settings. ");
    }
    void velocityInTextReports()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, line);
        QFETCH(QString, settings);
        QTemporaryDir dir;
        const Result r = Cli(args, {}, dir.path());
        QCOMPARE(r.code, 0);
        const QRegularExpression re("^(/\\S+\t3072 samples\t\\d+ ms|" + line + ")$");
        QVERIFY(!r.rows().isEmpty());
        for (const QString& row : r.rows())
            QVERIFY2(re.match(row).hasMatch(), qPrintable(row));
        if (!settings.isEmpty())
            QVERIFY2(r.err.contains("sensorbench-cli: monitor: " + settings), qPrintable(r.err));
    }

    // Each capture's line is out while the run goes on; SIGTERM while it waits ends it cleanly.
    void monitorStreamsJsonLines()
    {
        QTemporaryDir dir;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("SENSORBENCH_SIM_FAULT"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(qEnvironmentVariable("SB_CLI"), {"--sim", "--json", "monitor", "--db", "m.sqlite", "--interval", "1h"});
        while (!p.canReadLine() && p.waitForReadyRead(60000)) {
        }
        QVERIFY(p.canReadLine());
        const QJsonDocument first = QJsonDocument::fromJson(p.readLine());
        QCOMPARE(first.object().value("capture").toInt(), 1);
        QCOMPARE(first.object().value("complete").toBool(), true);
        p.terminate();
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
    }
};

SB_TEST_MAIN(TestCli)
#include "tst_cli.moc"
