// The virtual sensor's capture engine and command actions, driven the way the program
// drives them: WriteRegister/ReadRegister over the virtual USB-SPI card.
#include "TestSupport.h"
#include "device/EzUsb.h"
#include "device/PortIo.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"
#include "sim/SensorModel.h"
#include "sim/SignalModel.h"
#include <cmath>
#include <complex>
#include <numeric>
#include <vector>

using namespace m470Reg;
using Samples = std::vector<double>;

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr uint16_t kPort = 0x378;

// Amplitude of the component at DFT bin k.
double BinAmplitude(const Samples& x, int k)
{
    std::complex<double> sum = 0;
    const double n = static_cast<double>(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        sum += x[i] * std::polar(1.0, -2.0 * kPi * k * static_cast<double>(i) / n);
    return 2.0 * std::abs(sum) / n;
}

int StrongestBin(const Samples& x)
{
    int best = 1;
    double bestAmp = 0;
    for (int k = 1; k < static_cast<int>(x.size() / 2); ++k) {
        const double a = BinAmplitude(x, k);
        if (a > bestAmp) {
            bestAmp = a;
            best = k;
        }
    }
    return best;
}

double Mean(const Samples& x) { return std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size()); }

double StdDev(const Samples& x)
{
    const double m = Mean(x);
    double s = 0;
    for (double v : x)
        s += (v - m) * (v - m);
    return std::sqrt(s / static_cast<double>(x.size()));
}
} // namespace

class tst_CaptureEngine : public QObject {
    Q_OBJECT

    sim::ManualClock clock;
    sim::Board* board = nullptr;

    void Setup(int product)
    {
        Module1::InitialiseState();
        Module1::ProductNumber = static_cast<int16_t>(product);
        Module1::PortAddress = static_cast<int16_t>(kPort);
        if (product == sim::kProduct31470)
            BuildTable31470();
        else
            BuildTable31473();
        clock.Set(0.0);
        board = &sim::Install(1, 0);
        board->SetClock(clock.AsClock());
        SelectFirstUsbCard();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        Module1::InterfaceType = 2;
        board->Sensor().Signal() = sim::SignalModel::Quiet();
    }
    sim::SignalModel& Signal() { return board->Sensor().Signal(); }
    double Scale(int16_t idx) const { return RegisterTable[static_cast<size_t>(idx)].RegScale; }

    int32_t Read(int16_t idx)
    {
        ReadRegister(idx);
        return Spi_mod::RegRaw;
    }
    void Command(int32_t value) { WriteRegister(idxCOMMAND, value); }
    int Status() { return Read(idxSTATUS); }
    // The busy line as the program polls it: bit 5 of the port's status register.
    bool BusyLineHigh() { return CurrentPortIo()->In(kPort + 1) & 0x20; }

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
    Samples Trigger(double seconds, int16_t buffer)
    {
        Command(0x10);
        Command(0x800);
        clock.Advance(seconds);
        return ReadBuffer(buffer);
    }

private slots:
    void defaultSignalIsAMachine();
    void manualCaptureReturnsTheSignal_data();
    void manualCaptureReturnsTheSignal();
    void captureTakesTheTableTime_data();
    void captureTakesTheTableTime();
    void averagingLowersTheNoise();
    void extendedModeIsContinuous();
    void eventModeWaitsForTheThreshold();
    void automaticModeRepeatsAtThePeriod();
    void periodShorterThanCaptureIsFlagged();
    void alarmAndDataReadyBitsClear();
    void autoNullZeroesTheOffset_data();
    void autoNullZeroesTheOffset();
    void backupRestoreAndResets();
    void readingNeverDisturbs();
    void selfTest();
    void triggerInputStartsCapture();
    void busyPinFollowsDioSetup_data();
    void busyPinFollowsDioSetup();
};

void tst_CaptureEngine::defaultSignalIsAMachine()
{
    Samples first[3];
    for (int run = 0; run < 2; ++run) {
        Setup(31473);
        Signal() = sim::SignalModel::Default(31473);
        clock.Set(0.25); // between the impacts
        const int16_t bufs[3] = {idxCAPT_BUF1, idxCAPT_BUF2, idxCAPT_BUF3};
        Command(0x800);
        clock.Advance(0.3);
        for (int a = 0; a < 3; ++a) {
            const Samples x = ReadBuffer(bufs[a]);
            if (run == 0)
                first[a] = x;
            else
                QCOMPARE(x, first[a]); // deterministic: same clock, same samples
        }
    }
    const double binHz = sim::kSampleRate31473 / 1024;
    const double dominant[3] = {1210, 790, 2450};
    for (int a = 0; a < 3; ++a)
        QVERIFY2(std::abs(StrongestBin(first[a]) * binHz - dominant[a]) <= binHz,
                 qPrintable(QString("axis %1").arg(a)));
    QVERIFY(std::abs(Mean(first[2]) * Scale(idxCAPT_BUF3) - 1.0) < 0.05); // gravity on Z
}

void tst_CaptureEngine::manualCaptureReturnsTheSignal_data()
{
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("buffer");
    QTest::addColumn<int>("bin");
    QTest::addColumn<double>("amplitude");
    QTest::newRow("31473 X") << 31473 << 0 << 37 << 1.5;
    QTest::newRow("31473 Z") << 31473 << 2 << 90 << 0.8;
    QTest::newRow("31470 X") << 31470 << 0 << 21 << 2.0;
    QTest::newRow("31470 AUX1") << 31470 << 2 << 64 << 3.0;
}

void tst_CaptureEngine::manualCaptureReturnsTheSignal()
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
    const int16_t idx = buffer == 0 ? idxCAPT_BUF1 : buffer == 1 ? idxCAPT_BUF2 : idxCAPT_BUF3;
    const Samples x = Trigger(0.3, idx);
    QVERIFY(qAbs(StrongestBin(x) - bin) <= 1);

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
    const int16_t peak = buffer == 0 ? idxCAPT_PEAK_X : buffer == 1 ? idxCAPT_PEAK_Y : idxCAPT_PEAK_Z;
    ReadRegister(peak);
    QVERIFY(qAbs(Spi_mod::RegValue / amplitude - 1.0) < 0.05);
}

void tst_CaptureEngine::captureTakesTheTableTime_data()
{
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("ctrl");
    QTest::addColumn<int>("avg");
    QTest::addColumn<double>("seconds");
    QTest::newRow("31473 AVG 1") << 31473 << 0x00 << 0 << 0.23;
    QTest::newRow("31473 AVG 64") << 31473 << 0x00 << 6 << 1.1;
    QTest::newRow("31470 AVG 1024") << 31470 << 0x00 << 10 << 12.13;
    QTest::newRow("31470 AVG 16") << 31470 << 0x00 << 4 << 0.39;
    QTest::newRow("31473 extended AVG 8") << 31473 << 0x0C << 3 << 3 * 0.23;
    QTest::newRow("31473 AVG 1024 ctrl 0x40") << 31473 << 0x40 << 10 << 16.9; // flash only on events
}

void tst_CaptureEngine::captureTakesTheTableTime()
{
    QFETCH(int, product);
    QFETCH(int, ctrl);
    QFETCH(int, avg);
    QFETCH(double, seconds);
    Setup(product);
    WriteRegister(idxCAPT_CTRL, ctrl);
    WriteRegister(idxAVG_CNT, avg);
    Command(0x10);
    Command(0x800);
    QVERIFY(!BusyLineHigh());
    clock.Advance(seconds * 0.98);
    QCOMPARE(Status() & 0x80, 0);
    QVERIFY(!BusyLineHigh());
    clock.Advance(seconds * 0.03);
    QCOMPARE(Status() & 0x80, 0x80);
    QVERIFY(BusyLineHigh());
}

void tst_CaptureEngine::averagingLowersTheNoise()
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

void tst_CaptureEngine::extendedModeIsContinuous()
{
    Setup(31473);
    const double fs = sim::kSampleRate31473;
    const int bin = 101; // of 3072
    Signal().axis[1].tones = {{bin * fs / 3072, 2.0, 0.0}};
    Signal().axis[0].tones = {{40 * fs / 1024, 3.0, 0.0}};
    WriteRegister(idxCAPT_CTRL, 0x010C); // extended, Y axis
    Command(0x10);
    Command(0x800);
    clock.Advance(3 * 0.23);
    Samples all;
    for (int16_t idx : {idxCAPT_BUF1, idxCAPT_BUF2, idxCAPT_BUF3}) {
        const Samples part = ReadBuffer(idx);
        all.insert(all.end(), part.begin(), part.end());
    }
    QCOMPARE(all.size(), size_t(3072));
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

void tst_CaptureEngine::eventModeWaitsForTheThreshold()
{
    Setup(31473);
    sim::AxisSignal& z = Signal().axis[2];
    z.tones = {{900.0, 0.4, 0.0}};
    z.impacts = {1.0, 0.0, 3.0, 2000.0, 0.005};
    const int threshold = static_cast<int>(std::lround(1.0 / Scale(idxALM_MAG3)));
    WriteRegister(idxALM_MAG3, threshold);
    WriteRegister(idxALM_CTRL, 0x04);
    WriteRegister(idxCAPT_CTRL, 0x18); // event mode, 128 samples before the trigger
    Command(0x10);
    Command(0x800);
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

void tst_CaptureEngine::automaticModeRepeatsAtThePeriod()
{
    Setup(31473);
    WriteRegister(idxCAPT_PRD, 0x0002); // 2 s
    WriteRegister(idxCAPT_CTRL, 0x04);
    Command(0x10);
    Command(0x800);
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

void tst_CaptureEngine::periodShorterThanCaptureIsFlagged()
{
    Setup(31470);
    WriteRegister(idxAVG_CNT, 7); // 1.6 s
    WriteRegister(idxCAPT_PRD, 0x0001);
    WriteRegister(idxCAPT_CTRL, 0x04);
    Command(0x10);
    Command(0x800);
    clock.Advance(0.5);
    QCOMPARE(Status() & 0x10, 0x10);
    // Captures then follow each other back to back.
    clock.Set(1.65);
    QVERIFY(!BusyLineHigh());
    QCOMPARE(Status() & 0x80, 0x80);
}

void tst_CaptureEngine::alarmAndDataReadyBitsClear()
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

void tst_CaptureEngine::autoNullZeroesTheOffset_data()
{
    QTest::addColumn<int>("product");
    QTest::newRow("31470") << 31470;
    QTest::newRow("31473") << 31473;
}

void tst_CaptureEngine::autoNullZeroesTheOffset()
{
    QFETCH(int, product);
    Setup(product);
    const double offsets[3] = {0.9, -0.4, 1.0};
    for (int a = 0; a < 3; ++a) {
        Signal().axis[static_cast<size_t>(a)].offset = offsets[a];
        Signal().axis[static_cast<size_t>(a)].tones = {{1500.0 + 500 * a, 0.5, 0.0}};
        Signal().axis[static_cast<size_t>(a)].noise = 0.02;
    }
    const int16_t bufs[3] = {idxCAPT_BUF1, idxCAPT_BUF2, idxCAPT_BUF3};
    QVERIFY(Mean(Trigger(0.3, idxCAPT_BUF1)) * Scale(idxCAPT_BUF1) > 0.8);
    Command(0x0001);
    const int16_t nulls[3] = {idxX_NULL, idxAUX0_NULL, idxAUX1_NULL};
    for (int a = 0; a < 3; ++a)
        QVERIFY(Read(nulls[a]) != 0);
    Command(0x10);
    Command(0x800);
    clock.Advance(0.3);
    for (int a = 0; a < 3; ++a) {
        const double mean = Mean(ReadBuffer(bufs[a])) * Scale(bufs[a]);
        QVERIFY2(std::abs(mean) < 0.03, qPrintable(QString("axis %1: %2").arg(a).arg(mean)));
    }
}

void tst_CaptureEngine::backupRestoreAndResets()
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

void tst_CaptureEngine::readingNeverDisturbs()
{
    Setup(31470);
    Signal().axis[0].tones = {{3000.0, 1.0, 0.0}};
    Signal().axis[0].noise = 0.05;
    const Samples first = Trigger(0.25, idxCAPT_BUF1);
    clock.Advance(5.0);
    QCOMPARE(ReadBuffer(idxCAPT_BUF1), first);
    WriteRegister(idxCAPT_PNTR, 17);
    ReadRegister(idxCAPT_BUF1);
    ReadRegister(idxCAPT_BUF1);
    QCOMPARE(Spi_mod::RegRaw, int32_t(first[17]));
    QCOMPARE(Read(idxCAPT_PNTR), 17);
}

void tst_CaptureEngine::selfTest()
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

void tst_CaptureEngine::triggerInputStartsCapture()
{
    Setup(31470);
    WriteRegister(idxDIO_CTRL, 0x2C); // pin 1 busy (active low), pin 2 capture trigger
    sim::SensorModel& model = board->Sensor().Model();
    model.DriveInput(1, true);
    QVERIFY(BusyLineHigh());
    model.DriveInput(1, false);
    QVERIFY(!BusyLineHigh());
    clock.Advance(0.2);
    QCOMPARE(Status() & 0x80, 0x80);
    // As a GPIO input the pin's level shows in GPIO_CTRL.
    WriteRegister(idxDIO_CTRL, 0x0C);
    WriteRegister(idxGPIO_CTRL, 0x0200);
    QCOMPARE(Read(idxGPIO_CTRL), 0x0000);
}

void tst_CaptureEngine::busyPinFollowsDioSetup_data()
{
    QTest::addColumn<int>("dio");
    QTest::addColumn<int>("gpio");
    QTest::addColumn<bool>("idle");
    QTest::addColumn<bool>("capturing");
    QTest::newRow("busy, active low") << 0x0C << 0 << true << false;
    QTest::newRow("busy, active high") << 0x0D << 0 << false << true;
    QTest::newRow("GPIO output low") << 0x00 << 0x0001 << false << false;
    QTest::newRow("GPIO output high") << 0x00 << 0x0101 << true << true;
}

void tst_CaptureEngine::busyPinFollowsDioSetup()
{
    QFETCH(int, dio);
    QFETCH(int, gpio);
    QFETCH(bool, idle);
    QFETCH(bool, capturing);
    Setup(31473);
    WriteRegister(idxDIO_CTRL, dio);
    WriteRegister(idxGPIO_CTRL, gpio);
    QCOMPARE(BusyLineHigh(), idle);
    Command(0x800);
    QCOMPARE(BusyLineHigh(), capturing);
    QCOMPARE(Read(idxGPIO_CTRL), gpio);
}

SB_TEST_MAIN(tst_CaptureEngine)
#include "tst_CaptureEngine.moc"
