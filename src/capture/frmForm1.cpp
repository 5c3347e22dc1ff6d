#include "capture/frmForm1.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QVBoxLayout>
#include "capture/DataPlotWidget.h"

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

void frmForm1::destroyInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

frmForm1::frmForm1()
{
    setWindowTitle(QStringLiteral("Form1"));
    BuildMenus();
    BuildControls();
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
    connect(mnuUsb, &QAction::triggered, this, &frmForm1::mnuUsb_Click);
    connect(mnuAlarms, &QAction::triggered, this, &frmForm1::mnuAlarms_Click);
    connect(MnuCal, &QAction::triggered, this, &frmForm1::MnuCal_Click);
    connect(mnuCommand, &QAction::triggered, this, &frmForm1::mnuCommand_Click);
    connect(mnuDIOGPIO, &QAction::triggered, this, &frmForm1::mnuDIOGPIO_Click);
    connect(mnumsc, &QAction::triggered, this, &frmForm1::mnumsc_Click);
    connect(mnuDatalog, &QAction::triggered, this, &frmForm1::mnuDatalog_Click);
    connect(mnuRegisters, &QAction::triggered, this, &frmForm1::mnuRegisters_Click);
    connect(MnuExit, &QAction::triggered, this, &frmForm1::MnuExit_Click);
}

// Placeholder layout; the full window replaces it.
void frmForm1::BuildControls()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    FrameDataLog = new QGroupBox(QStringLiteral("Data Log"), central);
    auto* dl = new QHBoxLayout(FrameDataLog);
    ckDataLog = new QCheckBox(QStringLiteral("Data Log   OFF"), FrameDataLog);
    Label11 = new QLabel(QStringLiteral("File Count"), FrameDataLog);
    LbLDataLogCount = new QLabel(QStringLiteral("0"), FrameDataLog);
    dl->addWidget(ckDataLog);
    dl->addWidget(Label11);
    dl->addWidget(LbLDataLogCount);
    fraAvg = new QGroupBox(QStringLiteral("AVG_CNT"), central);
    auto* al = new QHBoxLayout(fraAvg);
    ComboAVG = new QComboBox(fraAvg);
    al->addWidget(ComboAVG);
    FrameDataPLot = new DataPlotWidget(central);
    layout->addWidget(fraAvg);
    layout->addWidget(FrameDataLog);
    layout->addWidget(FrameDataPLot, 1);
    setCentralWidget(central);
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


void frmForm1::closeEvent(QCloseEvent* e)
{
    if (!exiting_)
        MnuExit_Click();
    e->accept();
}
