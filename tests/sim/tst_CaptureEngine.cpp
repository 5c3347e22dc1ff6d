// The virtual sensor's capture engine and command actions, driven the way the program
// drives them: WriteRegister/ReadRegister over the virtual USB-SPI card.
#include "SimTestBench.h"
#include "analysis/Statistics.h"
#include "device/PortIo.h"
#include <cmath>
#include <numeric>

using namespace m470Reg;
using Samples = std::vector<double>;

namespace {
// Without a window, bin k reads the amplitude of a tone centred on it.
analysis::Spectrum Dft(const Samples& x) { return analysis::ComputeSpectrum(x, 1.0, analysis::Window::Rectangular); }
double BinAmplitude(const Samples& x, int k) { return Dft(x).amplitude[static_cast<size_t>(k)]; }
int StrongestBin(const Samples& x) { return Dft(x).peakBin; }
double Mean(const Samples& x) { return std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size()); }
double StdDev(const Samples& x) { return analysis::ComputeStats(x.data(), int(x.size()), 1.0, false).acRms; }
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
    static int16_t Buf(int axis) { return axis == 0 ? idxCAPT_BUF1 : axis == 1 ? idxCAPT_BUF2 : idxCAPT_BUF3; }
    double Scale(int16_t idx) const { return RegisterTable[static_cast<size_t>(idx)].RegScale; }

    int32_t Read(int16_t idx)
    {
        ReadRegister(idx);
        return Spi_mod::RegRaw;
    }
    void Command(int32_t value) { WriteRegister(idxCOMMAND, value); }
    void Start() // clear the status, then capture
    {
        Command(0x10);
        Command(0x800);
    }
    int Status() { return Read(idxSTATUS); }
    // The busy line as the program polls it: bit 5 of the port's status register.
    bool BusyLineHigh() { return CurrentPortIo()->In(0x379) & 0x20; }

    // The read-out loop: pointer written before every sample.
    Samples ReadBuffer(int16_t idx)
    {
        Samples x;
        for (int i = 0; i < 1024; ++i) {
            WriteRegister(idxCAPT_PNTR, i);
            ReadRegister(idx);
            x.push_back(Spi_mod::RegRaw);
        }
        return x;
    }
    Samples ReadAll() // the three buffers in a row
    {
        Samples all;
        for (int a = 0; a < 3; ++a) {
            const Samples x = ReadBuffer(Buf(a));
            all.insert(all.end(), x.begin(), x.end());
        }
        return all;
    }
    Samples Trigger(double seconds, int16_t buffer)
    {
        Start();
        clock.Advance(seconds);
        return ReadBuffer(buffer);
    }

private slots:
    // Same clock, same samples; the machine's tones themselves are checked by the analysis tests.
    void defaultSignalIsRepeatable()
    {
        Samples first;
        for (int run = 0; run < 2; ++run) {
            Setup(31473);
            Signal() = sim::SignalModel::Default(31473);
            clock.Set(0.25); // between the impacts
            Command(0x800);
            clock.Advance(0.3);
            const Samples all = ReadAll();
            if (run == 1)
                QCOMPARE(all, first);
            first = all;
        }
        const Samples z(first.begin() + 2048, first.end());
        QVERIFY(std::abs(Mean(z) * Scale(idxCAPT_BUF3) - 1.0) < 0.05); // gravity on Z
    }

    void manualCaptureReturnsTheSignal_data()
    {
        tb::Columns<int, int, int, double>({"product", "buffer", "bin", "amplitude"});
        QTest::newRow("31473 X") << 31473 << 0 << 37 << 1.5;
        QTest::newRow("31473 Z") << 31473 << 2 << 90 << 0.8;
        QTest::newRow("31470 X") << 31470 << 0 << 21 << 2.0;
        QTest::newRow("31470 AUX1") << 31470 << 2 << 64 << 3.0;
    }
    void manualCaptureReturnsTheSignal()
    {
        QFETCH(int, product);
        QFETCH(int, buffer);
        QFETCH(int, bin);
        QFETCH(double, amplitude);
        Setup(product);
        const double fs = product == 31470 ? sim::kSampleRate31470 : sim::kSampleRate31473;
        sim::AxisSignal& axis = Signal().axis[static_cast<size_t>(buffer)];
        // A tone half a bin off centre still has to land within one bin.
        axis.tones = {{(bin + 0.3) * fs / 1024, amplitude, 0.4}};
        axis.noise = 0.01;
        WriteRegister(idxAVG_CNT, 0);
        WriteRegister(idxCAPT_CTRL, 0);
        const int16_t idx = Buf(buffer);
        QVERIFY(qAbs(StrongestBin(Trigger(0.3, idx)) - bin) <= 1);

        // On a bin centre the DFT gives the amplitude directly.
        axis.tones = {{bin * fs / 1024, amplitude, 0.4}};
        const Samples y = Trigger(0.3, idx);
        QCOMPARE(StrongestBin(y), bin);
        const double measured = BinAmplitude(y, bin) * Scale(idx);
        QVERIFY2(qAbs(measured / amplitude - 1.0) < 0.05, qPrintable(QString::number(measured)));

        ReadRegister(idxCAPT_SUPPLY);
        QVERIFY(qAbs(Spi_mod::RegValue - 3.3) < 0.02);
        ReadRegister(idxCAPT_TEMP);
        QVERIFY(qAbs(Spi_mod::RegValue - 25.0) < 1.0);
        ReadRegister(buffer == 0 ? idxCAPT_PEAK_X : buffer == 1 ? idxCAPT_PEAK_Y : idxCAPT_PEAK_Z);
        QVERIFY(qAbs(Spi_mod::RegValue / amplitude - 1.0) < 0.05);
    }

    void captureTakesTheTableTime_data()
    {
        tb::Columns<int, int, int, double>({"product", "ctrl", "avg", "seconds"});
        QTest::newRow("31473 AVG 1") << 31473 << 0x00 << 0 << 0.23;
        QTest::newRow("31473 AVG 64") << 31473 << 0x00 << 6 << 1.1;
        QTest::newRow("31470 AVG 1024") << 31470 << 0x00 << 10 << 12.13;
        QTest::newRow("31470 AVG 16") << 31470 << 0x00 << 4 << 0.39;
        QTest::newRow("31473 extended AVG 8") << 31473 << 0x0C << 3 << 3 * 0.23;
        QTest::newRow("31473 AVG 1024 ctrl 0x40") << 31473 << 0x40 << 10 << 16.9; // flash only on events
    }
    void captureTakesTheTableTime()
    {
        QFETCH(int, product);
        QFETCH(int, ctrl);
        QFETCH(int, avg);
        QFETCH(double, seconds);
        Setup(product);
        WriteRegister(idxCAPT_CTRL, ctrl);
        WriteRegister(idxAVG_CNT, avg);
        Start();
        QVERIFY(!BusyLineHigh());
        clock.Advance(seconds * 0.98);
        QCOMPARE(Status() & 0x80, 0);
        QVERIFY(!BusyLineHigh());
        clock.Advance(seconds * 0.03);
        QCOMPARE(Status() & 0x80, 0x80);
        QVERIFY(BusyLineHigh());
    }

    void averagingLowersTheNoise()
    {
        Setup(31473);
        Signal().axis[1].noise = 0.3;
        WriteRegister(idxAVG_CNT, 0);
        const double plain = StdDev(Trigger(0.3, idxCAPT_BUF2));
        WriteRegister(idxAVG_CNT, 4);
        const double averaged = StdDev(Trigger(0.3, idxCAPT_BUF2));
        QVERIFY(plain * Scale(idxCAPT_BUF2) > 0.25);
        // Sixteen samples averaged: a quarter of the spread, give or take.
        QVERIFY2(averaged < plain / 3.0 && averaged > plain / 5.5,
                 qPrintable(QString("%1 %2").arg(plain).arg(averaged)));
    }

    void extendedModeIsContinuous()
    {
        Setup(31473);
        const double fs = sim::kSampleRate31473;
        const int bin = 101; // of 3072
        Signal().axis[1].tones = {{bin * fs / 3072, 2.0, 0.0}};
        Signal().axis[0].tones = {{40 * fs / 1024, 3.0, 0.0}};
        WriteRegister(idxCAPT_CTRL, 0x010C); // extended, Y axis
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
        QVERIFY(qAbs(BinAmplitude(all, bin) * Scale(idxCAPT_BUF1) / 2.0 - 1.0) < 0.05);
        // Nothing of the X axis.
        Samples first(all.begin(), all.begin() + 1024);
        QVERIFY(BinAmplitude(first, 40) * Scale(idxCAPT_BUF1) < 0.1);
    }

    void eventModeWaitsForTheThreshold()
    {
        Setup(31473);
        sim::AxisSignal& z = Signal().axis[2];
        z.tones = {{900.0, 0.4, 0.0}};
        z.impacts = {1.0, 0.0, 3.0, 2000.0, 0.005};
        const int threshold = static_cast<int>(std::lround(1.0 / Scale(idxALM_MAG3)));
        WriteRegister(idxALM_MAG3, threshold);
        WriteRegister(idxALM_CTRL, 0x04);
        WriteRegister(idxCAPT_CTRL, 0x18); // event mode, 128 samples before the trigger
        Start();
        clock.Advance(0.9);
        QCOMPARE(Status() & 0x80, 0);
        QVERIFY(BusyLineHigh());
        clock.Advance(0.11);
        QVERIFY(!BusyLineHigh()); // the impact at 1.0 s started a capture
        clock.Advance(0.23);
        QCOMPARE(Status() & 0x4480, 0x4480); // data ready, alarm Z, alarm Z event
        QVERIFY(BusyLineHigh());
        const Samples x = ReadBuffer(idxCAPT_BUF3);
        for (int i = 0; i < 128; ++i)
            QVERIFY2(std::abs(x[static_cast<size_t>(i)]) <= threshold, qPrintable(QString::number(i)));
        QVERIFY(std::abs(x[128]) > threshold);
        // The pre-trigger samples are the quiet tone, not zeros.
        QVERIFY(StdDev(Samples(x.begin(), x.begin() + 128)) * Scale(idxCAPT_BUF3) > 0.2);

        // The event disarmed the sensor: the next impact triggers nothing.
        Command(0x10);
        z.impacts.period = 2.0;
        clock.Advance(2.5);
        QCOMPARE(Status() & 0x80, 0);
    }

    void automaticModeRepeatsAtThePeriod()
    {
        Setup(31473);
        WriteRegister(idxCAPT_PRD, 0x0002); // 2 s
        WriteRegister(idxCAPT_CTRL, 0x04);
        Start();
        QString seen;
        for (int tenth = 1; tenth <= 75; ++tenth) {
            clock.Set(tenth / 10.0 - 0.05);
            seen += BusyLineHigh() ? '-' : 'B';
        }
        // Busy for 0.23 s from 0, 2, 4 and 6 s.
        QCOMPARE(seen, QString("BB" + QString(18, '-') + "BB" + QString(18, '-') + "BB" + QString(18, '-') + "BB" +
                               QString(13, '-')));
        QCOMPARE(Status() & 0x90, 0x80);
        Command(0x800); // stop
        clock.Set(8.1);
        QVERIFY(BusyLineHigh());
        Command(0x10);
        clock.Set(12.0);
        QCOMPARE(Status() & 0x80, 0);
    }

    void periodShorterThanCaptureIsFlagged()
    {
        Setup(31470);
        WriteRegister(idxAVG_CNT, 7); // 1.6 s
        WriteRegister(idxCAPT_PRD, 0x0001);
        WriteRegister(idxCAPT_CTRL, 0x04);
        Start();
        clock.Advance(0.5);
        QCOMPARE(Status() & 0x10, 0x10);
        // Captures then follow each other back to back.
        clock.Set(1.65);
        QVERIFY(!BusyLineHigh());
        QCOMPARE(Status() & 0x80, 0x80);
    }

    void alarmAndDataReadyBitsClear()
    {
        Setup(31473);
        Signal().axis[0].tones = {{1000.0, 1.0, 0.0}};
        Signal().axis[1].tones = {{1000.0, 0.2, 0.0}};
        WriteRegister(idxALM_MAG1, static_cast<int>(0.5 / Scale(idxALM_MAG1)));
        WriteRegister(idxALM_MAG2, static_cast<int>(0.5 / Scale(idxALM_MAG2)));
        WriteRegister(idxALM_CTRL, 0x03);
        QCOMPARE(Status(), 0);
        Trigger(0.3, idxCAPT_BUF1);
        QCOMPARE(Status(), 0x0180); // alarm X and data ready, not Y
        Command(0x10);
        QCOMPARE(Status(), 0);
        // Supply alarm: above 3.0 V fires.
        WriteRegister(idxALM_MAG4, static_cast<int>(std::lround(3.0 / 0.001220866)));
        WriteRegister(idxALM_CTRL, 0x08);
        Trigger(0.3, idxCAPT_BUF1);
        QCOMPARE(Status(), 0x0880);
        // Supply out of range.
        Signal().supplyVolts = 3.0;
        WriteRegister(idxALM_CTRL, 0);
        Command(0x10);
        Trigger(0.3, idxCAPT_BUF1);
        QCOMPARE(Status(), 0x0081);
    }

    void autoNullZeroesTheOffset_data()
    {
        QTest::addColumn<int>("product");
        QTest::newRow("31470") << 31470;
        QTest::newRow("31473") << 31473;
    }
    void autoNullZeroesTheOffset()
    {
        QFETCH(int, product);
        Setup(product);
        const double offsets[3] = {0.9, -0.4, 1.0};
        for (int a = 0; a < 3; ++a) {
            Signal().axis[static_cast<size_t>(a)].offset = offsets[a];
            Signal().axis[static_cast<size_t>(a)].tones = {{1500.0 + 500 * a, 0.5, 0.0}};
            Signal().axis[static_cast<size_t>(a)].noise = 0.02;
        }
        QVERIFY(Mean(Trigger(0.3, idxCAPT_BUF1)) * Scale(idxCAPT_BUF1) > 0.8);
        Command(0x0001);
        const int16_t nulls[3] = {idxX_NULL, idxAUX0_NULL, idxAUX1_NULL};
        for (int a = 0; a < 3; ++a)
            QVERIFY(Read(nulls[a]) != 0);
        Start();
        clock.Advance(0.3);
        for (int a = 0; a < 3; ++a) {
            const double mean = Mean(ReadBuffer(Buf(a))) * Scale(Buf(a));
            QVERIFY2(std::abs(mean) < 0.03, qPrintable(QString("axis %1: %2").arg(a).arg(mean)));
        }
    }

    void backupRestoreAndResets()
    {
        Setup(31473);
        const int endurance = Read(idxENDURANCE);
        WriteRegister(idxALM_MAG1, 123);
        WriteRegister(idxCAPT_PRD, 0x010A);
        Command(0x1000);
        QCOMPARE(Read(idxENDURANCE), endurance + 1);
        WriteRegister(idxALM_MAG1, 7);
        WriteRegister(idxCAPT_PRD, 0x0005);
        Command(0x2000);
        QCOMPARE(Read(idxALM_MAG1), 123);
        QCOMPARE(Read(idxCAPT_PRD), 0x010A);

        // A software reset reloads the settings from flash.
        WriteRegister(idxALM_MAG1, 9);
        Command(0x80);
        QCOMPARE(Read(idxALM_MAG1), 123);
        QCOMPARE(Read(idxPROD_ID), 31473);

        // The factory reset goes back to the power-on defaults, in flash as well.
        Command(0x08);
        QCOMPARE(Read(idxALM_MAG1), 0);
        QCOMPARE(Read(idxCAPT_PRD), 0x0001);
        QCOMPARE(Read(idxDIO_CTRL), 0x001E);
        WriteRegister(idxALM_MAG1, 55);
        Command(0x80);
        QCOMPARE(Read(idxALM_MAG1), 0);

        // Capture data is backed up with the settings; buffer clear empties the buffers.
        Signal().axis[0].offset = 1.0;
        const Samples before = Trigger(0.3, idxCAPT_BUF1);
        Command(0x1000);
        Command(0x0100);
        QCOMPARE(Mean(ReadBuffer(idxCAPT_BUF1)), 0.0);
        Command(0x2000);
        QCOMPARE(ReadBuffer(idxCAPT_BUF1), before);

        // A flash that cannot be written says so.
        board->Sensor().Model().SetFlashFails(true);
        Command(0x1000);
        Command(0x0020);
        QCOMPARE(Status() & 0x44, 0x44);
    }

    void selfTest()
    {
        Setup(31473);
        const double plain = Mean(Trigger(0.3, idxCAPT_BUF3));
        WriteRegister(idxMSC_CTRL, 0x0100);
        const double deflected = Mean(Trigger(0.3, idxCAPT_BUF3));
        QVERIFY(qAbs((deflected - plain) * Scale(idxCAPT_BUF3) - Signal().selfTestDeflection) < 0.01);
        Command(0x0004);
        QCOMPARE(Status() & 0x20, 0);
        board->Sensor().Model().SetSelfTestFails(true);
        Command(0x0004);
        QCOMPARE(Status() & 0x20, 0x20);
    }

    // A DIO pin set up as a GPIO input shows its level in GPIO_CTRL.
    void gpioInputLevel()
    {
        Setup(31470);
        WriteRegister(idxDIO_CTRL, 0x0C);
        WriteRegister(idxGPIO_CTRL, 0x0200);
        board->Sensor().Model().DriveInput(1, true);
        QCOMPARE(Read(idxGPIO_CTRL), 0x0200);
        board->Sensor().Model().DriveInput(1, false);
        QCOMPARE(Read(idxGPIO_CTRL), 0x0000);
    }

    void busyPinFollowsDioSetup_data()
    {
        tb::Columns<int, int, bool, bool>({"dio", "gpio", "idle", "capturing"});
        QTest::newRow("busy, active low") << 0x0C << 0 << true << false;
        QTest::newRow("busy, active high") << 0x0D << 0 << false << true;
        QTest::newRow("GPIO output low") << 0x00 << 0x0001 << false << false;
        QTest::newRow("GPIO output high") << 0x00 << 0x0101 << true << true;
    }
    void busyPinFollowsDioSetup()
    {
        QFETCH(int, dio);
        QFETCH(int, gpio);
        Setup(31473);
        WriteRegister(idxDIO_CTRL, dio);
        WriteRegister(idxGPIO_CTRL, gpio);
        QTEST(BusyLineHigh(), "idle");
        Command(0x800);
        QTEST(BusyLineHigh(), "capturing");
        QCOMPARE(Read(idxGPIO_CTRL), gpio);
    }
};

SB_TEST_MAIN(tst_CaptureEngine)
#include "tst_CaptureEngine.moc"
