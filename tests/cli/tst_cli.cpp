#include "TestSupport.h"
#include "device/EzUsb.h"
#include "registers/RegisterListing.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QElapsedTimer>
#include <QProcess>
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
        QTest::newRow("missing directory") << QStringList{"--sim", "capture --out /nonexistent/dir"} << 1
                                           << "/nonexistent/dir";
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
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
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

    void dumpEqualsTheRegisterWindowListing()
    {
        const int product = 31470;
        const Result r = Cli({"--sim", "--product", QString::number(product), "dump"});
        QCOMPARE(r.code, 0);
        // The same listing from a fresh virtual board in this process.
        sim::Install(1, product);
        Module1::ProductNumber = int16_t(product);
        product == 31470 ? BuildTable31470() : BuildTable31473();
        Module1::InterfaceType = kInterfaceUsb;
        SelectFirstUsbCard();
        QCOMPARE(r.out, RegisterListing::ReadAll());
    }

    void captureWritesNumberedDataFiles()
    {
        QTemporaryDir dir;
        const Result r = Cli({"--sim", QStringLiteral("capture --count 3 --out %1 --name Run --format g").arg(dir.path())});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.rows().size(), 3);
        for (int n = 1; n <= 3; ++n) {
            const QString path = dir.filePath(QStringLiteral("Run_%1.csv").arg(n));
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
};

SB_TEST_MAIN(TestCli)
#include "tst_cli.moc"
