// The status grid of the main window, the data file's status line and the CLI's status rows:
// every bit alone, the pairs around the step from fault rows to event rows, and the virtual
// sensor's faults as the program meets them.
#include "CaptureTestBench.h"
#include "datalog/DataFile.h"
#include "shell/Delay.h"
#include <QProcess>
#include <QTemporaryDir>

using namespace m470Reg;

namespace {
const QStringList kTitles{"Supply < 3.150 V",     "Supply > 3.625 V",     "Flash Update Failure",
                          "SPI Comm Failure",     "Capture Period Violation", "Self-test Diagnostic",
                          "Flash Memory Failure", "Data Ready",           "Alarm X",
                          "Alarm Y",              "Alarm Z",              "System Alarm",
                          "Alarm X Event",        "Alarm Y Event",        "Alarm Z Event"};
// What a set bit shows, row by row: F "FAIL" on red, S "SET" on yellow.
const QString kWhenSet = QStringLiteral("FFFFFFFSSSSSSSS");

QString RowText(int status, int bit)
{
    if (!(status & (1 << bit)))
        return QStringLiteral("OK");
    return kWhenSet[bit] == 'F' ? QStringLiteral("FAIL") : QStringLiteral("SET");
}

QColor RowColour(int status, int bit)
{
    if (!(status & (1 << bit)))
        return QColor(0, 255, 0);
    return kWhenSet[bit] == 'F' ? QColor(255, 0, 0) : QColor(255, 255, 0);
}

// Line 13 of a data file: bits 14 down to 0.
QString FileStatusLine(int status)
{
    QStringList bits;
    for (int bit = 14; bit >= 0; --bit)
        bits << QString::number((status >> bit) & 1);
    return bits.join(',');
}

// The whole grid against a status word (bit 15 shows nowhere).
void CheckGrid(frmForm1* w, int status)
{
    for (int i = 0; i < 15; ++i) {
        QCOMPARE(w->LBLAtitle[i]->text(), kTitles[i]);
        QCOMPARE(w->LbLAbit[i]->text(), RowText(status, i));
        QCOMPARE(w->LbLAbit[i]->palette().color(QPalette::Window), RowColour(status, i));
    }
    const QList<QByteArray> lines = DataLog::DataFileBytes(CaptureRecord::Last, QLocale::c(), QDateTime()).split('\n');
    QVERIFY(lines.size() > 13);
    QCOMPARE(QString::fromLatin1(lines[12].trimmed()), FileStatusLine(status));
}

struct CliResult {
    int code = -1;
    QStringList rows;
};

CliResult Cli(const QString& fault, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SENSORBENCH_SIM"));
    env.insert(QStringLiteral("SENSORBENCH_SIM_FAULT"), fault);
    env.insert(QStringLiteral("SENSORBENCH_DELAY_LOOPS"), QString::number(DelayState::DelayLoopCount));
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("SB_CLI"), QStringList{"--sim"} + args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)};
}
} // namespace

class TestStatusGrid : public QObject {
    Q_OBJECT
    frmForm1* w = nullptr;
    QTemporaryDir dir;
    sim::ManualClock clock;

    sim::VirtualSensor& sensor() { return sim::CurrentBoard()->Sensor(0); }
    int readGrid()
    {
        w->CmdReadStatus->click();
        return sensor().Peek(Base(m470Reg::Table().idxSTATUS));
    }
    static int Base(int16_t index) { return m470Reg::Table().RegisterTable[index].BaseAddr; }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(QDir::setCurrent(dir.path()));
    }
    void cleanup() { qunsetenv("SENSORBENCH_SIM_FAULT"); }
    void cleanupTestCase() { frmForm1::destroyInstance(); }

    void grid_data()
    {
        QTest::addColumn<int>("status");
        for (int bit = 0; bit < 16; ++bit)
            QTest::addRow("bit %d alone", bit) << (1 << bit);
        QTest::newRow("5 and 6: two faults") << 0x0060;
        QTest::newRow("6 and 7: last fault, first event") << 0x00C0;
        QTest::newRow("7 and 8: two events") << 0x0180;
        QTest::newRow("every fault") << 0x007F;
        QTest::newRow("every event") << 0x7F80;
        QTest::newRow("everything") << 0xFFFF;
    }
    void grid()
    {
        QFETCH(int, status);
        if (!w)
            w = tb::OpenMainWindow();
        StatusDisplay::StatusBits[15] = QStringLiteral("untouched");
        sensor().Poke(Base(m470Reg::Table().idxSTATUS), uint16_t(status));
        w->CmdReadStatus->click();
        CheckGrid(w, status);
        QCOMPARE(StatusDisplay::StatusBits[15], QStringLiteral("untouched"));
    }

    // Each sensor fault as the window shows it after start-up, after "Clear", and after what
    // makes the sensor notice it again.
    void sensorFaults_data()
    {
        tb::Columns<QByteArray, QString, int, int, int>({"fault", "then", "atStart", "afterClear", "afterThen"});
        QTest::newRow("supply low") << QByteArray("supply-low") << "capture" << 0x01 << 0x01 << 0x81;
        QTest::newRow("supply high") << QByteArray("supply-high") << "capture" << 0x02 << 0x02 << 0x82;
        QTest::newRow("flash update") << QByteArray("flash-update") << "write flash" << 0x00 << 0x00 << 0x04;
        QTest::newRow("spi") << QByteArray("spi") << "capture" << 0x08 << 0x00 << 0x88;
        QTest::newRow("period") << QByteArray("period") << "capture" << 0x00 << 0x00 << 0x90;
        QTest::newRow("self-test") << QByteArray("selftest") << "self-test" << 0x20 << 0x00 << 0x20;
        QTest::newRow("flash memory") << QByteArray("flash-memory") << "flash test" << 0x40 << 0x00 << 0x40;
        QTest::newRow("with a card fault, two sensor faults")
            << QByteArray("unplug:100000,supply-low,selftest") << "self-test" << 0x21 << 0x01 << 0x21;
    }
    void sensorFaults()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QString, then);
        qputenv("SENSORBENCH_SIM_FAULT", fault);
        w = tb::OpenMainWindow(2, 1, [] { sim::InstallVirtualCards(1); });
        QVERIFY(sbtest::MessageTexts().isEmpty());
        // The window read the status while it loaded.
        QTEST(readGrid(), "atStart");
        CheckGrid(w, sensor().Peek(Base(m470Reg::Table().idxSTATUS)));
        w->cmdClearStatus->click();
        QTEST(int(sensor().Peek(Base(m470Reg::Table().idxSTATUS))), "afterClear");
        CheckGrid(w, sensor().Peek(Base(m470Reg::Table().idxSTATUS)));

        if (then == "capture") {
            // The capture button's command; the sensor's clock then runs past the capture.
            sim::CurrentBoard()->SetClock(clock.AsClock());
            WriteRegister(m470Reg::Table().idxCOMMAND, 0x0800);
            clock.Advance(1.0);
        } else if (then == "write flash")
            w->cmdWriteFlash->click();
        else
            WriteRegister(m470Reg::Table().idxCOMMAND, then == "self-test" ? 0x0004 : 0x0020);
        QTEST(readGrid(), "afterThen");
        CheckGrid(w, sensor().Peek(Base(m470Reg::Table().idxSTATUS)));
    }

    // sensorbench-cli's status rows with the faults set through the environment.
    void cliStatus_data()
    {
        tb::Columns<QString, QStringList, int>({"fault", "commands", "status"});
        QTest::newRow("faults seen at power-up") << "supply-low,spi,selftest,flash-memory" << QStringList{"status"}
                                                 << 0x0069;
        QTest::newRow("supply high") << "supply-high" << QStringList{"status"} << 0x0002;
        QTest::newRow("flash update after a backup")
            << "flash-update" << QStringList{"write COMMAND 0x1000", "status"} << 0x0004;
        QTest::newRow("period violation after a capture")
            << "period" << QStringList{"capture --out " + dir.path(), "status"} << 0x0090;
    }
    void cliStatus()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, commands);
        QFETCH(int, status);
        QVERIFY2(!qEnvironmentVariableIsEmpty("SB_CLI"), "SB_CLI not set");
        const CliResult r = Cli(fault, commands);
        QCOMPARE(r.code, 0);
        QVERIFY(r.rows.size() >= 15);
        const QStringList rows = r.rows.mid(r.rows.size() - 15);
        for (int i = 0; i < 15; ++i)
            QCOMPARE(rows[i], kTitles[i] + '\t' + RowText(status, i));
    }
};

SB_TEST_MAIN(TestStatusGrid)
#include "tst_statusgrid.moc"
