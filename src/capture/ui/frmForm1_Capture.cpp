// Capture button, capture count-down, busy-line poll and buffer read-out of the main window.
#include "analysis/ui/GuiAnalysis.h"
#include "capture/BufferReadout.h"
#include "capture/CaptureSettings.h"
#include "capture/CaptureWorkflow.h"
#include "capture/ui/DataPlotWidget.h"
#include "capture/ui/frmForm1.h"
#include "device/ParallelPort.h"
#include "device/SpiTransport.h"
#include <QElapsedTimer>
#include <chrono>
#include "config/ConfigConversions.h"
#include "datalog/ui/frmFileDir.h"
#include "device/PortIo.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

namespace {
const QString kTrigger = QStringLiteral("Trigger");
const QString kStart = QStringLiteral("Start");
const QString kStop = QStringLiteral("Stop");
const QString kArm = QStringLiteral("Arm");
const QString kDisArm = QStringLiteral("DisArm");
const QString kAbort = QStringLiteral("Abort");
constexpr int32_t kCaptureBit = cfg::kCmdCaptureStartStop;

} // namespace

void frmForm1::cmdONE_Click()
{
    const QString caption = cmdONE->text();
    if (caption == kAbort) {
        WriteRegister(m470Reg::Table().idxCOMMAND, 0);
        TimerCapDuration->stop();
        txtCapBusy->hide();
        if (CaptureModeName == QLatin1String("MANUAL"))
            cmdONE->setText(kTrigger);
        else if (CaptureModeName == QLatin1String("EVENT"))
            cmdONE->setText(kArm);
        ReadStatus();
        ui::PumpEvents();
    } else if (caption == kStop) {
        WriteRegister(m470Reg::Table().idxCOMMAND, kCaptureBit);
        cmdONE->setText(kStart);
        ReadStatus();
        ui::PumpEvents();
    } else if (caption == kDisArm) {
        WriteRegister(m470Reg::Table().idxCOMMAND, kCaptureBit);
        ReadStatus();
        cmdONE->setText(kArm);
        TimerPollBusy->stop();
        txtDIOBusy->hide();
        ui::PumpEvents();
    } else if (caption == kTrigger) {
        capture::Trigger(ProgramSession(), CaptureWaitHooks());
        DisplayCapInProgress();
    } else if (caption == kStart) {
        capture::Trigger(ProgramSession(), CaptureWaitHooks());
        cmdONE->setText(kStop);
        Delay(100.0f);
    } else if (caption == kArm) {
        capture::Trigger(ProgramSession(), CaptureWaitHooks());
        cmdONE->setText(kDisArm);
        txtDIOBusy->hide();
        // Only the parallel port carries the busy line; with the USB card the user presses "Read".
        if (Module1::InterfaceType == kInterfaceParallel) {
            PreviousBusyLevel.reset();
            TimerPollBusy->start();
        }
    } else {
        ui::MessageBox(QStringLiteral("unknown cmdOne_click action"));
    }
    UpdateAutoReadout();
}

bool frmForm1::AutoReadoutOn() const
{
    const QString caption = cmdONE->text();
    return ckAutoReadout->isVisibleTo(this) && ckAutoReadout->isChecked() && (caption == kStop || caption == kDisArm);
}

void frmForm1::UpdateAutoReadout()
{
    if (!AutoReadoutOn()) {
        TimerAutoReadout->stop();
        return;
    }
    TimerAutoReadout->setInterval(capture::PollIntervalMs(CaptureSecondsShown()));
    if (!TimerAutoReadout->isActive())
        TimerAutoReadout->start();
}

void frmForm1::AutoReadoutTick()
{
    // The busy-line poll reads event captures by itself; a read-out under way is not interrupted.
    if (reading_ || TimerPollBusy->isActive() || cmdONE->text() == kAbort)
        return;
    const std::optional<int32_t> status = capture::ReadStatusWord(ProgramSession());
    if (!status) {
        ShowStatusWord(status);
        ckAutoReadout->setChecked(false);
        ui::MessageBox(QStringLiteral("Auto read-out stopped: no interface answers."), MsgIcon::Exclamation);
        return;
    }
    if (!(*status & capture::kDataReadyBit))
        return;
    // In automatic mode the interval tells how many captures finished since the last one seen:
    // all but the newest were overwritten unread.
    const double now = autoReadoutClock ? autoReadoutClock()
                                        : std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    const double interval = CaptureModeName == QLatin1String("TIMER") && LastCaptPrd >= 0
                                ? capture::IntervalSeconds(LastCaptPrd).value_or(0)
                                : 0.0;
    const capture::ReadOutResult r = ReadAndShowCapture([](int avg) { return capture::ReadReadyCapture(ProgramSession(), avg); }, status);
    if (!r.complete && !r.overrun) {
        ckAutoReadout->setChecked(false);
        return;
    }
    AutoReadCount.Seen(now, interval, r.complete);
    LbLCapturesRead->setText(AutoReadCount.Text());
    UpdateStatusBar();
    if (r.overrun) {
        ShowNote(QStringLiteral("A newer capture finished during the read-out: it is read next."));
        return;
    }
    // An event capture disarms the sensor: the button offers "Arm" again, or re-arms by itself.
    if (CaptureModeName == QLatin1String("EVENT") && cmdONE->text() == kDisArm) {
        cmdONE->setText(kArm);
        if (!ckAutoReArm->isHidden() && ckAutoReArm->isChecked())
            cmdONE_Click();
        UpdateAutoReadout();
    }
}

bool frmForm1::CaptureInProgress() const
{
    return reading_ || cmdONE->text() == kAbort || TimerCapDuration->isActive();
}

capture::WaitHooks frmForm1::CaptureWaitHooks()
{
    capture::WaitHooks hooks;
    hooks.showCountDown = [this](double t) {
        txtCapBusy->setText(CaptureSettings::CapBusyText(t));
        txtCapBusy->show();
        ui::PumpEvents();
    };
    hooks.pause = [this](int ms) { DelayA(ms); };
    // Abort, or a register read that changed the mode, changes the caption.
    hooks.aborted = [this] { return cmdONE->text() != kAbort; };
    hooks.readStatus = [this]() -> std::optional<int32_t> { return ReadStatus(); };
    return hooks;
}

void frmForm1::DisplayCapInProgress()
{
    SavedButtonCaption = cmdONE->text();
    cmdONE->setText(kAbort);
    ui::PumpEvents();

    const double seconds = CaptureSecondsShown();
    const capture::WaitHooks hooks = CaptureWaitHooks();
    const bool aborted = !capture::CountDown(seconds, hooks);

    TimerCapDuration->stop();
    Delay(100.0f);
    if (aborted) {
        txtCapBusy->hide();
        cmdONE->setText(SavedButtonCaption);
        return;
    }
    // A capture that is late (the count-down came from a stale duration, or the sensor is slow) is
    // waited for on the status register, never read out half-done. The caption stays "Abort" meanwhile.
    cmdONE->setEnabled(false);
    capture::WaitHooks late = hooks;
    late.aborted = nullptr; // the button is disabled meanwhile
    const capture::WaitOutcome ready = capture::AwaitDataReady(ProgramSession(), capture::LateCaptureBound(seconds), late);
    txtCapBusy->hide();
    cmdONE->setText(SavedButtonCaption);
    ui::PumpEvents();
    if (ready == capture::WaitOutcome::Finished)
        ReadCaptureBuffer();
    else
        ShowCaptureLost(capture::WaitLossReason(ProgramSession(), ready));
    cmdONE->setEnabled(true);
    if (ready == capture::WaitOutcome::Finished && !ckAutoReArm->isHidden() && ckAutoReArm->isChecked()) {
        cmdONE_Click();
        ui::PumpEvents();
    }
}

void frmForm1::PollBusy()
{
    LbLPollingDIO->show();
    ui::PumpEvents();
    Delay(10.0f);

    SpiTransport* link = ProgramSession().Transport();
    const int level = link ? link->BusyLine().value_or(0) : 0;
    int edge = 0;
    // No level seen yet since arming counts as no edge.
    if (level == 1 && PreviousBusyLevel.has_value() && *PreviousBusyLevel == 0) {
        edge = 1;
        TimerPollBusy->stop();
        ui::PumpEvents();
    }
    if (ComboCapMode->currentIndex() == 2 && edge == 1) {
        cmdONE->setText(kArm);
        DisplayCapInProgress();
    }
    if (level == 1)
        txtDIOBusy->hide();
    if (level == 0) {
        txtDIOBusy->setStyleSheet(QStringLiteral("background-color: white;"));
        txtDIOBusy->show();
        ui::PumpEvents();
    }
    PreviousBusyLevel = level;
    LbLPollingDIO->hide();
    ui::PumpEvents();
}

void frmForm1::ReadCaptureBuffer() { ReadAndShowCapture([](int avg) { return capture::ReadOut(ProgramSession(), avg); }, std::nullopt); }

capture::ReadOutResult frmForm1::ReadAndShowCapture(const std::function<capture::ReadOutResult(int)>& readOut,
                                                    const std::optional<int32_t>& polled)
{
    reading_ = true;
    ui::SetHourglass(true);
    // The last complete capture stays on the plot until this one is whole.
    FrameDataPLot->LbLReadingBuffer->show();
    ui::PumpEvents();

    // The read-out blocks: no events between the first and the last sample.
    const int avg = ComboAVG->currentIndex() >= 0 ? ComboAVG->currentIndex() : LastAvgExponent;
    QElapsedTimer timed;
    timed.start();
    const capture::ReadOutResult r = readOut(avg);
    if (r.complete) {
        readOutSeconds_ = timed.nsecsElapsed() / 1e9;
        UpdateIntervalWarning();
    }
    if (r.complete)
        ShowScalarTexts(r.texts);

    ui::SetHourglass(false);
    FrameDataPLot->LbLReadingBuffer->hide();
    // A lost read-out puts the previous capture back on the plot: its samples are still the record.
    PlotCaptureData();
    if (r.complete && ckDataLog->isChecked()) {
        SetDataLogCountBackground(QColor(255, 255, 0));
        const DataLog::WriteResult written = DataLog::WriteNextDataFile(CaptureRecord::Last);
        frmFileDir::NoteWritten(written);
        ShowDataFileResult(written);
    }
    // An automatic read-out cleared the status to see the next capture: the grid shows the word
    // that came with this one.
    if (polled)
        ShowStatusWord(polled);
    else
        ReadStatus();
    if (r.complete)
        GuiAnalysis::Refresh(this);
    else if (!r.overrun)
        ShowCaptureLost(r.reason);
    ui::PumpEvents();
    reading_ = false;
    return r;
}

void frmForm1::ShowScalarTexts(const BufferReadout::ScalarTexts& t)
{
    LbLSupply->setText(t.supply);
    LbLTemp->setText(t.temp);
    LbLXpk->setText(t.peakX);
    LbLADC0->setText(t.peakY);
    LbLADC1->setText(t.peakZ);
}

void frmForm1::SetDataLogCountBackground(const QColor& colour)
{
    QPalette pal = LbLDataLogCount->palette();
    pal.setColor(QPalette::Window, colour);
    LbLDataLogCount->setPalette(pal);
    LbLDataLogCount->setAutoFillBackground(true);
    ui::PumpEvents();
}

void frmForm1::ShowDataFileResult(const DataLog::WriteResult& result)
{
    if (result.ok)
        LbLDataLogCount->setText(QString::number(result.number));
    if (!result.seriesKept.isEmpty())
        ShowNote(DataLog::SeriesKeptNote(result));
    SetDataLogCountBackground(QColor(255, 255, 255));
    if (!result.ok)
        ui::MessageBox(DataLog::WriteFailureMessage(result), MsgIcon::Exclamation);
}

void frmForm1::ShowCaptureLost(const QString& reason)
{
    ui::MessageBox(capture::LostCaptureMessage(reason), MsgIcon::Exclamation);
}

void frmForm1::PlotCaptureData() { FrameDataPLot->PlotCaptureData(); }
