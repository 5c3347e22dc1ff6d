#include "capture/ui/frmForm1.h"
#include "analysis/ui/GuiAnalysis.h"
#include "capture/BufferReadout.h"
#include "capture/CaptureRecord.h"
#include "capture/ui/DataPlotWidget.h"
#include "datalog/DataFile.h"
#include "datalog/DataFileReader.h"
#include "registers/m470Reg.h"
#include "config/ui/fmCalibration.h"
#include "config/ui/frmAlarms.h"
#include "config/ui/frmCommand.h"
#include "config/ui/frmDIOGPIO.h"
#include "config/ui/frmMisc.h"
#include "datalog/ui/frmFileDir.h"
#include "device/EzUsb.h"
#include "device/ui/frmPort.h"
#include "device/ui/frmUSBselect.h"
#include "registers/ui/frmManualReg.h"
#include "shell/Module1.h"
#include "capture/CaptureSettings.h"
#include "ui/Ui.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>

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
    // The grid shows the sensor behind the card now picked ("unknown" without one), not the last.
    ReadStatus();
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

namespace {
// Product and capture mode of a data file, preset to the window's own.
std::optional<frmForm1::FileContext> AskFileContext(QWidget* parent, const QString& path,
                                                    const frmForm1::FileContext& preset)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Open Data File"));
    auto* product = new QComboBox(&dialog);
    product->addItems({QStringLiteral("31470"), QStringLiteral("31473")});
    product->setCurrentIndex(preset.product == 31470 ? 0 : 1);
    auto* mode = new QComboBox(&dialog);
    auto fillModes = [mode, product](int keep) {
        mode->clear();
        mode->addItems(CaptureSettings::CaptureModeItems(product->currentText().toInt()));
        mode->setCurrentIndex(keep < mode->count() ? keep : 0);
    };
    fillModes(preset.modeIndex);
    QObject::connect(product, &QComboBox::currentIndexChanged, mode, [=] { fillModes(mode->currentIndex()); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(new QLabel(QStringLiteral("A data file does not say which sensor wrote it.\n%1 was written by:")
                                .arg(QFileInfo(path).fileName())));
    form->addRow(QStringLiteral("Product"), product);
    form->addRow(QStringLiteral("Capture mode"), mode);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return frmForm1::FileContext{product->currentText().toInt(), mode->currentIndex()};
}
} // namespace

void frmForm1::mnuOpenDataFile_Click()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Data File"), DataLog::FileDir,
                                                      QStringLiteral("Data files (*.csv *.CSV *.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    const FileContext preset{Module1::ProductNumber == 31470 ? 31470 : 31473, std::max(0, ComboCapMode->currentIndex())};
    const std::optional<FileContext> context =
        askFileContext ? askFileContext(path, preset) : AskFileContext(this, path, preset);
    if (context)
        OpenDataFile(path, context->product, context->modeIndex);
}

bool frmForm1::OpenDataFile(const QString& path, int product, int modeIndex)
{
    CaptureRecord::Record record;
    const DataLog::ReadResult r = DataLog::ReadDataFile(path, product, modeIndex, record);
    if (!r.ok) {
        ui::MessageBox(r.error, MsgIcon::Exclamation);
        return false;
    }
    // Nothing of the sensor is touched and nothing is logged.
    CaptureRecord::Last = record;
    ShowStoredCapture(QStringLiteral("%1 as %2, %3")
                          .arg(QFileInfo(path).fileName())
                          .arg(record.product)
                          .arg(CaptureSettings::CaptureModeItems(record.product).value(modeIndex)));
    return true;
}

void frmForm1::ShowStoredCapture(const QString& source)
{
    ShowScalarTexts(BufferReadout::TextsOf(CaptureRecord::Last));
    shownSource_ = source;
    shownTime_ = CaptureRecord::Last.time;
    FrameDataPLot->PlotCaptureData();
    GuiAnalysis::Refresh(this);
    UpdateStatusBar();
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
