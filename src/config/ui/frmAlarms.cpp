#include "config/ui/frmAlarms.h"
#include "config/ConfigConversions.h"
#include "config/ConfigDelay.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace m470Reg;

namespace {
QPointer<frmAlarms> g_instance;

struct AlarmGroup {
    QGroupBox* frame;
    QPushButton* write;
    QCheckBox* enable;
    QLineEdit* mag;
    QLabel* units;
};

AlarmGroup MakeAlarmGroup(QWidget* parent, const QString& caption, int n)
{
    AlarmGroup g;
    g.frame = new QGroupBox(caption, parent);
    g.write = new QPushButton(QStringLiteral("Write A%1").arg(n), g.frame);
    g.enable = new QCheckBox(QStringLiteral("Enable Alarm %1").arg(n), g.frame);
    g.mag = new QLineEdit(QStringLiteral("Mag%1").arg(n), g.frame);
    g.units = new QLabel(QStringLiteral("Magnitude (g)"), g.frame);
    auto* grid = new QGridLayout(g.frame);
    grid->addWidget(g.enable, 0, 0, 1, 2);
    grid->addWidget(g.units, 1, 0);
    grid->addWidget(g.mag, 2, 0);
    grid->addWidget(g.write, 2, 1);
    return g;
}
} // namespace

frmAlarms* frmAlarms::instance()
{
    if (!g_instance)
        g_instance = new frmAlarms(ui::MainWindowOrNull());
    return g_instance;
}

frmAlarms::frmAlarms(QWidget* parent)
    : ActivatingWindow(parent)
{
    setObjectName(QStringLiteral("frmAlarms"));
    setWindowTitle(QStringLiteral("Alarms   Alm_Mag    Alm_Ctrl"));
    auto* layout = new QVBoxLayout(this);

    const AlarmGroup a1 = MakeAlarmGroup(this, QStringLiteral("Alarm_ X accelerattion"), 1);
    FrameA1 = a1.frame; cmdA1 = a1.write; Check1 = a1.enable; txtMag1 = a1.mag; Label1 = a1.units;
    const AlarmGroup a2 = MakeAlarmGroup(this, QStringLiteral("Alarm_Y acceleration"), 2);
    FrameA2 = a2.frame; cmdA2 = a2.write; Check2 = a2.enable; txtMag2 = a2.mag; Label2 = a2.units;
    const AlarmGroup a3 = MakeAlarmGroup(this, QStringLiteral("Alarm_Z acceleration"), 3);
    FrameA3 = a3.frame; cmdA3 = a3.write; Check3 = a3.enable; txtMag3 = a3.mag; Label3 = a3.units;
    const AlarmGroup a4 = MakeAlarmGroup(this, QStringLiteral("Alarm 4"), 4);
    FrameA4 = a4.frame; cmdA4 = a4.write; Check4 = a4.enable; txtMag4 = a4.mag; LbLMagUnits = a4.units;
    LbLMagUnits->setText(QStringLiteral("Magnitude"));

    Frame1 = new QGroupBox(QStringLiteral("Source"), FrameA4);
    OptionSupply = new QRadioButton(QStringLiteral("Power Supply"), Frame1);
    OptionTemp = new QRadioButton(QStringLiteral("Temperature"), Frame1);
    auto* sl = new QVBoxLayout(Frame1);
    sl->addWidget(OptionSupply);
    sl->addWidget(OptionTemp);
    Frame2 = new QGroupBox(QStringLiteral("Polarity"), FrameA4);
    OptionLess = new QRadioButton(QStringLiteral("Less Than"), Frame2);
    OptionGreater = new QRadioButton(QStringLiteral("Greater Than"), Frame2);
    auto* pl = new QVBoxLayout(Frame2);
    pl->addWidget(OptionLess);
    pl->addWidget(OptionGreater);
    auto* a4grid = static_cast<QGridLayout*>(FrameA4->layout());
    a4grid->addWidget(Frame1, 3, 0);
    a4grid->addWidget(Frame2, 3, 1);

    Frame3 = new QGroupBox(QStringLiteral("Flash Memory"), this);
    cmdReadFlash = new QPushButton(QStringLiteral("Read Flash"), Frame3);
    cmdWriteFlash = new QPushButton(QStringLiteral("Save To Flash"), Frame3);
    auto* fl = new QHBoxLayout(Frame3);
    fl->addWidget(cmdReadFlash);
    fl->addWidget(cmdWriteFlash);

    lblWriteRead = new QLabel(QStringLiteral("Write Read"), this);
    QSizePolicy keep = lblWriteRead->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    lblWriteRead->setSizePolicy(keep);
    lblWriteRead->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    lblWriteRead->hide();

    layout->addWidget(FrameA1);
    layout->addWidget(FrameA2);
    layout->addWidget(FrameA3);
    layout->addWidget(FrameA4);
    layout->addWidget(Frame3);
    layout->addWidget(lblWriteRead);
    layout->addStretch(1);

    connect(cmdA1, &QPushButton::clicked, this, &frmAlarms::cmdA1_Click);
    connect(cmdA2, &QPushButton::clicked, this, &frmAlarms::cmdA2_Click);
    connect(cmdA3, &QPushButton::clicked, this, &frmAlarms::cmdA3_Click);
    connect(cmdA4, &QPushButton::clicked, this, &frmAlarms::cmdA4_Click);
    connect(cmdReadFlash, &QPushButton::clicked, this, &frmAlarms::cmdReadFlash_Click);
    connect(cmdWriteFlash, &QPushButton::clicked, this, &frmAlarms::cmdWriteFlash_Click);
    connect(OptionSupply, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !fillingFromRegister_)
            OptionSupply_Click();
    });
    connect(OptionTemp, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !fillingFromRegister_)
            OptionTemp_Click();
    });

    ResizeTwips(4545, 9135);
}

void frmAlarms::Form_Activate()
{
    PlaceBesideMainWindow(3300, 300);
    ReadAlmMagAlmCtrl();
}

void frmAlarms::ReadAlmMagAlmCtrl()
{
    lblWriteRead->show();
    ui::PumpEvents();
    cfg::WaitMs(200);
    ReadAlmCtrl();
    const int16_t rows[3] = {m470Reg::Table().idxALM_MAG1, m470Reg::Table().idxALM_MAG2, m470Reg::Table().idxALM_MAG3};
    QLineEdit* boxes[3] = {txtMag1, txtMag2, txtMag3};
    for (int k = 0; k < 3; ++k) {
        ReadRegister(rows[k]);
        boxes[k]->setText(cfg::AlarmMagText(Spi_mod::RegValue));
    }
    lblWriteRead->hide();
    ui::PumpEvents();
}

void frmAlarms::ReadAlmCtrl()
{
    ReadRegister(m470Reg::Table().idxALM_CTRL);
    const int32_t c = Spi_mod::RegRaw;
    QCheckBox* checks[4] = {Check1, Check2, Check3, Check4};
    for (int k = 0; k < 4; ++k)
        checks[k]->setChecked((c & (1 << k)) != 0);
    ReadRegister(m470Reg::Table().idxALM_MAG4);
    const int32_t n = Spi_mod::RegRaw;
    fillingFromRegister_ = true;
    if (c & cfg::AlmSourceTemp) {
        OptionTemp->setChecked(true);
        LbLMagUnits->setText(QStringLiteral("Magnitude (degC)"));
        txtMag4->setText(cfg::Alarm4Text(cfg::Alarm4TempFromCounts(n)));
    } else {
        OptionSupply->setChecked(true);
        LbLMagUnits->setText(QStringLiteral("Magnitude (V)"));
        txtMag4->setText(cfg::Alarm4Text(cfg::Alarm4VoltsFromCounts(n)));
    }
    if (c & cfg::AlmPolarityLess)
        OptionLess->setChecked(true);
    else
        OptionGreater->setChecked(true);
    fillingFromRegister_ = false;
    ui::PumpEvents();
}

void frmAlarms::WriteAlarmMag(int alarm)
{
    const int16_t rows[3] = {m470Reg::Table().idxALM_MAG1, m470Reg::Table().idxALM_MAG2, m470Reg::Table().idxALM_MAG3};
    QLineEdit* boxes[3] = {txtMag1, txtMag2, txtMag3};
    QCheckBox* checks[3] = {Check1, Check2, Check3};
    const int k = alarm - 1;
    const int16_t row = rows[k];
    const double v = LeadingNumber(boxes[k]->text());
    WriteRegister(row, cfg::AlarmMagCounts(v, m470Reg::Table().RegisterTable[static_cast<size_t>(row)].RegScale));
    ReadRegister(m470Reg::Table().idxALM_CTRL);
    const int32_t c = cfg::AlmCtrlWithBit(Spi_mod::RegRaw, k, checks[k]->isChecked());
    WriteRegister(m470Reg::Table().idxALM_CTRL, c);
    cfg::WaitMs(50);
    ReadAlmMagAlmCtrl();
}

void frmAlarms::cmdA1_Click() { WriteAlarmMag(1); }
void frmAlarms::cmdA2_Click() { WriteAlarmMag(2); }
void frmAlarms::cmdA3_Click() { WriteAlarmMag(3); }

void frmAlarms::cmdA4_Click()
{
    const double v = LeadingNumber(txtMag4->text());
    const bool temp = OptionTemp->isChecked();
    const int32_t n = temp ? cfg::Alarm4CountsFromTemp(v) : cfg::Alarm4CountsFromVolts(v);
    WriteRegister(m470Reg::Table().idxALM_MAG4, cfg::Alarm4Clamp(n));
    ReadRegister(m470Reg::Table().idxALM_CTRL);
    int32_t c = Spi_mod::RegRaw;
    c = cfg::AlmCtrlWithBit(c, 3, Check4->isChecked());
    c = cfg::AlmCtrlWithBit(c, 4, temp);
    c = cfg::AlmCtrlWithBit(c, 5, OptionLess->isChecked());
    WriteRegister(m470Reg::Table().idxALM_CTRL, c);
    cfg::WaitMs(50);
    ReadAlmMagAlmCtrl();
}

void frmAlarms::OptionSupply_Click()
{
    const int32_t n = cfg::Alarm4CountsFromTemp(LeadingNumber(txtMag4->text()));
    txtMag4->setText(cfg::Alarm4Text(cfg::Alarm4VoltsFromCounts(n)));
    LbLMagUnits->setText(QStringLiteral("Magnitude (V)"));
    ui::PumpEvents();
}

void frmAlarms::OptionTemp_Click()
{
    const int32_t n = cfg::Alarm4CountsFromVolts(LeadingNumber(txtMag4->text()));
    txtMag4->setText(cfg::Alarm4Text(cfg::Alarm4TempFromCounts(n)));
    LbLMagUnits->setText(QStringLiteral("Magnitude (degC)"));
    ui::PumpEvents();
}

void frmAlarms::cmdReadFlash_Click()
{
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdFlashRestore);
    cfg::WaitMs(400);
    ReadAlmMagAlmCtrl();
}

void frmAlarms::cmdWriteFlash_Click()
{
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdFlashBackup);
    cfg::WaitMs(400);
    ReadAlmMagAlmCtrl();
}
