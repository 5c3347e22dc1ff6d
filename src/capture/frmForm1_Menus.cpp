#include "capture/frmForm1.h"
#include "analysis/GuiAnalysis.h"
#include "capture/BufferReadout.h"
#include "capture/CaptureRecord.h"
#include "capture/DataPlotWidget.h"
#include "datalog/DataFile.h"
#include "datalog/DataFileReader.h"
#include "registers/m470Reg.h"
#include "config/fmCalibration.h"
#include "config/frmAlarms.h"
#include "config/frmCommand.h"
#include "config/frmDIOGPIO.h"
#include "config/frmMisc.h"
#include "datalog/frmFileDir.h"
#include "device/EzUsb.h"
#include "device/frmPort.h"
#include "device/frmUSBselect.h"
#include "registers/frmManualReg.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <array>

namespace {
// Configuration windows that stay open beside the main window.
void ShowModeless(QWidget* w)
{
    ui::CloseOnEscape(w);
    w->show();
    w->raise();
    w->activateWindow();
}
} // namespace

void frmForm1::mnuUsb_Click()
{
    ui::ShowModal(frmUSBselect::instance());
    if (EzUsb::SelectedUsbCard.Valid == VTrue) {
        Module1::InterfaceType = kInterfaceUsb;
        mnuUsb->setChecked(true);
    } else {
        Module1::InterfaceType = kInterfaceNone;
        mnuUsb->setChecked(false);
    }
}
void frmForm1::mnuAlarms_Click() { ui::ShowModal(frmAlarms::instance()); }
void frmForm1::MnuCal_Click() { ui::ShowModal(fmCalibration::instance()); }
void frmForm1::mnuCommand_Click() { ShowModeless(frmCommand::instance()); }
void frmForm1::mnuDIOGPIO_Click() { ShowModeless(frmDIOGPIO::instance()); }
void frmForm1::mnumsc_Click() { ShowModeless(frmMisc::instance()); }
void frmForm1::mnuDatalog_Click() { ui::ShowModal(frmFileDir::instance()); }
void frmForm1::mnuRegisters_Click() { ui::ShowModal(frmManualReg::instance()); }
void frmForm1::mnuParallelPort_Click()
{
    // A port chosen in the port window replaces the USB card.
    if (frmPort::SelectPort())
        mnuUsb->setChecked(false);
}

void frmForm1::mnuOpenDataFile_Click()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Data File"), DataLog::FileDir,
                                                      QStringLiteral("Data files (*.csv *.CSV *.txt);;All files (*)"));
    if (!path.isEmpty())
        OpenDataFile(path);
}

bool frmForm1::OpenDataFile(const QString& path)
{
    CaptureRecord::Record record;
    const DataLog::ReadResult r = DataLog::ReadDataFile(path, Module1::ProductNumber, 0, record);
    if (!r.ok) {
        ui::MessageBox(r.error, MsgIcon::Exclamation);
        return false;
    }
    // Shown as a normal-mode capture; nothing of the sensor is touched and nothing is logged.
    CaptureRecord::Last = record;
    ShowScalarTexts(BufferReadout::TextsOf(record));
    openedFile_ = QFileInfo(path).fileName();
    openedTime_ = record.time;
    FrameDataPLot->PlotCaptureData();
    GuiAnalysis::Refresh(this);
    UpdateStatusBar();
    return true;
}

void frmForm1::MnuExit_Click()
{
    // A capture under way would be lost without a word.
    if (CaptureInProgress() &&
        ui::MessageBox(QStringLiteral("A capture is in progress. Exit anyway?"), MsgIcon::Question,
                       MsgButtons::YesNo) != MsgResult::Yes)
        return;
    exiting_ = true;
    SaveRememberedSettings();
    QString error;
    if (!Module1::WriteSettings(kSettingsFileName, &error))
        ui::MessageBox(QStringLiteral("The settings could not be written:\n%1\n\n%2")
                           .arg(QFileInfo(kSettingsFileName).absoluteFilePath(), error),
                       MsgIcon::Exclamation);
    hide();
    ui::EndProgram();
}
