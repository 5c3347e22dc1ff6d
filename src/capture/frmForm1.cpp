#include "capture/frmForm1.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QCloseEvent>
#include <QMenuBar>

namespace {
frmForm1* g_instance = nullptr;
}

frmForm1* frmForm1::instance()
{
    if (!g_instance)
        g_instance = new frmForm1;
    return g_instance;
}

bool frmForm1::exists() { return g_instance != nullptr; }

frmForm1::frmForm1()
{
    setWindowTitle(QStringLiteral("Form1"));
    BuildMenus();
    Form_Load();
}

void frmForm1::BuildMenus()
{
    QMenuBar* bar = menuBar();
    mnuInterface = bar->addMenu(QStringLiteral("&Interface"));
    mnuUsb = mnuInterface->addAction(QStringLiteral("&Usb"));
    mnuUsb->setCheckable(true);

    mnuProductNumber = bar->addMenu(QStringLiteral("&Product"));
    mnu31470 = mnuProductNumber->addAction(QStringLiteral("3147&0 single axis"));
    mnu31473 = mnuProductNumber->addAction(QStringLiteral("3147&3 Tri axis"));
    mnu31470->setCheckable(true);
    mnu31473->setCheckable(true);
    connect(mnu31470, &QAction::triggered, this, [this] { SetProductNumber(31470); });
    connect(mnu31473, &QAction::triggered, this, [this] { SetProductNumber(31473); });

    mnuDeviceConfiguration = bar->addMenu(QStringLiteral("&Configuration"));
    mnuAlarms = mnuDeviceConfiguration->addAction(QStringLiteral("&ALARMS"));
    MnuCal = mnuDeviceConfiguration->addAction(QStringLiteral("Ca&libration"));
    mnuCommand = mnuDeviceConfiguration->addAction(QStringLiteral("C&OMMAND"));
    mnuDIOGPIO = mnuDeviceConfiguration->addAction(QStringLiteral("&DIO_CTRL / GPIO_CTRL"));
    mnumsc = mnuDeviceConfiguration->addAction(QStringLiteral("&MSC_CTRL"));

    mnuDatalog = bar->addAction(QStringLiteral("&Datalog"));
    mnuRegisters = bar->addAction(QStringLiteral("&Registers"));
    MnuExit = bar->addAction(QStringLiteral("E&xit"));
    connect(MnuExit, &QAction::triggered, this, &frmForm1::MnuExit_Click);
}

void frmForm1::Form_Load()
{
    setWindowTitle(Module1::MainWindowCaption());
    SetProductNumber(31473);
}

void frmForm1::SetProductNumber(int16_t number)
{
    Module1::ProductNumber = number;
    mnu31470->setChecked(false);
    mnu31473->setChecked(false);
    if (number == 31470) {
        mnu31470->setChecked(true);
        BuildTable31470();
    } else if (number == 31473) {
        mnu31473->setChecked(true);
        BuildTable31473();
    }
}

void frmForm1::MnuExit_Click()
{
    exiting_ = true;
    Module1::WriteSettings();
    hide();
    ui::EndProgram();
}

void frmForm1::closeEvent(QCloseEvent* e)
{
    if (!exiting_)
        MnuExit_Click();
    e->accept();
}
