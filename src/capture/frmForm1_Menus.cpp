#include "capture/frmForm1.h"
#include "datalog/frmFileDir.h"
#include "device/EzUsb.h"
#include "device/frmPort.h"
#include "device/frmUSBselect.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

namespace {
// Windows not built yet say so instead of doing nothing.
void NotBuiltYet(const QString& name)
{
    ui::MessageBox(QStringLiteral("The %1 window is not available in this build yet.").arg(name),
                   MsgIcon::Information);
}
} // namespace

void frmForm1::mnuUsb_Click()
{
    ui::ShowModal(frmUSBselect::instance());
    if (EzUsb::SelectedUsbCard.Valid == VTrue) {
        Module1::InterfaceType = 2;
        mnuUsb->setChecked(true);
    } else {
        Module1::InterfaceType = 0;
        mnuUsb->setChecked(false);
    }
}
void frmForm1::mnuAlarms_Click() { NotBuiltYet(QStringLiteral("Alarms")); }
void frmForm1::MnuCal_Click() { NotBuiltYet(QStringLiteral("Calibration")); }
void frmForm1::mnuCommand_Click() { NotBuiltYet(QStringLiteral("Command Register")); }
void frmForm1::mnuDIOGPIO_Click() { NotBuiltYet(QStringLiteral("GPIO_Ctrl   DIO_Ctrl")); }
void frmForm1::mnumsc_Click() { NotBuiltYet(QStringLiteral("MSC_CTRL")); }
void frmForm1::mnuDatalog_Click() { ui::ShowModal(frmFileDir::instance()); }
void frmForm1::mnuRegisters_Click() { NotBuiltYet(QStringLiteral("Registers")); }
void frmForm1::mnuParallelPort_Click()
{
    // A port chosen in the port window replaces the USB card.
    if (frmPort::SelectPort())
        mnuUsb->setChecked(false);
}

void frmForm1::MnuExit_Click()
{
    exiting_ = true;
    Module1::WriteSettings();
    hide();
    ui::EndProgram();
}
