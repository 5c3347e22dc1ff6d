#pragma once
// "GPIO_Ctrl   DIO_Ctrl": function and polarity of the two digital pins (DIO_CTRL) and,
// for a pin working as general-purpose I/O, its direction and level (GPIO_CTRL).
#include "config/ui/GuiActivation.h"
#include <cstdint>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class frmDIOGPIO : public ActivatingWindow {
    Q_OBJECT
public:
    static frmDIOGPIO* instance();

    void Form_Activate() override;
    void ReadDIOGPIO();
    void WriteDIOCTRL();
    void WriteGPIOCTRL();
    void cmdFlash_Click();

    QGroupBox* fraGPIO2 = nullptr;
    QGroupBox* fraGDirection2 = nullptr;
    QRadioButton* opGOutput2 = nullptr;
    QRadioButton* opGInput2 = nullptr;
    QGroupBox* fraGLevel2 = nullptr;
    QRadioButton* opGLevelLow2 = nullptr;
    QRadioButton* opGLevelHigh2 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QGroupBox* Frame11 = nullptr;
    QRadioButton* OpFuncAlarm2 = nullptr;
    QRadioButton* OpFuncGPIO2 = nullptr;
    QRadioButton* OpFuncCapTrig2 = nullptr;
    QRadioButton* OpFuncBusy2 = nullptr;
    QGroupBox* Frame10 = nullptr;
    QRadioButton* OpActiveLow2 = nullptr;
    QRadioButton* OpActiveHigh2 = nullptr;
    QGroupBox* Frame9 = nullptr;
    QGroupBox* Frame7 = nullptr;
    QRadioButton* opActiveHigh1 = nullptr;
    QRadioButton* opActiveLow1 = nullptr;
    QGroupBox* Frame8 = nullptr;
    QRadioButton* OpFuncBusy1 = nullptr;
    QRadioButton* OpFuncCapTrig1 = nullptr;
    QRadioButton* opFuncGPIO1 = nullptr;
    QRadioButton* opFuncAlarm1 = nullptr;
    QGroupBox* fraGPIO1 = nullptr;
    QGroupBox* fraGDirection1 = nullptr;
    QRadioButton* opGInput1 = nullptr;
    QRadioButton* opGOutput1 = nullptr;
    QGroupBox* fraGLevel1 = nullptr;
    QRadioButton* opGLevelHigh1 = nullptr;
    QRadioButton* opGLevelLow1 = nullptr;
    QPushButton* cmdFlash = nullptr;
    QLabel* LbLGPIOinfo1 = nullptr;
    QLabel* LbLGPIOinfo2 = nullptr;
    QFrame* Line1 = nullptr;

    // Set while ReadDIOGPIO fills the options, so they do not write.
    int16_t Reading = 0;

private:
    explicit frmDIOGPIO(QWidget* parent);
    void SetGpioGroupEnabled(int pin, bool enabled);
};
