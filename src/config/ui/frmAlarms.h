#pragma once
// "Alarms   Alm_Mag    Alm_Ctrl": the four alarm thresholds, the alarm control register
// and the flash save / restore commands.
#include "config/ui/GuiActivation.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmAlarms : public ActivatingWindow {
    Q_OBJECT
public:
    static frmAlarms* instance();

    void Form_Activate() override;
    void ReadAlmMagAlmCtrl();
    void ReadAlmCtrl();

    void cmdA1_Click();
    void cmdA2_Click();
    void cmdA3_Click();
    void cmdA4_Click();
    void OptionSupply_Click();
    void OptionTemp_Click();
    void cmdReadFlash_Click();
    void cmdWriteFlash_Click();

    QGroupBox* Frame3 = nullptr;
    QPushButton* cmdReadFlash = nullptr;
    QPushButton* cmdWriteFlash = nullptr;
    QGroupBox* FrameA4 = nullptr;
    QPushButton* cmdA4 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* OptionLess = nullptr;
    QRadioButton* OptionGreater = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* OptionSupply = nullptr;
    QRadioButton* OptionTemp = nullptr;
    QCheckBox* Check4 = nullptr;
    QLineEdit* txtMag4 = nullptr;
    QLabel* LbLMagUnits = nullptr;
    QGroupBox* FrameA3 = nullptr;
    QPushButton* cmdA3 = nullptr;
    QCheckBox* Check3 = nullptr;
    QLineEdit* txtMag3 = nullptr;
    QLabel* Label3 = nullptr;
    QGroupBox* FrameA2 = nullptr;
    QCheckBox* Check2 = nullptr;
    QPushButton* cmdA2 = nullptr;
    QLineEdit* txtMag2 = nullptr;
    QLabel* Label2 = nullptr;
    QGroupBox* FrameA1 = nullptr;
    QPushButton* cmdA1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLineEdit* txtMag1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblWriteRead = nullptr;

private:
    explicit frmAlarms(QWidget* parent);
    void WriteAlarmMag(int alarm);
    // Alarm 4's source options re-express the threshold only when the user picks one.
    bool fillingFromRegister_ = false;
};
