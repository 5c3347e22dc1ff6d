#include "config/ui/frmCommand.h"
#include "config/ConfigConversions.h"
#include "config/ConfigDelay.h"
#include "config/ui/GuiActivation.h"
#include "config/ui/fmCalibration.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "ui/Ui.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPointer<frmCommand> g_instance;
}

frmCommand* frmCommand::instance()
{
    if (!g_instance)
        g_instance = new frmCommand(ui::MainWindowOrNull());
    return g_instance;
}

frmCommand::frmCommand(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmCommand"));
    setWindowTitle(QStringLiteral("Command Register"));
    auto* layout = new QVBoxLayout(this);
    auto button = [this, layout](const char* caption, void (frmCommand::*handler)()) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setMinimumHeight(ui::TwipsToPixelsY(495));
        layout->addWidget(b);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    cmdOrgFactory = button("Reset Org. Factory", &frmCommand::cmdOrgFactory_Click);
    cmdReset = button("Software Reset", &frmCommand::cmdReset_Click);
    cmdNull = button("Auto-Null", &frmCommand::cmdNull_Click);
    cmdPowerDown = button("Power-Down", &frmCommand::cmdPowerDown_Click);
    cmdFlashTest = button("Flash Test", &frmCommand::cmdFlashTest_Click);
    cmdSelfTest = button("Self-Test", &frmCommand::cmdSelfTest_Click);
    cmdClearBuff = button("Clear capture buffers (SRAM)", &frmCommand::cmdClearBuff_Click);
    cmdCapStart = button("Capture start/stop", &frmCommand::cmdCapStart_Click);
    cmdWriteCap = button("Backup capture data and settings", &frmCommand::cmdWriteCap_Click);
    cmdReadCap = button("Restore capture data and settings", &frmCommand::cmdReadCap_Click);

    LbLBusy = new QLabel(QStringLiteral("Writting"), this);
    LbLBusy->setAlignment(Qt::AlignCenter);
    LbLBusy->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    QSizePolicy keep = LbLBusy->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    LbLBusy->setSizePolicy(keep);
    LbLBusy->hide();
    layout->addWidget(LbLBusy);
    layout->addStretch(1);

    // Tab order runs bottom to top.
    QWidget::setTabOrder(cmdReadCap, cmdWriteCap);
    QWidget::setTabOrder(cmdWriteCap, cmdCapStart);
    QWidget::setTabOrder(cmdCapStart, cmdClearBuff);
    QWidget::setTabOrder(cmdClearBuff, cmdSelfTest);
    QWidget::setTabOrder(cmdSelfTest, cmdFlashTest);
    QWidget::setTabOrder(cmdFlashTest, cmdPowerDown);
    QWidget::setTabOrder(cmdPowerDown, cmdNull);
    QWidget::setTabOrder(cmdNull, cmdReset);
    QWidget::setTabOrder(cmdReset, cmdOrgFactory);

    resize(ui::TwipsToPixelsX(2730), ui::TwipsToPixelsY(7620));
    // Placed once, when the window is created.
    ui::PlaceRelativeTo(this, ui::MainWindowOrNull(), 3300, 600);
}

void frmCommand::ShowBusy(float bTime)
{
    LbLBusy->show();
    ui::PumpEvents();
    cfg::WaitMs(bTime);
    LbLBusy->hide();
    ui::PumpEvents();
}

void frmCommand::SendCommand(int32_t value, float busyMs)
{
    WriteRegister(m470Reg::Table().idxCOMMAND, value);
    ShowBusy(busyMs);
}

void frmCommand::cmdNull_Click()
{
    if (!fmCalibration::ConfirmAutoNull())
        return;
    SendCommand(cfg::kCmdAutoNull, 700);
    // The only button that reads: the user is told which nulls the sensor now holds.
    fmCalibration::ReportAutoNull(fmCalibration::ReadNulls());
}
void frmCommand::cmdPowerDown_Click() { SendCommand(cfg::kCmdPowerDown, 51); }
void frmCommand::cmdSelfTest_Click() { SendCommand(cfg::kCmdSelfTest, 51); }
void frmCommand::cmdOrgFactory_Click()
{
    // One click would replace the sensor's calibration and every setting it holds.
    if (ui::MessageBox(QStringLiteral("Reset the sensor to its original factory settings?\n\nIts calibration, "
                                      "alarms and all other settings are replaced by the factory values."),
                       MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return;
    SendCommand(cfg::kCmdFactoryReset, 152);
}
void frmCommand::cmdFlashTest_Click() { SendCommand(cfg::kCmdFlashTest, 152); }
void frmCommand::cmdReset_Click() { SendCommand(cfg::kCmdSoftwareReset, 51); }
void frmCommand::cmdClearBuff_Click() { SendCommand(cfg::kCmdClearBuffers, 51); }
void frmCommand::cmdCapStart_Click() { SendCommand(cfg::kCmdCaptureStartStop, 51); }
void frmCommand::cmdWriteCap_Click() { SendCommand(cfg::kCmdFlashBackup, 51); }
void frmCommand::cmdReadCap_Click() { SendCommand(cfg::kCmdFlashRestore, 51); }
