// The capture button, the count-down, the busy-line poll and the buffer read-out of the main
// window, on the virtual board: frames at the wire, captions and texts at the widgets.
#include "CaptureTestBench.h"
#include "ui/Ui.h"
#include "capture/BufferReadout.h"
#include "capture/CaptureWorkflow.h"
#include "datalog/DataFile.h"

#include <QDir>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

using tb::Count;
using tb::Rd;
using tb::Wr;
using Frames = tb::Frames;

namespace {
// COMMAND is written one byte at a time: the capture bit 0x800 is byte 0x08 at the high address.
constexpr uint16_t kCaptureCommand = Wr(sim::reg::COMMAND + 1, 0x08);
const QStringList kCountDown{"Capture Busy  0.3", "Capture Busy  0.2", "Capture Busy  0.1"};

// Frames that write the pointer's low byte (one per pointer write).
int PointerWrites(const Frames& f)
{
    int n = 0;
    for (const auto& x : f)
        n += (x.mosi & 0xFF00) == (0x8000 | sim::reg::CAPT_PNTR << 8);
    return n;
}

long IndexOf(const Frames& f, uint16_t mosi, size_t from = 0)
{
    for (size_t i = from; i < f.size(); ++i)
        if (f[i].mosi == mosi)
            return static_cast<long>(i);
    return -1;
}
} // namespace

class TestCapture : public QObject {
    Q_OBJECT
    frmForm1* w = nullptr;
    sim::ManualClock clock;
    double frameClock = 0;       // a clock that runs on with every frame while frameClockRuns
    bool frameClockRuns = false;

    sim::VirtualSensor& Sensor() { return sim::CurrentBoard()->Sensor(); }
    const Frames& Wire() { return Sensor().Frames(); }

    void Open(int16_t interfaceType, int product = 31473)
    {
        w = tb::OpenMainWindow(interfaceType);
        if (product != 31473)
            w->SetProductNumber(static_cast<int16_t>(product));
        Sensor().ClearFrames();
    }
    // Chooses a capture mode and averaging as the user does; the captions follow.
    // The automatic-mode interval as the user types it, in the units chosen.
    void SetInterval(int value)
    {
        w->txtTimerValue->setText(QString::number(value));
        w->WriteCAPT_PRD();
    }
    void Select(int mode, int avg)
    {
        w->ComboCapMode->setCurrentIndex(mode);
        w->WriteCapCtrl();
        w->ComboAVG->setCurrentIndex(avg);
        w->ComboAVG_Click();
        Sensor().ClearFrames();
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { Open(2); }
    void cleanup() { frmForm1::destroyInstance(); }

    void manualTriggerCountsDownThenReadsOut()
    {
        Select(0, 0);
        QStringList texts;
        connect(w->txtCapBusy, &QLineEdit::textChanged, w, [&](const QString& t) { texts << t + ' ' + w->cmdONE->text(); });

        w->cmdONE->click();

        QCOMPARE(texts, (QStringList{"Capture Busy  0.3 Abort", "Capture Busy  0.2 Abort", "Capture Busy  0.1 Abort"}));
        QVERIFY(w->txtCapBusy->isHidden());
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger"));
        // One capture command, then the read-out and a plot.
        const long command = IndexOf(Wire(), kCaptureCommand);
        QCOMPARE(Count(Wire(), kCaptureCommand), 1);
        QVERIFY(IndexOf(Wire(), Rd(sim::reg::CAPT_SUPPLY), static_cast<size_t>(command)) > command);
        QCOMPARE(PointerWrites(Wire()), 1 + 3 * 1024);
        QCOMPARE(w->FrameDataPLot->picture1->StrokeCount(), 3);
        QCOMPARE(sbtest::MessageTexts(), QStringList{});
    }

    // Averaging set in manual mode, then an extended mode: the duration follows the mode, and a
    // count-down that is still too short is followed by waiting for Data Ready, never by a read
    // of the previous capture's buffers.
    void extendedCaptureReadOnlyWhenComplete()
    {
        Select(0, 4); // 0.28 s a buffer
        QCOMPARE(w->LbLCapDuration->text(), QStringLiteral("0.28"));
        w->ComboCapMode->setCurrentIndex(3);
        w->WriteCapCtrl();
        QCOMPARE(w->LbLCapDuration->text(), QStringLiteral("0.84"));
        w->ckWriteFlash->setChecked(true);
        w->WriteCapCtrl();
        QCOMPARE(w->LbLCapDuration->text(), QStringLiteral("2.4"));
        w->ckWriteFlash->setChecked(false);
        w->WriteCapCtrl();

        w->LbLCapDuration->setText(QStringLiteral("0.1")); // as stale as a duration can be
        Sensor().ClearFrames();
        w->cmdONE->click();

        const Frames& f = Wire();
        const long firstPointer = IndexOf(f, Wr(sim::reg::CAPT_PNTR + 1, 0));
        QVERIFY(firstPointer > 0);
        long lastStatus = -1;
        int statusReads = 0;
        for (long i = IndexOf(f, kCaptureCommand); i < firstPointer; ++i)
            if (f[size_t(i)].mosi == Rd(sim::reg::STATUS)) {
                lastStatus = i;
                ++statusReads;
            }
        QVERIFY2(statusReads > 2, "waited on the status register");
        QVERIFY(f[size_t(lastStatus + 1)].miso & capture::kDataReadyBit);
        QCOMPARE(CaptureRecord::Last.modeIndex, 3);
        QCOMPARE(sbtest::MessageTexts(), QStringList{});
    }

    // Abort in the middle of a 1.1 s count-down ends it without a read-out.
    void abortEndsTheCountDown()
    {
        Select(0, 6); // 1.1 s
        int ticksSeen = 0;
        connect(w->txtCapBusy, &QLineEdit::textChanged, w, [&] { ++ticksSeen; });
        size_t abortAt = 0;
        QTimer::singleShot(250, w, [&] {
            QCOMPARE(w->cmdONE->text(), QStringLiteral("Abort"));
            abortAt = Wire().size();
            w->cmdONE->click();
        });

        w->cmdONE->click();

        QVERIFY(abortAt > 0);
        QVERIFY(ticksSeen < 12);
        QCOMPARE(PointerWrites(Wire()), 0);
        QCOMPARE(Count(Wire(), Rd(sim::reg::CAPT_SUPPLY)), 0);
        // The count-down puts back the caption it started with.
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger"));
        // Stops the sensor and reads the status once.
        QCOMPARE(Wire()[abortAt].mosi, Wr(sim::reg::COMMAND, 0x00));
        QCOMPARE(Count(Wire(), Rd(sim::reg::STATUS), abortAt), 2);
    }

    void startStopAndArmDisarm_data()
    {
        tb::Columns<int, QString, QString>({"mode", "first", "second"});
        QTest::newRow("automatic") << 1 << "Start" << "Stop";
        QTest::newRow("event over the USB card") << 2 << "Arm" << "DisArm";
    }
    void startStopAndArmDisarm()
    {
        QFETCH(int, mode);
        QFETCH(QString, first);
        QFETCH(QString, second);
        Select(mode, 0);
        QCOMPARE(w->cmdONE->text(), first);

        w->cmdONE->click();
        QCOMPARE(w->cmdONE->text(), second);
        QVERIFY(Sensor().Model().Running());
        QCOMPARE(Count(Wire(), kCaptureCommand), 1);
        QVERIFY(IndexOf(Wire(), Wr(sim::reg::COMMAND, 0x10)) < IndexOf(Wire(), kCaptureCommand));
        QVERIFY(!w->TimerPollBusy->isActive()); // no busy line on the USB card

        const size_t mark = Wire().size();
        w->cmdONE->click();
        QCOMPARE(w->cmdONE->text(), first);
        QVERIFY(!Sensor().Model().Running());
        QCOMPARE(Count(Wire(), kCaptureCommand, mark), 1);
        QCOMPARE(Count(Wire(), Rd(sim::reg::STATUS), mark), 2); // the grid shows the state
        QCOMPARE(PointerWrites(Wire()), 0);
    }

    void readOutFramesAndValues_data()
    {
        tb::Columns<int, float>({"product", "bufferScale"});
        QTest::newRow("31473") << 31473 << 0.004768372f;
        QTest::newRow("31470") << 31470 << 0.0191f;
    }
    void readOutFramesAndValues()
    {
        QFETCH(int, product);
        QFETCH(float, bufferScale);
        Open(2, product);
        // A capture first, so the buffers hold a waveform.
        Select(0, 0);
        w->cmdONE->click();
        CaptureRecord::BufValue2[1024] = 0;
        Sensor().ClearFrames();

        w->ReadCaptureBuffer();

        const Frames& f = Wire();
        size_t k = 0;
        for (int addr : {sim::reg::CAPT_SUPPLY, sim::reg::CAPT_TEMP, sim::reg::CAPT_PEAK_X, sim::reg::CAPT_PEAK_Y,
                         sim::reg::CAPT_PEAK_Z}) {
            QCOMPARE(f[k++].mosi, Rd(addr));
            QCOMPARE(f[k++].mosi, Rd(addr));
        }
        const int16_t peakX = static_cast<int16_t>(f[5].miso);
        QCOMPARE(f[k++].mosi, Wr(sim::reg::CAPT_PNTR + 1, 0));
        QCOMPARE(f[k++].mosi, Wr(sim::reg::CAPT_PNTR, 0));
        using namespace CaptureRecord;
        const std::array<const std::array<double, 1025>*, 3> values{&BufValue1, &BufValue2, &BufValue3};
        const std::array<const std::array<double, 1025>*, 3> raws{&BufRaw1, &BufRaw2, &BufRaw3};
        int mismatches = 0;
        for (int b = 0; b < 3; ++b) {
            const int bufferAddr = sim::reg::CAPT_BUF1 + 2 * b;
            for (int i = 0; i < 1024; ++i) {
                // Pointer written (high byte, low byte) right before every sample, then the read.
                mismatches += f[k++].mosi != Wr(sim::reg::CAPT_PNTR + 1, i >> 8);
                mismatches += f[k++].mosi != Wr(sim::reg::CAPT_PNTR, i & 0xFF);
                mismatches += f[k++].mosi != Rd(bufferAddr);
                mismatches += f[k].mosi != Rd(bufferAddr);
                const int16_t raw = static_cast<int16_t>(f[k++].miso);
                mismatches += (*raws[b])[i] != raw;
                mismatches += (*values[b])[i] != double(float(raw) * bufferScale);
            }
        }
        QCOMPARE(mismatches, 0);
        QCOMPARE(Sensor().Peek(sim::reg::CAPT_PNTR), uint16_t(1023));
        // Then the plot reads CAPT_CTRL and the status is read.
        QCOMPARE(f[k].mosi, Rd(sim::reg::CAPT_CTRL));
        QVERIFY(IndexOf(f, Rd(sim::reg::STATUS), k) > long(k));
        QCOMPARE(BufValue2[1024], 0.0);
        // Raw peak in the record, scaled text in the label.
        QCOMPARE(CaptPeakX, double(peakX));
        QCOMPARE(w->LbLXpk->text(), BufferReadout::FormatReading(double(float(peakX) * bufferScale)));
    }

    // Parallel port: the busy line is readable, so an event capture is read out by itself.
    void eventCaptureReadByTheBusyPoll_data()
    {
        QTest::addColumn<bool>("reArm");
        QTest::newRow("re-arm") << true;
        QTest::newRow("no re-arm") << false;
    }
    void eventCaptureReadByTheBusyPoll()
    {
        QFETCH(bool, reArm);
        Open(1);
        clock.Set(100.0);
        sim::CurrentBoard()->SetClock(clock.AsClock());
        Select(2, 0);
        QVERIFY(!w->ckAutoReArm->isHidden());
        w->ckAutoReArm->setChecked(reArm);
        // DIO pin 2 as the capture trigger input, pin 1 the busy line (low while capturing).
        Sensor().Poke(sim::reg::DIO_CTRL, 0x2C);

        w->cmdONE->click();
        QCOMPARE(w->cmdONE->text(), QStringLiteral("DisArm"));
        QVERIFY(w->TimerPollBusy->isActive());
        w->TimerPollBusy->stop(); // polls are driven by hand below

        w->PollBusy(); // armed, idle: line high, nothing to do
        QVERIFY(w->txtDIOBusy->isHidden());

        Sensor().Model().DriveInput(1, false); // the event
        Sensor().ClearFrames();
        w->PollBusy();
        QVERIFY(!w->txtDIOBusy->isHidden());
        QCOMPARE(PointerWrites(Wire()), 0);

        clock.Advance(1.0); // capture done: the line goes high
        QStringList texts;
        connect(w->txtCapBusy, &QLineEdit::textChanged, w, [&](const QString& t) { texts << t; });
        w->TimerPollBusy->start();
        w->PollBusy();
        QCOMPARE(texts, kCountDown);
        QCOMPARE(PointerWrites(Wire()), 1 + 3 * 1024);
        QVERIFY(w->txtDIOBusy->isHidden());
        // Re-armed automatically, the poll runs on for the next event; else the poll stops.
        QCOMPARE(w->cmdONE->text(), reArm ? QStringLiteral("DisArm") : QStringLiteral("Arm"));
        QCOMPARE(Sensor().Model().Running(), reArm);
        QCOMPARE(w->TimerPollBusy->isActive(), reArm);
        w->TimerPollBusy->stop();
    }

    // "Auto read-out": while the sensor runs (automatic) or is armed (event), each new capture is
    // read out once, by itself, and counted; an event capture re-arms when asked.
    void autoReadoutReadsEachNewCapture_data()
    {
        tb::Columns<int, QString, QString>({"mode", "running", "state"});
        QTest::newRow("automatic") << 1 << "Stop" << "Automatic, running";
        QTest::newRow("event, re-armed") << 2 << "DisArm" << "Event, armed";
    }
    void autoReadoutReadsEachNewCapture()
    {
        QFETCH(int, mode);
        QFETCH(QString, running);
        QFETCH(QString, state);
        clock.Set(100.0);
        sim::CurrentBoard()->SetClock(clock.AsClock());
        // Dropped captures are counted on the sensor's clock, not on how long a busy machine takes.
        w->autoReadoutClock = clock.AsClock();
        Select(mode, 0);
        SetInterval(1);
        Sensor().Poke(sim::reg::DIO_CTRL, 0x2C); // DIO pin 2: the event input
        w->ckAutoReArm->setChecked(true);
        QVERIFY(!w->ckAutoReadout->isHidden());
        w->ckAutoReadout->setChecked(true);
        QVERIFY(!w->TimerAutoReadout->isActive()); // not before the sensor runs
        w->cmdONE->click();
        QCOMPARE(w->cmdONE->text(), running);
        QVERIFY(w->TimerAutoReadout->isActive());
        QCOMPARE(w->TimerAutoReadout->interval(), 300);
        w->TimerAutoReadout->stop(); // polls are driven by hand below
        for (int n = 1; n <= 2; ++n) {
            Sensor().ClearFrames();
            w->AutoReadoutTick(); // nothing new yet
            QCOMPARE(PointerWrites(Wire()), 0);
            if (mode == 2) {
                Sensor().Model().DriveInput(1, true);
                Sensor().Model().DriveInput(1, false);
            }
            clock.Advance(1.0);
            w->AutoReadoutTick();
            QCOMPARE(PointerWrites(Wire()), 1 + 3 * 1024);
            QCOMPARE(w->AutoReadCount.read, n);
            QCOMPARE(w->LbLCapturesRead->text(), QStringLiteral("%1 read").arg(n));
            QCOMPARE(w->cmdONE->text(), running);
            QVERIFY(Sensor().Model().Running());
            if (mode == 1) // the grid shows the status that came with the capture, not the cleared one
                QCOMPARE(w->LbLAbit[7]->text(), QStringLiteral("SET"));
        }
        QVERIFY(sbtest::MessageTexts().isEmpty());
        w->UpdateStatusBar();
        QVERIFY2(w->StatusBarText().contains(state + QStringLiteral(", auto read-out (2 read)")),
                 qPrintable(w->StatusBarText()));
        w->cmdONE->click(); // stop / disarm ends the poll
        QVERIFY(!w->TimerAutoReadout->isActive());
        w->autoReadoutClock = {};
        // Without an interface the poll stops and says so once.
        w->cmdONE->click();
        Module1::InterfaceType = 0;
        w->AutoReadoutTick();
        QVERIFY(!w->ckAutoReadout->isChecked());
        QVERIFY(!w->TimerAutoReadout->isActive());
        QCOMPARE(sbtest::MessageTexts(), QStringList{"Auto read-out stopped: no interface answers."});
    }

    // A capture that ends while the one before is read out would leave the buffers holding parts
    // of both: that read-out is dropped without a message and the next poll reads the newer whole.
    void autoReadoutDropsAMixedReadOut()
    {
        // Members, so that the clock outlives the test even when it fails half-way.
        double& t = frameClock;
        bool& ticking = frameClockRuns;
        t = 100.0;
        ticking = false;
        sim::CurrentBoard()->SetClock([this] { return frameClockRuns ? (frameClock += 0.0002) : frameClock; });
        Select(1, 0);
        SetInterval(1);
        w->ckAutoReadout->setChecked(true);
        w->cmdONE->click();
        w->TimerAutoReadout->stop();
        t += 1.0;
        const CaptureRecord::Record before = CaptureRecord::Last;
        ticking = true; // a second capture ends during this read-out
        w->AutoReadoutTick();
        ticking = false;
        QCOMPARE(w->AutoReadCount.read, 0);
        QCOMPARE(CaptureRecord::Last.time, before.time);
        QVERIFY(sbtest::MessageTexts().isEmpty());
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("newer capture")));
        w->AutoReadoutTick();
        QCOMPARE(w->AutoReadCount.read, 1);
        QVERIFY(CaptureRecord::Last.time != before.time);
    }

    // Automatic mode on a board whose clock runs on during a read-out as a real one's would: at an
    // interval of at least capture + read-out every capture is read; at a shorter one those that
    // end during a read-out are counted as dropped. Nothing goes uncounted either way.
    void autoReadoutKeepsUpOrCountsDrops_data()
    {
        tb::Columns<int, bool>({"interval", "drops"});
        QTest::newRow("3 s: room for capture and read-out") << 3 << false;
        QTest::newRow("1 s: shorter than capture + read-out") << 1 << true;
    }
    void autoReadoutKeepsUpOrCountsDrops()
    {
        QFETCH(int, interval);
        QFETCH(bool, drops);
        double& t = frameClock;
        bool& ticking = frameClockRuns;
        t = 100.0;
        ticking = false;
        sim::CurrentBoard()->SetClock([this] { return frameClockRuns ? (frameClock += 0.0001) : frameClock; });
        w->autoReadoutClock = [this] { return frameClock; };
        // Batched transfers: the same frames at the board, a fraction of the real time.
        w->ckFastReadout->setChecked(true);
        Select(1, 0);
        SetInterval(interval);
        w->ckAutoReadout->setChecked(true);
        w->cmdONE->click();
        w->TimerAutoReadout->stop();
        const int before = Sensor().Model().CapturesCompleted();
        double longest = 0;
        while (t < 112.0) {
            t += 0.3; // the poll interval
            ticking = true;
            const double start = t;
            w->AutoReadoutTick();
            ticking = false;
            longest = std::max(longest, t - start);
        }
        w->cmdONE->click();
        // The read-out takes the board time a real one would (0.23 s capture + about 1 s).
        QVERIFY2(longest > 0.8 && longest < 1.7, qPrintable(QString::number(longest)));
        const int made = Sensor().Model().CapturesCompleted() - before;
        const int counted = w->AutoReadCount.read + w->AutoReadCount.dropped;
        QVERIFY2(made - counted >= 0 && made - counted <= 1, qPrintable(QStringLiteral("%1 made, %2 read, %3 dropped")
                                                                        .arg(made).arg(w->AutoReadCount.read).arg(w->AutoReadCount.dropped)));
        QCOMPARE(w->AutoReadCount.dropped > 0, drops);
        if (!drops)
            QVERIFY(w->AutoReadCount.read >= made - 1);
        QCOMPARE(w->LbLCapturesRead->text(), drops ? QStringLiteral("%1 read, %2 dropped").arg(w->AutoReadCount.read).arg(w->AutoReadCount.dropped)
                                                   : QStringLiteral("%1 read").arg(w->AutoReadCount.read));
        w->autoReadoutClock = {};
        w->ckFastReadout->setChecked(false);
    }

    void intervalShorterThanACaptureWarns_data()
    {
        tb::Columns<int, int, int, bool>({"mode", "avg", "units", "warned"});
        QTest::newRow("automatic, 1 s against 16.9 s") << 1 << 10 << 0 << true;
        QTest::newRow("automatic, 1 min against 16.9 s") << 1 << 10 << 1 << false;
        QTest::newRow("automatic, 1 s against 0.23 s") << 1 << 0 << 0 << false;
        QTest::newRow("manual: no interval") << 0 << 10 << 0 << false;
        QTest::newRow("event: no interval") << 2 << 10 << 0 << false;
    }
    // With auto read-out the interval must also leave room to read a capture out.
    void intervalShorterThanAReadOutWarns_data()
    {
        tb::Columns<int, bool, bool>({"interval", "fast", "warned"});
        QTest::newRow("1 s, faithful read-out") << 1 << false << true;
        QTest::newRow("1 s, fast read-out") << 1 << true << false;
        QTest::newRow("2 s, faithful read-out") << 2 << false << false;
    }
    void intervalShorterThanAReadOutWarns()
    {
        QFETCH(int, interval);
        QFETCH(bool, fast);
        w->ckFastReadout->setChecked(fast);
        Select(1, 0);
        SetInterval(interval);
        QVERIFY(w->LbLIntervalWarning->isHidden()); // only with auto read-out
        w->ckAutoReadout->setChecked(true);
        QTEST(!w->LbLIntervalWarning->isHidden(), "warned");
        if (!w->LbLIntervalWarning->isHidden())
            QCOMPARE(w->LbLIntervalWarning->text(),
                     QStringLiteral("The interval (1 s) is shorter than a capture and its read-out (0.23 s + 0.95 s): "
                                    "auto read-out drops the captures that end during a read-out. Fast read-out "
                                    "reads a capture in a fraction of the time."));
        w->ckAutoReadout->setChecked(false);
        w->ckFastReadout->setChecked(false);
    }
    void intervalShorterThanACaptureWarns()
    {
        QFETCH(int, mode);
        QFETCH(int, avg);
        QFETCH(int, units);
        Select(mode, avg);
        w->ComboTimerUnits->setCurrentIndex(units);
        SetInterval(1);
        QTEST(!w->LbLIntervalWarning->isHidden(), "warned");
        if (!w->LbLIntervalWarning->isHidden())
            QCOMPARE(w->LbLIntervalWarning->text(), QStringLiteral("The interval (1 s) is shorter than a capture (16.9 s): "
                                                                   "captures follow each other without a pause."));
    }

    // A normal capture spans 1024 samples, an extended one 3072.
    void captureLayouts_data()
    {
        tb::Columns<int, int>({"mode", "lastIndex"});
        QTest::newRow("normal") << 0 << 1023;
        QTest::newRow("extended") << 4 << 3071;
    }
    void captureLayouts()
    {
        QFETCH(int, mode);
        QFETCH(int, lastIndex);
        Select(mode, 2);
        w->cmdONE->click();
        QCOMPARE(w->FrameDataPLot->lblPlotX[3]->text(), QString::number(lastIndex));
        QCOMPARE(CaptureRecord::Last.Extended(), mode >= 3);
    }
};

SB_TEST_MAIN(TestCapture)
#include "tst_capture.moc"
