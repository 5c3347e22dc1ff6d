#include "config/ui/frmMisc.h"
#include "config/ConfigConversions.h"
#include "config/ConfigDelay.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "ui/Ui.h"

#include <QGroupBox>
#include <QPointer>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace m470Reg;

namespace {
QPointer<frmMisc> g_instance;
}

frmMisc* frmMisc::instance()
{
    if (!g_instance)
        g_instance = new frmMisc(ui::MainWindowOrNull());
    return g_instance;
}

frmMisc::frmMisc(QWidget* parent)
    : ActivatingWindow(parent)
{
    setObjectName(QStringLiteral("frmMisc"));
    setWindowTitle(QStringLiteral("MSC_CTRL"));
    Frame1 = new QGroupBox(QStringLiteral("Self Test"), this);
    OpSTOFF = new QRadioButton(QStringLiteral("Self Test OFF"), Frame1);
    OpSTON = new QRadioButton(QStringLiteral("Self Test ON"), Frame1);
    OpSTOFF->setChecked(true);
    auto* fl = new QVBoxLayout(Frame1);
    fl->addWidget(OpSTOFF);
    fl->addWidget(OpSTON);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addStretch(1);

    connect(OpSTON, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !reading_)
            OpSTON_Click();
    });
    connect(OpSTOFF, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !reading_)
            OpSTOFF_Click();
    });
    ResizeTwips(4200, 2400);
}

void frmMisc::Form_Activate()
{
    PlaceBesideMainWindow(3000, 300);
    ReadMscCtrl();
}

void frmMisc::ReadMscCtrl()
{
    ReadRegister(m470Reg::Table().idxMSC_CTRL);
    reading_ = true;
    (cfg::MscSelfTestOn(Spi_mod::RegRaw) ? OpSTON : OpSTOFF)->setChecked(true);
    reading_ = false;
}

void frmMisc::OpSTON_Click()
{
    ReadRegister(m470Reg::Table().idxMSC_CTRL);
    WriteRegister(m470Reg::Table().idxMSC_CTRL, cfg::MscWithSelfTestOn(Spi_mod::RegRaw));
    cfg::WaitMs(100);
    ReadMscCtrl();
}

void frmMisc::OpSTOFF_Click()
{
    ReadRegister(m470Reg::Table().idxMSC_CTRL);
    WriteRegister(m470Reg::Table().idxMSC_CTRL, cfg::MscWithSelfTestOff(Spi_mod::RegRaw));
    cfg::WaitMs(100);
    ReadMscCtrl();
}
