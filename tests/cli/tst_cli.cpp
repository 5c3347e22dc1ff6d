#include "TestSupport.h"
#include "capture/CaptureSettings.h"
#include "device/EzUsb.h"
#include "registers/RegisterListing.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

namespace {
struct Result {
    int code = -1;
    QString out;
    QString err;
};

// Runs the CLI with the test binary's delay calibration handed over.
Result RunCli(const QStringList& args, const QString& simFault = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SENSORBENCH_SIM"));
    env.remove(QStringLiteral("SENSORBENCH_SIM_FAULT"));
    if (!simFault.isEmpty())
        env.insert(QStringLiteral("SENSORBENCH_SIM_FAULT"), simFault);
    env.insert(QStringLiteral("SENSORBENCH_DELAY_LOOPS"), QString::number(DelayState::DelayLoopCount));
    p.setProcessEnvironment(env);
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

    void cards_data()
    {
        QTest::addColumn<QString>("sim");
        QTest::addColumn<int>("lines");
        QTest::newRow("none") << "--sim=0" << 0;
        QTest::newRow("one") << "--sim" << 1;
        QTest::newRow("two") << "--sim=2" << 2;
    }
    void cards()
    {
        QFETCH(QString, sim);
        QFETCH(int, lines);
        const Result r = RunCli({sim, QStringLiteral("cards")});
        QCOMPARE(r.code, 0);
        if (lines == 0) {
            QCOMPARE(r.out, QStringLiteral("no cards found\n"));
            return;
        }
        const QStringList rows = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), lines);
        for (int i = 0; i < lines; ++i) {
            QVERIFY2(rows[i].startsWith(QString::number(i) + QStringLiteral("\tFIFO4\t")), qPrintable(rows[i]));
            QVERIFY(rows[i].contains(QStringLiteral("Virtual")));
        }
    }

    void writeThenReadSeesItsOwnWriteAtTheWire()
    {
        const Result r = RunCli({QStringLiteral("--sim"), QStringLiteral("--trace"), QStringLiteral("write X_NULL -5"),
                                 QStringLiteral(" read  x_null ")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("X_NULL\t<- 0xFFFB\nX_NULL\t0xFFFB\t-0.02384186\n"));
        // High byte first, then low byte; the read frame twice, its answer in the second.
        const QStringList frames = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(frames.size() >= 4);
        QCOMPARE(frames.mid(frames.size() - 4),
                 QStringList({QStringLiteral("spi sent 83FF received 0000"), QStringLiteral("spi sent 82FB received 0000"),
                              QStringLiteral("spi sent 0200 received 0000"), QStringLiteral("spi sent 0200 received FFFB")}));
    }

    void jsonAndRowNumbers()
    {
        const Result r = RunCli({QStringLiteral("--sim"), QStringLiteral("--json"), QStringLiteral("write 33 0x1234"),
                                 QStringLiteral("read SCRATCH_A")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("\"hex\": \"1234\"")), qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("\"raw\": 4660")));
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown register") << QStringList{"--sim", "read NOPE"} << 2 << "unknown register 'NOPE'";
        QTest::newRow("bad value") << QStringList{"--sim", "write X_NULL 12abc"} << 2 << "bad value '12abc'";
        QTest::newRow("value too big") << QStringList{"--sim", "write X_NULL 70000"} << 2 << "bad value '70000'";
        QTest::newRow("unknown command") << QStringList{"--sim", "frobnicate"} << 2 << "unknown command";
        QTest::newRow("unknown option") << QStringList{"--frob", "cards"} << 2 << "unknown option '--frob'";
        QTest::newRow("bad product") << QStringList{"--product", "5", "cards"} << 2 << "--product takes 31470 or 31473";
        QTest::newRow("no command") << QStringList{"--sim"} << 2 << "no command given";
        QTest::newRow("no card") << QStringList{"--sim=0", "read X_NULL"} << 1
                                 << "No USB Buffers Found, Please Verify Setup and Restart";
        QTest::newRow("empty slot") << QStringList{"--sim", "--card", "2", "read X_NULL"} << 1 << "no card in slot 2";
    }
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        const Result r = RunCli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.startsWith(QStringLiteral("sensorbench-cli: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        // One line, plus the pointer to --help for a command line that does not parse.
        QVERIFY2(r.err.count(QLatin1Char('\n')) <= 2, qPrintable(r.err));
    }

    void dumpEqualsTheRegisterWindowListing_data()
    {
        QTest::addColumn<int>("product");
        QTest::newRow("31470") << 31470;
        QTest::newRow("31473") << 31473;
    }
    void dumpEqualsTheRegisterWindowListing()
    {
        QFETCH(int, product);
        const Result r = RunCli({QStringLiteral("--sim"), QStringLiteral("--product"), QString::number(product),
                                 QStringLiteral("dump")});
        QCOMPARE(r.code, 0);
        // The same listing from a fresh virtual board in this process.
        sim::Install(1, product);
        Module1::ProductNumber = int16_t(product);
        product == 31470 ? BuildTable31470() : BuildTable31473();
        Module1::InterfaceType = 2;
        SelectFirstUsbCard();
        QCOMPARE(r.out, RegisterListing::ReadAll());
        QCOMPARE(r.out.count(QStringLiteral("\r\n")), 2 + m470Reg::LastRegisterIndex + 1);
    }

    void statusRows()
    {
        const Result r = RunCli({QStringLiteral("--sim"), QStringLiteral("status")});
        QCOMPARE(r.code, 0);
        const QStringList rows = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 15);
        for (int i = 0; i < 15; ++i)
            QVERIFY2(rows[i].startsWith(CaptureSettings::StatusTitle(i) + QLatin1Char('\t')), qPrintable(rows[i]));
        QCOMPARE(rows[0], QStringLiteral("Supply < 3.150 V\tOK"));
    }

    void captureWritesNumberedDataFiles()
    {
        QTemporaryDir dir;
        const Result r = RunCli({QStringLiteral("--sim"),
                                 QStringLiteral("capture --count 3 --out %1 --name Run --format g").arg(dir.path())});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        for (int n = 1; n <= 3; ++n) {
            const QString path = dir.filePath(QStringLiteral("Run_%1.csv").arg(n));
            QVERIFY2(lines[n - 1].startsWith(path + QStringLiteral("\t3072 samples\t")), qPrintable(lines[n - 1]));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QList<QByteArray> file = f.readAll().split('\n');
            QCOMPARE(file.size(), 1040); // 1039 CR LF lines
            QCOMPARE(file[0], QByteArray("File Name,Run.csv\r"));
            QCOMPARE(file[3], QByteArray("AVG_Cnt,1\r"));
            QCOMPARE(file[10], QByteArray("Staus  Register\r"));
            QCOMPARE(file[14], QByteArray("Sample #,X Acceleration,Aux_ADC_0,Aux_ADC_1,\r"));
            QVERIFY(file[15].startsWith("0,"));
            QCOMPARE(file[1038].count(','), 3);
            // Scaled samples of a vibrating sensor are not all zero.
            QVERIFY(file[500].contains('.'));
        }
    }

    void captureSpectrumFindsEachAxisTone()
    {
        QTemporaryDir dir;
        const Result r = RunCli({QStringLiteral("--sim"), QStringLiteral("capture --spectrum --out %1").arg(dir.path())});
        QCOMPARE(r.code, 0);
        // The virtual sensor's machine signal: 1210 Hz on X, 790 Hz on Y, 2450 Hz on Z (within one bin).
        const double expected[3] = {1210, 790, 2450};
        const char* names[3] = {"X", "Y", "Z"};
        for (int i = 0; i < 3; ++i) {
            const QRegularExpression re(QStringLiteral("  %1 acc: ([0-9.]+) Hz").arg(QLatin1String(names[i])));
            const QRegularExpressionMatch m = re.match(r.out);
            QVERIFY2(m.hasMatch(), qPrintable(r.out));
            QVERIFY2(qAbs(m.captured(1).toDouble() - expected[i]) < 62.5, qPrintable(r.out));
        }
    }

    void captureIntoMissingDirectoryFails()
    {
        const Result r = RunCli({QStringLiteral("--sim"), QStringLiteral("capture --out /nonexistent/dir")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QStringLiteral("/nonexistent/dir")));
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
        QElapsedTimer t;
        t.start();
        const Result r = RunCli({QStringLiteral("--sim"), QStringLiteral("capture --count 2 --out %1").arg(dir.path())},
                                fault);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("sensorbench-cli: %1\n").arg(message));
        QVERIFY(r.out.isEmpty());
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        // A silent card's read gives up after the transfer timeout, not before.
        if (fault.startsWith(QLatin1String("silent")))
            QVERIFY2(t.elapsed() >= 900, qPrintable(QString::number(t.elapsed())));
        // Without the fault the same capture works.
        QCOMPARE(RunCli({QStringLiteral("--sim"), QStringLiteral("capture --out %1").arg(dir.path())}).code, 0);
    }

    void helpListsCommands()
    {
        const Result r = RunCli({QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("Usage: sensorbench-cli")));
    }
};

SB_TEST_MAIN(TestCli)
#include "tst_cli.moc"
