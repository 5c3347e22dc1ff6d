#include "config/ui/frmDIOGPIO.h"
#include "config/ConfigConversions.h"
#include "config/ConfigDelay.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "ui/Ui.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace m470Reg;

namespace {
QPointer<frmDIOGPIO> g_instance;

QGroupBox* Group(QWidget* parent, const QString& caption)
{
    auto* g = new QGroupBox(caption, parent);
    new QVBoxLayout(g);
    return g;
}

QRadioButton* Option(QGroupBox* group, const QString& caption)
{
    auto* o = new QRadioButton(caption, group);
    group->layout()->addWidget(o);
    return o;
}

void SetBold(QLabel* label, bool bold)
{
    QFont f = label->font();
    f.setBold(bold);
    label->setFont(f);
}
} // namespace

frmDIOGPIO* frmDIOGPIO::instance()
{
    if (!g_instance)
        g_instance = new frmDIOGPIO(ui::MainWindowOrNull());
    return g_instance;
}

frmDIOGPIO::frmDIOGPIO(QWidget* parent)
    : ActivatingWindow(parent)
{
    setObjectName(QStringLiteral("frmDIOGPIO"));
    setWindowTitle(QStringLiteral("GPIO_Ctrl   DIO_Ctrl"));

    // Pin 1 on the left, pin 2 on the right; DIO_CTRL above, GPIO_CTRL below.
    Frame9 = Group(this, QStringLiteral("DIO_CTRL pin 1"));
    Frame8 = Group(Frame9, QStringLiteral("Function pin 1"));
    OpFuncBusy1 = Option(Frame8, QStringLiteral("Busy Indicator (output)"));
    OpFuncCapTrig1 = Option(Frame8, QStringLiteral("Capture Trigger (input)"));
    opFuncGPIO1 = Option(Frame8, QStringLiteral("General Purpose I/O"));
    opFuncAlarm1 = Option(Frame8, QStringLiteral("Alarm Indicator (output)"));
    Frame7 = Group(Frame9, QStringLiteral("Output Polarity pin 1"));
    opActiveHigh1 = Option(Frame7, QStringLiteral("Active High"));
    opActiveLow1 = Option(Frame7, QStringLiteral("Active Low"));
    Frame9->layout()->addWidget(Frame8);
    Frame9->layout()->addWidget(Frame7);

    Frame6 = Group(this, QStringLiteral("DIO_CTRL pin 2"));
    Frame11 = Group(Frame6, QStringLiteral("Function pin 2"));
    OpFuncAlarm2 = Option(Frame11, QStringLiteral("Alarm Indicator (output)"));
    OpFuncGPIO2 = Option(Frame11, QStringLiteral("General Purpose I/O"));
    OpFuncCapTrig2 = Option(Frame11, QStringLiteral("Capture Trigger (input)"));
    OpFuncBusy2 = Option(Frame11, QStringLiteral("Busy Indicator (output)"));
    Frame10 = Group(Frame6, QStringLiteral("Output Polarity pin 2"));
    OpActiveLow2 = Option(Frame10, QStringLiteral("Active Low"));
    OpActiveHigh2 = Option(Frame10, QStringLiteral("Active High"));
    Frame6->layout()->addWidget(Frame11);
    Frame6->layout()->addWidget(Frame10);

    fraGPIO1 = Group(this, QStringLiteral("GPIO_CTRL pin 1"));
    fraGDirection1 = Group(fraGPIO1, QStringLiteral("Direction  pin 1"));
    opGInput1 = Option(fraGDirection1, QStringLiteral("Input"));
    opGOutput1 = Option(fraGDirection1, QStringLiteral("Output"));
    fraGLevel1 = Group(fraGPIO1, QStringLiteral("Level pin 1"));
    opGLevelHigh1 = Option(fraGLevel1, QStringLiteral("High"));
    opGLevelLow1 = Option(fraGLevel1, QStringLiteral("Low"));
    fraGPIO1->layout()->addWidget(fraGDirection1);
    fraGPIO1->layout()->addWidget(fraGLevel1);

    fraGPIO2 = Group(this, QStringLiteral("GPIO_CTRL pin 2"));
    fraGDirection2 = Group(fraGPIO2, QStringLiteral("Direction pin 2"));
    opGOutput2 = Option(fraGDirection2, QStringLiteral("Output"));
    opGInput2 = Option(fraGDirection2, QStringLiteral("Input"));
    fraGLevel2 = Group(fraGPIO2, QStringLiteral("Level pin 2"));
    opGLevelLow2 = Option(fraGLevel2, QStringLiteral("Low"));
    opGLevelHigh2 = Option(fraGLevel2, QStringLiteral("High"));
    fraGPIO2->layout()->addWidget(fraGDirection2);
    fraGPIO2->layout()->addWidget(fraGLevel2);

    LbLGPIOinfo1 = new QLabel(QStringLiteral("DIO Function must be set to GPIO"), this);
    LbLGPIOinfo2 = new QLabel(QStringLiteral("DIO Function must be set to GPIO"), this);
    Line1 = new QFrame(this);
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    cmdFlash = new QPushButton(QStringLiteral("Write Settings Flash Memory"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Frame9, 0, 0);
    grid->addWidget(Frame6, 0, 1);
    grid->addWidget(Line1, 1, 0, 1, 2);
    grid->addWidget(fraGPIO1, 2, 0);
    grid->addWidget(fraGPIO2, 2, 1);
    grid->addWidget(LbLGPIOinfo1, 3, 0);
    grid->addWidget(LbLGPIOinfo2, 3, 1);
    grid->addWidget(cmdFlash, 4, 0, 1, 2);
    grid->setRowStretch(5, 1);

    // Design-time choices; every activation replaces them with the registers' contents.
    for (QRadioButton* o : {opGOutput1, opGLevelHigh1, OpFuncBusy1, opActiveHigh1, opGOutput2, opGLevelHigh2,
                            OpFuncBusy2, OpActiveHigh2})
        o->setChecked(true);

    for (QRadioButton* o : {OpFuncBusy1, OpFuncCapTrig1, opFuncGPIO1, opFuncAlarm1, opActiveHigh1, opActiveLow1,
                            OpFuncAlarm2, OpFuncGPIO2, OpFuncCapTrig2, OpFuncBusy2, OpActiveLow2, OpActiveHigh2}) {
        connect(o, &QRadioButton::toggled, this, [this](bool on) {
            if (on && Reading == 0)
                WriteDIOCTRL();
        });
    }
    for (QRadioButton* o : {opGInput1, opGOutput1, opGLevelHigh1, opGLevelLow1, opGInput2, opGOutput2,
                            opGLevelHigh2, opGLevelLow2}) {
        connect(o, &QRadioButton::toggled, this, [this](bool on) {
            if (on && Reading == 0)
                WriteGPIOCTRL();
        });
    }
    connect(cmdFlash, &QPushButton::clicked, this, &frmDIOGPIO::cmdFlash_Click);

    ResizeTwips(7290, 8745);
}

void frmDIOGPIO::Form_Activate()
{
    PlaceBesideMainWindow(2500, 300);
    ReadDIOGPIO();
}

void frmDIOGPIO::SetGpioGroupEnabled(int pin, bool enabled)
{
    // Disabling the frame greys its sub-frames and options with it.
    (pin == 1 ? fraGPIO1 : fraGPIO2)->setEnabled(enabled);
    SetBold(pin == 1 ? LbLGPIOinfo1 : LbLGPIOinfo2, !enabled);
}

void frmDIOGPIO::ReadDIOGPIO()
{
    Reading = 1;
    ReadRegister(m470Reg::Table().idxDIO_CTRL);
    const cfg::DioCtrlFields d = cfg::DecodeDioCtrl(Spi_mod::RegRaw);
    (d.activeHigh1 ? opActiveHigh1 : opActiveLow1)->setChecked(true);
    (d.activeHigh2 ? OpActiveHigh2 : OpActiveLow2)->setChecked(true);
    QRadioButton* const func1[4] = {opFuncGPIO1, opFuncAlarm1, OpFuncCapTrig1, OpFuncBusy1};
    QRadioButton* const func2[4] = {OpFuncGPIO2, OpFuncAlarm2, OpFuncCapTrig2, OpFuncBusy2};
    func1[static_cast<int>(d.function1)]->setChecked(true);
    func2[static_cast<int>(d.function2)]->setChecked(true);

    ReadRegister(m470Reg::Table().idxGPIO_CTRL);
    const cfg::GpioCtrlFields g = cfg::DecodeGpioCtrl(Spi_mod::RegRaw);
    for (QRadioButton* o : {opGInput1, opGOutput1, opGLevelHigh1, opGLevelLow1, opGInput2, opGOutput2,
                            opGLevelHigh2, opGLevelLow2})
        gui::Deselect(o);
    SetGpioGroupEnabled(1, false);
    SetGpioGroupEnabled(2, false);
    if (d.function1 == cfg::PinFunction::Gpio) {
        SetGpioGroupEnabled(1, true);
        (g.output1 ? opGOutput1 : opGInput1)->setChecked(true);
        (g.high1 ? opGLevelHigh1 : opGLevelLow1)->setChecked(true);
    }
    if (d.function2 == cfg::PinFunction::Gpio) {
        SetGpioGroupEnabled(2, true);
        (g.output2 ? opGOutput2 : opGInput2)->setChecked(true);
        (g.high2 ? opGLevelHigh2 : opGLevelLow2)->setChecked(true);
    }
    Reading = 0;
}

void frmDIOGPIO::WriteDIOCTRL()
{
    cfg::DioCtrlFields f;
    f.activeHigh1 = opActiveHigh1->isChecked();
    f.activeHigh2 = OpActiveHigh2->isChecked();
    auto function = [](QRadioButton* alarm, QRadioButton* trig, QRadioButton* busy) {
        if (alarm->isChecked())
            return cfg::PinFunction::Alarm;
        if (trig->isChecked())
            return cfg::PinFunction::CaptureTrigger;
        if (busy->isChecked())
            return cfg::PinFunction::Busy;
        return cfg::PinFunction::Gpio;
    };
    f.function1 = function(opFuncAlarm1, OpFuncCapTrig1, OpFuncBusy1);
    f.function2 = function(OpFuncAlarm2, OpFuncCapTrig2, OpFuncBusy2);
    WriteRegister(m470Reg::Table().idxDIO_CTRL, cfg::ComposeDioCtrl(f));
    cfg::WaitMs(100);
    ReadDIOGPIO();
}

void frmDIOGPIO::WriteGPIOCTRL()
{
    cfg::GpioCtrlFields f;
    f.output1 = opGOutput1->isChecked();
    f.output2 = opGOutput2->isChecked();
    f.high1 = opGLevelHigh1->isChecked();
    f.high2 = opGLevelHigh2->isChecked();
    WriteRegister(m470Reg::Table().idxGPIO_CTRL, cfg::ComposeGpioCtrl(f));
    ReadDIOGPIO();
}

// Saves the sensor's settings, these pins included, to its flash memory; the sensor
// needs a while for it, shown by the hourglass and a disabled button.
void frmDIOGPIO::cmdFlash_Click()
{
    cmdFlash->setEnabled(false);
    const QString caption = cmdFlash->text();
    cmdFlash->setText(QStringLiteral("Writting"));
    ui::SetHourglass(true);
    ui::PumpEvents();
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdFlashBackup);
    cfg::WaitMs(600);
    ui::SetHourglass(false);
    cmdFlash->setText(caption);
    cmdFlash->setEnabled(true);
    ui::PumpEvents();
}
