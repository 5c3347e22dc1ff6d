// The virtual sensor's capture engine and command actions, driven the way the program
// drives them: WriteRegister/ReadRegister over the virtual USB-SPI card.
#include "SimTestBench.h"
#include "analysis/Statistics.h"
#include "device/PortIo.h"
#include <cmath>

using namespace m470Reg;
using Samples = std::vector<double>;

namespace {
// Without a window, bin k reads the amplitude of a tone centred on it.
analysis::Spectrum Dft(const Samples& x) { return analysis::ComputeSpectrum(x, 1.0, analysis::Window::Rectangular); }
double BinAmplitude(const Samples& x, int k) { return Dft(x).amplitude[static_cast<size_t>(k)]; }
} // namespace

class tst_CaptureEngine : public QObject {
    Q_OBJECT

    sim::ManualClock clock;
    sim::Board* board = nullptr;

    void Setup(int product)
    {
        board = &tb::UseUsbCard(product, &clock);
        board->Sensor().Signal() = sim::SignalModel::Quiet();
    }
    sim::SignalModel& Signal() { return board->Sensor().Signal(); }
    double Scale(int16_t idx) const { return m470Reg::Table().RegisterTable[static_cast<size_t>(idx)].RegScale; }

    int32_t Read(int16_t idx)
    {
        ReadRegister(idx);
        return Spi_mod::RegRaw;
    }
    void Command(int32_t value) { WriteRegister(m470Reg::Table().idxCOMMAND, value); }
    void Start() // clear the status, then capture
    {
        Command(0x10);
        Command(0x800);
    }
    int Status() { return Read(m470Reg::Table().idxSTATUS); }
    // The busy line as the program polls it: bit 5 of the port's status register.
    bool BusyLineHigh() { return CurrentPortIo()->In(0x379) & 0x20; }

    // The read-out loop: pointer written before every sample.
    Samples ReadBuffer(int16_t idx)
    {
        Samples x;
        for (int i = 0; i < 1024; ++i) {
            WriteRegister(m470Reg::Table().idxCAPT_PNTR, i);
            ReadRegister(idx);
            x.push_back(Spi_mod::RegRaw);
        }
        return x;
    }
    Samples ReadAll() // the three buffers in a row
    {
        Samples all;
        for (int16_t idx : {m470Reg::Table().idxCAPT_BUF1, m470Reg::Table().idxCAPT_BUF2, m470Reg::Table().idxCAPT_BUF3}) {
            const Samples x = ReadBuffer(idx);
            all.insert(all.end(), x.begin(), x.end());
        }
        return all;
    }

private slots:
    void extendedModeIsContinuous()
    {
        Setup(31473);
        const double fs = m470Reg::kSampleRate31473;
        const int bin = 101; // of 3072
        Signal().axis[1].tones = {{bin * fs / 3072, 2.0, 0.0}};
        Signal().axis[0].tones = {{40 * fs / 1024, 3.0, 0.0}};
        WriteRegister(m470Reg::Table().idxCAPT_CTRL, 0x010C); // extended, Y axis
        Start();
        clock.Advance(3 * 0.23);
        const Samples all = ReadAll();
        double interior = 0;
        for (size_t i = 1; i < all.size(); ++i)
            if (i % 1024 != 0)
                interior = std::max(interior, std::abs(all[i] - all[i - 1]));
        for (size_t join : {size_t(1024), size_t(2048)})
            QVERIFY(std::abs(all[join] - all[join - 1]) <= interior + 1);
        // One coherent tone over all three buffers: a gap or a repeat would smear it.
        QVERIFY(qAbs(BinAmplitude(all, bin) * Scale(m470Reg::Table().idxCAPT_BUF1) / 2.0 - 1.0) < 0.05);
        // Nothing of the X axis.
        Samples first(all.begin(), all.begin() + 1024);
        QVERIFY(BinAmplitude(first, 40) * Scale(m470Reg::Table().idxCAPT_BUF1) < 0.1);
    }

    // Automatic captures repeat at CAPT_PRD: bits 0-7 the count, bits 8-9 seconds, minutes or
    // hours; a period shorter than the capture is a period violation.
    void automaticModeRepeatsAtThePeriod_data()
    {
        tb::Columns<int, double, int>({"captPrd", "period", "violation"});
        QTest::newRow("2 seconds") << 0x0002 << 2.0 << 0;
        QTest::newRow("1 minute") << 0x0101 << 60.0 << 0;
        QTest::newRow("1 hour") << 0x0201 << 3600.0 << 0;
        QTest::newRow("0: shorter than the capture") << 0x0000 << 0.23 << 0x10;
    }
    void automaticModeRepeatsAtThePeriod()
    {
        QFETCH(int, captPrd);
        QFETCH(double, period);
        QFETCH(int, violation);
        Setup(31473);
        WriteRegister(m470Reg::Table().idxCAPT_PRD, captPrd);
        WriteRegister(m470Reg::Table().idxCAPT_CTRL, 0x04);
        Start();
        clock.Advance(0.231);
        QCOMPARE(Status(), 0x80 | violation);
        Command(0x10);
        clock.Advance(period - 0.002); // the next capture, started at `period`, has not ended yet
        QCOMPARE(Status() & 0x80, 0);
        clock.Advance(0.002);
        QCOMPARE(Status() & 0x80, 0x80);
    }

    void eventModeWaitsForTheThreshold()
    {
        Setup(31473);
        sim::AxisSignal& z = Signal().axis[2];
        z.tones = {{900.0, 0.4, 0.0}};
        z.impacts = {1.0, 0.0, 3.0, 2000.0, 0.005};
        const int threshold = static_cast<int>(std::lround(1.0 / Scale(m470Reg::Table().idxALM_MAG3)));
        WriteRegister(m470Reg::Table().idxALM_MAG3, threshold);
        WriteRegister(m470Reg::Table().idxALM_CTRL, 0x04);
        WriteRegister(m470Reg::Table().idxCAPT_CTRL, 0x18); // event mode, 128 samples before the trigger
        Start();
        clock.Advance(0.9);
        QCOMPARE(Status() & 0x80, 0);
        QVERIFY(BusyLineHigh());
        clock.Advance(0.11);
        QVERIFY(!BusyLineHigh()); // the impact at 1.0 s started a capture
        clock.Advance(0.23);
        QCOMPARE(Status() & 0x4480, 0x4480); // data ready, alarm Z, alarm Z event
        QVERIFY(BusyLineHigh());
        const Samples x = ReadBuffer(m470Reg::Table().idxCAPT_BUF3);
        for (int i = 0; i < 128; ++i)
            QVERIFY2(std::abs(x[static_cast<size_t>(i)]) <= threshold, qPrintable(QString::number(i)));
        QVERIFY(std::abs(x[128]) > threshold);

        // The event disarmed the sensor: the next impact triggers nothing.
        Command(0x10);
        z.impacts.period = 2.0;
        clock.Advance(2.5);
        QCOMPARE(Status() & 0x80, 0);
    }

};

SB_TEST_MAIN(tst_CaptureEngine)
#include "tst_CaptureEngine.moc"
