#include "shell/ui/GuiMain.h"
#include "capture/ui/frmForm1.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include "shell/ui/frmMsg.h"
#include "ui/Ui.h"

#include <QPlainTextEdit>

void Main()
{
    frmMsg* msg = frmMsg::instance();
    msg->show();
    msg->txtMsg->setPlainText(QStringLiteral("\r\nLOADING...\r\n\r\nSetting up Delay function"));
    msg->repaint();
    ui::PumpEvents();

    DelayState::DelayCalibrated = VFalse;
    CalibrateDelay();

    Module1::LoadStateAndTables();

    msg->txtMsg->setPlainText(QStringLiteral(" "));
    msg->hide();

    frmForm1::instance()->show();
}
