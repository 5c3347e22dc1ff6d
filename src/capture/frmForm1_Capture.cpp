// Capture button, capture count-down, busy-line poll and buffer read-out of the main window.
#include "analysis/GuiAnalysis.h"
#include "capture/BufferReadout.h"
#include "capture/CaptureSettings.h"
#include "capture/DataPlotWidget.h"
#include "capture/frmForm1.h"
#include "config/ConfigConversions.h"
#include "datalog/frmFileDir.h"
#include "device/PortIo.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QCheckBox>
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
    using m470Reg::idxCOMMAND;
    const QString caption = cmdONE->text();
    if (caption == kAbort) {
        WriteRegister(idxCOMMAND, 0);
        TimerCapDuration->stop();
        txtCapBusy->hide();
        if (CaptureModeName == QLatin1String("MANUAL"))
            cmdONE->setText(kTrigger);
        else if (CaptureModeName == QLatin1String("EVENT"))
            cmdONE->setText(kArm);
        ReadStatus();
        ui::PumpEvents();
    } else if (caption == kStop) {
        WriteRegister(idxCOMMAND, kCaptureBit);
        cmdONE->setText(kStart);
        ReadStatus();
        ui::PumpEvents();
    } else if (caption == kDisArm) {
        WriteRegister(idxCOMMAND, kCaptureBit);
        ReadStatus();
        cmdONE->setText(kArm);
        TimerPollBusy->stop();
        txtDIOBusy->hide();
        ui::PumpEvents();
    } else if (caption == kTrigger) {
        ClearStatus();
        WriteRegister(idxCOMMAND, kCaptureBit);
        DisplayCapInProgress(1);
    } else if (caption == kStart) {
        ClearStatus();
        WriteRegister(idxCOMMAND, kCaptureBit);
        cmdONE->setText(kStop);
        Delay(100.0f);
    } else if (caption == kArm) {
        ClearStatus();
        WriteRegister(idxCOMMAND, kCaptureBit);
        cmdONE->setText(kDisArm);
        txtDIOBusy->hide();
        // Only the parallel port carries the busy line; with the USB card the user presses "Read".
        if (Module1::InterfaceType == 1) {
            PreviousBusyLevel.reset();
            TimerPollBusy->start();
        }
    } else {
        ui::MessageBox(QStringLiteral("unknown cmdOne_click action"));
    }
}

void frmForm1::DisplayCapInProgress(int16_t&)
{
    SavedButtonCaption = cmdONE->text();
    cmdONE->setText(kAbort);
    ui::PumpEvents();

    double t = LeadingNumber(LbLCapDuration->text()) * 1.1;
    txtCapBusy->setText(CaptureSettings::CapBusyText(t));
    txtCapBusy->show();
    bool aborted = false;
    do {
        txtCapBusy->setText(CaptureSettings::CapBusyText(t));
        ui::PumpEvents();
        DelayA(100);
        t = t - 0.1;
        // Abort, or a register read that changed the mode, changes the caption.
        if (cmdONE->text() != kAbort) {
            aborted = true;
            break;
        }
    } while (t > 0);

    TimerCapDuration->stop();
    Delay(100.0f);
    txtCapBusy->hide();
    cmdONE->setText(SavedButtonCaption);

    if (aborted)
        return;
    cmdONE->setEnabled(false);
    ReadStatus();
    ui::PumpEvents();
    ReadCaptureBuffer();
    cmdONE->setEnabled(true);
    if (!ckAutoReArm->isHidden() && ckAutoReArm->isChecked()) {
        cmdONE_Click();
        ui::PumpEvents();
    }
}

void frmForm1::PollBusy()
{
    LbLPollingDIO->show();
    ui::PumpEvents();
    Delay(10.0f);

    int level = 0;
    if (PortIo* io = CurrentPortIo())
        level = (io->In(static_cast<uint16_t>(Module1::PortAddress + 1)) & 32) / 32;
    int edge = 0;
    // No level seen yet since arming counts as no edge.
    if (level == 1 && PreviousBusyLevel.has_value() && *PreviousBusyLevel == 0) {
        edge = 1;
        TimerPollBusy->stop();
        ui::PumpEvents();
    }
    if (ComboCapMode->currentIndex() == 2 && edge == 1) {
        cmdONE->setText(kArm);
        DisplayCapInProgress(1);
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

void frmForm1::ReadCaptureBuffer()
{
    ui::SetHourglass(true);
    FrameDataPLot->LbLReadingBuffer->show();
    FrameDataPLot->ClearPlot();
    ui::PumpEvents();

    // The read-out blocks: no events between the first and the last sample.
    const BufferReadout::ScalarTexts texts = BufferReadout::ReadCaptureRecord();
    LbLSupply->setText(texts.supply);
    LbLTemp->setText(texts.temp);
    LbLXpk->setText(texts.peakX);
    LbLADC0->setText(texts.peakY);
    LbLADC1->setText(texts.peakZ);

    ui::SetHourglass(false);
    FrameDataPLot->LbLReadingBuffer->hide();
    PlotCaptureData();
    if (ckDataLog->isChecked())
        frmFileDir::instance()->WriteDataFile();
    ReadStatus();
    GuiAnalysis::Refresh(this);
    ui::PumpEvents();
}

void frmForm1::PlotCaptureData() { FrameDataPLot->PlotCaptureData(); }
