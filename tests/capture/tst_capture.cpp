// The capture button, the count-down, the busy-line poll and the buffer read-out of the main
// window, on the virtual board: frames at the wire, captions and texts at the widgets.
#include "TestSupport.h"
#include "ui/Ui.h"
#include "capture/BufferReadout.h"
#include "capture/CaptureRecord.h"
#include "capture/DataPlotWidget.h"
#include "capture/frmForm1.h"
#include "datalog/DataFile.h"
#include "device/EzUsb.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"
#include "sim/SensorModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

namespace {
constexpr uint16_t Read(int addr) { return static_cast<uint16_t>((addr & 0x7F) << 8); }
constexpr uint16_t Write(int addr, int byte) { return static_cast<uint16_t>(0x8000 | (addr & 0x7F) << 8 | (byte & 0xFF)); }
// COMMAND is written one byte at a time: the capture bit 0x800 is byte 0x08 at the high address.
constexpr uint16_t kCaptureCommand = Write(sim::reg::COMMAND + 1, 0x08);
constexpr uint16_t kCommandZero = Write(sim::reg::COMMAND, 0x00);
constexpr uint16_t kPointerLow = sim::reg::CAPT_PNTR;

using Frames = std::vector<sim::SpiFrame>;

int Count(const Frames& f, uint16_t mosi, size_t from = 0)
{
    int n = 0;
    for (size_t i = from; i < f.size(); ++i)
        n += f[i].mosi == mosi;
    return n;
}

// Frames that write the pointer's low byte (one per pointer write).
int PointerWrites(const Frames& f)
{
    int n = 0;
    for (const auto& x : f)
        n += (x.mosi & 0xFF00) == (0x8000 | kPointerLow << 8);
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
    sim::Board* board = nullptr;
    frmForm1* w = nullptr;
    std::unique_ptr<sim::ManualClock> clock;

    sim::VirtualSensor& Sensor() { return board->Sensor(); }
    const Frames& Wire() { return Sensor().Frames(); }

    void Open(int interfaceType, int product = 31473)
    {
        frmForm1::destroyInstance();
        board = &sim::Install(1, 0);
        Module1::InitialiseState();
        Module1::InterfaceType = static_cast<int16_t>(interfaceType);
        Module1::PortAddress = 0x378;
        Module1::ProductNumber = 31473;
        BuildTable31473();
        w = frmForm1::instance();
        if (product != 31473)
            w->SetProductNumber(static_cast<int16_t>(product));
        QCOMPARE(Module1::InterfaceType, int16_t(interfaceType));
        Sensor().ClearFrames();
        sbtest::ClearMessages();
    }

    // Chooses a capture mode as the user does; the caption follows.
    void SelectMode(int index)
    {
        w->ComboCapMode->setCurrentIndex(index);
        w->WriteCapCtrl();
    }
    void SelectAvg(int index)
    {
        w->ComboAVG->setCurrentIndex(index);
        w->ComboAVG_Click();
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { Open(2); }
    void cleanup()
    {
        frmForm1::destroyInstance();
        w = nullptr;
        if (board)
            board->SetClock([] { return 0.0; }); // the manual clock goes away with the test
        board = &sim::Install(1, 0);
        clock.reset();
    }

    void manualTriggerCountsDownThenReadsOut()
    {
        SelectMode(0);
        SelectAvg(0);
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger"));
        QCOMPARE(w->LbLCapDuration->text(), QStringLiteral("0.23"));
        QStringList texts, captions;
        connect(w->txtCapBusy, &QLineEdit::textChanged, w, [&](const QString& t) {
            texts << t;
            captions << w->cmdONE->text();
        });
        Sensor().ClearFrames();

        w->cmdONE->click();

        QCOMPARE(texts, (QStringList{"Capture Busy  0.3", "Capture Busy  0.2", "Capture Busy  0.1"}));
        QCOMPARE(captions, (QStringList{"Abort", "Abort", "Abort"}));
        QVERIFY(w->txtCapBusy->isHidden());
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger"));
        QVERIFY(w->cmdONE->isEnabled());
        QVERIFY(w->FrameDataPLot->LbLReadingBuffer->isHidden());

        // The capture command, then the read-out of the whole record and a plot.
        const Frames& f = Wire();
        const long command = IndexOf(f, kCaptureCommand);
        QVERIFY(command >= 0);
        QCOMPARE(Count(f, kCaptureCommand), 1);
        const long firstSupplyRead = IndexOf(f, Read(sim::reg::CAPT_SUPPLY), static_cast<size_t>(command));
        QVERIFY(firstSupplyRead > command);
        QCOMPARE(PointerWrites(f), 1 + 3 * 1024);
        QCOMPARE(Sensor().Peek(sim::reg::CAPT_PNTR), uint16_t(1023));
        QVERIFY(Count(f, Read(sim::reg::CAPT_CTRL), static_cast<size_t>(firstSupplyRead)) >= 2);
        QCOMPARE(w->FrameDataPLot->picture1->StrokeCount(), 3);
        // The virtual sensor felt its vibration during the capture.
        double energy = 0;
        for (int i = 0; i < 1024; ++i)
            energy += CaptureRecord::BufValue1[i] * CaptureRecord::BufValue1[i];
        QVERIFY(energy > 0);
        QVERIFY(w->LbLSupply->text() != QStringLiteral("noData"));
        QCOMPARE(sbtest::MessageTexts(), QStringList{});
    }

    void abortDuringCountDown()
    {
        SelectMode(0);
        SelectAvg(6); // 1.1 s: "1.2" and a dozen ticks
        QCOMPARE(w->LbLCapDuration->text(), QStringLiteral("1.10"));
        Sensor().ClearFrames();
        int ticksSeen = 0;
        connect(w->txtCapBusy, &QLineEdit::textChanged, w, [&] { ++ticksSeen; });
        size_t abortAt = 0;
        QTimer::singleShot(250, w, [&] {
            QCOMPARE(w->cmdONE->text(), QStringLiteral("Abort"));
            abortAt = Wire().size();
            w->cmdONE->click();
            QVERIFY(w->txtCapBusy->isHidden());
            QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger"));
        });

        w->cmdONE->click();

        QVERIFY(abortAt > 0);
        QVERIFY(ticksSeen < 12);
        const Frames& f = Wire();
        QCOMPARE(f[abortAt].mosi, kCommandZero);
        // The abort reads the status once; no read-out follows.
        QCOMPARE(Count(f, Read(sim::reg::STATUS), abortAt), 2);
        QCOMPARE(PointerWrites(f), 0);
        QCOMPARE(Count(f, Read(sim::reg::CAPT_SUPPLY)), 0);
        QVERIFY(w->txtCapBusy->isHidden());
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger"));
        QVERIFY(w->cmdONE->isEnabled());
    }

    void modeChangeDuringCountDownEndsIt()
    {
        SelectMode(0);
        SelectAvg(6);
        Sensor().ClearFrames();
        QTimer::singleShot(250, w, [&] {
            SelectMode(1);
            QCOMPARE(w->CaptureModeName, QStringLiteral("TIMER"));
        });

        w->cmdONE->click();

        QCOMPARE(PointerWrites(Wire()), 0);
        QVERIFY(w->txtCapBusy->isHidden());
        // The count-down puts back the caption it started with.
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger"));
    }

    void startStopAndArmDisarm_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("automatic") << 1 << "Start" << "Stop";
        QTest::newRow("event over the USB card") << 2 << "Arm" << "DisArm";
    }
    void startStopAndArmDisarm()
    {
        QFETCH(int, mode);
        QFETCH(QString, first);
        QFETCH(QString, second);
        SelectMode(mode);
        QCOMPARE(w->cmdONE->text(), first);
        Sensor().ClearFrames();

        w->cmdONE->click();
        QCOMPARE(w->cmdONE->text(), second);
        QVERIFY(Sensor().Model().Running());
        QCOMPARE(Count(Wire(), kCaptureCommand), 1);
        QVERIFY(IndexOf(Wire(), Write(sim::reg::COMMAND, 0x10)) < IndexOf(Wire(), kCaptureCommand));
        QVERIFY(!w->TimerPollBusy->isActive()); // no busy line on the USB card
        QVERIFY(w->txtDIOBusy->isHidden());

        const size_t mark = Wire().size();
        w->cmdONE->click();
        QCOMPARE(w->cmdONE->text(), first);
        QVERIFY(!Sensor().Model().Running());
        QCOMPARE(Count(Wire(), kCaptureCommand, mark), 1);
        QCOMPARE(Count(Wire(), Read(sim::reg::STATUS), mark), 2); // the grid shows the state
        QCOMPARE(PointerWrites(Wire()), 0);
        QVERIFY(w->txtCapBusy->isHidden());
    }

    void unknownCaptionOnlyShowsTheMessage_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::newRow("no data") << "no data";
        QTest::newRow("designer caption") << "cmdONE";
    }
    void unknownCaptionOnlyShowsTheMessage()
    {
        QFETCH(QString, caption);
        w->cmdONE->setText(caption);
        w->cmdONE->click();
        QCOMPARE(sbtest::MessageTexts(), QStringList{"unknown cmdOne_click action"});
        QCOMPARE(Wire().size(), size_t(0));
        QCOMPARE(w->cmdONE->text(), caption);
    }

    void readOutFramesAndValues_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<float>("bufferScale");
        QTest::newRow("31473") << 31473 << 0.004768372f;
        QTest::newRow("31470") << 31470 << 0.0191f;
    }
    void readOutFramesAndValues()
    {
        QFETCH(int, product);
        QFETCH(float, bufferScale);
        Open(2, product);
        // A capture first, so the buffers hold a waveform.
        SelectMode(0);
        SelectAvg(0);
        w->cmdONE->click();
        CaptureRecord::BufValue2[1024] = 0;
        Sensor().ClearFrames();

        w->ReadCaptureBuffer();

        const Frames& f = Wire();
        size_t k = 0;
        for (int addr : {sim::reg::CAPT_SUPPLY, sim::reg::CAPT_TEMP, sim::reg::CAPT_PEAK_X, sim::reg::CAPT_PEAK_Y,
                         sim::reg::CAPT_PEAK_Z}) {
            QCOMPARE(f[k++].mosi, Read(addr));
            QCOMPARE(f[k++].mosi, Read(addr));
        }
        const int16_t peakX = static_cast<int16_t>(f[5].miso);
        QCOMPARE(f[k++].mosi, Write(sim::reg::CAPT_PNTR + 1, 0));
        QCOMPARE(f[k++].mosi, Write(sim::reg::CAPT_PNTR, 0));
        const std::array<const std::array<double, 1025>*, 3> values{&CaptureRecord::BufValue1, &CaptureRecord::BufValue2,
                                                                   &CaptureRecord::BufValue3};
        const std::array<const std::array<double, 1025>*, 3> raws{&CaptureRecord::BufRaw1, &CaptureRecord::BufRaw2,
                                                                 &CaptureRecord::BufRaw3};
        int mismatches = 0;
        for (int b = 0; b < 3; ++b) {
            const int bufferAddr = sim::reg::CAPT_BUF1 + 2 * b;
            for (int i = 0; i < 1024; ++i) {
                // Pointer written (high byte, low byte) right before every sample, then the read.
                mismatches += f[k++].mosi != Write(sim::reg::CAPT_PNTR + 1, i >> 8);
                mismatches += f[k++].mosi != Write(sim::reg::CAPT_PNTR, i & 0xFF);
                mismatches += f[k++].mosi != Read(bufferAddr);
                mismatches += f[k].mosi != Read(bufferAddr);
                const int16_t raw = static_cast<int16_t>(f[k++].miso);
                mismatches += (*raws[b])[i] != raw;
                mismatches += (*values[b])[i] != double(float(raw) * bufferScale);
            }
        }
        QCOMPARE(mismatches, 0);
        QCOMPARE(Sensor().Peek(sim::reg::CAPT_PNTR), uint16_t(1023));
        // Then the plot reads CAPT_CTRL and the status is read.
        QCOMPARE(f[k].mosi, Read(sim::reg::CAPT_CTRL));
        QVERIFY(IndexOf(f, Read(sim::reg::STATUS), k) > long(k));
        QCOMPARE(CaptureRecord::BufValue2[1024], 0.0);
        QCOMPARE(CaptureRecord::BufRaw3[1024], 0.0);

        // Scalars: raw peaks in the record, scaled texts in the labels, plausible supply and temperature.
        QCOMPARE(CaptureRecord::CaptPeakX, double(peakX));
        QCOMPARE(w->LbLXpk->text(), BufferReadout::FormatReading(double(float(peakX) * bufferScale)));
        QVERIFY2(CaptureRecord::CaptSupply > 3.0 && CaptureRecord::CaptSupply < 3.6,
                 qPrintable(QString::number(CaptureRecord::CaptSupply)));
        QVERIFY2(CaptureRecord::CaptTemp > 10 && CaptureRecord::CaptTemp < 45,
                 qPrintable(QString::number(CaptureRecord::CaptTemp)));
        QCOMPARE(w->LbLSupply->text(), BufferReadout::FormatReading(CaptureRecord::CaptSupply));
        QCOMPARE(w->LbLTemp->text(), BufferReadout::FormatReading(CaptureRecord::CaptTemp));
    }

    void dataFileOnlyWhileLogging()
    {
        QTemporaryDir dir;
        DataLog::ResetState();
        DataLog::FileDir = dir.path() + "/";
        DataLog::FileBase = QStringLiteral("cap");
        DataLog::FileExt = QStringLiteral(".csv");
        auto files = [&] { return QDir(dir.path()).entryList(QDir::Files).size(); };

        w->ckDataLog->setChecked(false);
        w->ReadCaptureBuffer();
        QCOMPARE(files(), 0);
        w->ckDataLog->setChecked(true);
        w->ReadCaptureBuffer();
        QCOMPARE(files(), 1);
        w->ReadCaptureBuffer();
        QCOMPARE(files(), 2);
        w->ckDataLog->setChecked(false);
        w->ReadCaptureBuffer();
        QCOMPARE(files(), 2);
        DataLog::ResetState();
    }

    void eventCaptureReadByTheBusyPoll()
    {
        // Parallel port: the busy line is readable, so an event capture is read out by itself.
        Open(1);
        clock = std::make_unique<sim::ManualClock>();
        clock->Set(100.0);
        board->SetClock(clock->AsClock());
        SelectMode(2);
        SelectAvg(0);
        QVERIFY(!w->ckAutoReArm->isHidden());
        w->ckAutoReArm->setChecked(true);
        // DIO pin 2 as the capture trigger input, pin 1 the busy line (low while capturing).
        Sensor().Poke(sim::reg::DIO_CTRL, 0x2C);

        w->cmdONE->click();
        QCOMPARE(w->cmdONE->text(), QStringLiteral("DisArm"));
        QVERIFY(w->TimerPollBusy->isActive());
        w->TimerPollBusy->stop(); // polls are driven by hand below

        w->PollBusy(); // armed, idle: line high, nothing to do
        QVERIFY(w->txtDIOBusy->isHidden());
        QVERIFY(w->LbLPollingDIO->isHidden());

        Sensor().Model().DriveInput(1, false); // the event
        Sensor().ClearFrames();
        w->PollBusy();
        QVERIFY(!w->txtDIOBusy->isHidden());
        QCOMPARE(PointerWrites(Wire()), 0);

        clock->Advance(1.0); // capture done: the line goes high
        QStringList texts;
        connect(w->txtCapBusy, &QLineEdit::textChanged, w, [&](const QString& t) { texts << t; });
        w->TimerPollBusy->start();
        w->PollBusy();
        QCOMPARE(texts, (QStringList{"Capture Busy  0.3", "Capture Busy  0.2", "Capture Busy  0.1"}));
        QCOMPARE(PointerWrites(Wire()), 1 + 3 * 1024);
        QVERIFY(w->txtDIOBusy->isHidden());
        // Re-armed automatically: the poll runs again for the next event.
        QCOMPARE(w->cmdONE->text(), QStringLiteral("DisArm"));
        QVERIFY(Sensor().Model().Running());
        QVERIFY(w->TimerPollBusy->isActive());
        w->TimerPollBusy->stop();
    }

    // A normal and an extended capture as the user sees them; with SB_SCREENSHOT_DIR set the
    // window images are saved there (docs/capture-normal.png, docs/capture-extended.png).
    void captureWindows_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("lastIndex");
        QTest::addColumn<QString>("file");
        QTest::newRow("normal") << 0 << 1023 << "capture-normal.png";
        QTest::newRow("extended") << 4 << 3071 << "capture-extended.png";
    }
    void captureWindows()
    {
        QFETCH(int, mode);
        QFETCH(int, lastIndex);
        QFETCH(QString, file);
        w->resize(1360, 860);
        w->show();
        SelectMode(mode);
        SelectAvg(2);
        w->FrameDataPLot->ckADC0->setChecked(true);
        w->FrameDataPLot->ckADC1->setChecked(true);
        w->FrameDataPLot->cmdPlotScale->setText(QStringLiteral("7"));
        w->FrameDataPLot->cmdPlotScale->click(); // 3 g full scale
        w->cmdONE->click();
        QCOMPARE(w->FrameDataPLot->lblPlotX[3]->text(), QString::number(lastIndex));
        QVERIFY(w->FrameDataPLot->picture1->StrokeCount() >= 1);
        // Cursor over the plot's middle.
        PlotSurface* s = w->FrameDataPLot->picture1;
        const QPointF mid(s->width() / 2.0, s->height() / 3.0);
        QMouseEvent move(QEvent::MouseMove, mid, s->mapToGlobal(mid), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(s, &move);
        const int sample = w->FrameDataPLot->lblCursorX->text().toInt();
        QVERIFY(std::abs(sample - lastIndex / 2) <= lastIndex / 200 + 1);
        ui::PumpEvents();
        const QPixmap shot = w->grab();
        QVERIFY(!shot.isNull());
        const QString dir = qEnvironmentVariable("SB_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(QDir(dir).filePath(file)));
        w->hide();
    }

    void eventCaptureWithoutReArmStopsPolling()
    {
        Open(1);
        clock = std::make_unique<sim::ManualClock>();
        board->SetClock(clock->AsClock());
        SelectMode(2);
        SelectAvg(0);
        w->ckAutoReArm->setChecked(false);
        Sensor().Poke(sim::reg::DIO_CTRL, 0x2C);
        w->cmdONE->click();
        w->TimerPollBusy->stop();
        Sensor().Model().DriveInput(1, false);
        w->PollBusy();
        clock->Advance(1.0);
        w->TimerPollBusy->start();
        w->PollBusy();
        QVERIFY(!w->TimerPollBusy->isActive());
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Arm"));
        QVERIFY(!Sensor().Model().Running());
    }
};

SB_TEST_MAIN(TestCapture)
#include "tst_capture.moc"
