#pragma once
// "MSC_CTRL": the sensor's self-test bit.
#include "config/ui/GuiActivation.h"

class QGroupBox;
class QRadioButton;

class frmMisc : public ActivatingWindow {
    Q_OBJECT
public:
    static frmMisc* instance();

    void Form_Activate() override;
    void ReadMscCtrl();
    void OpSTON_Click();
    void OpSTOFF_Click();

    QGroupBox* Frame1 = nullptr;
    QRadioButton* OpSTOFF = nullptr;
    QRadioButton* OpSTON = nullptr;

private:
    explicit frmMisc(QWidget* parent);
    // Showing the register's state must not start the options' writes.
    bool reading_ = false;
};
