#pragma once
// "Command Register": one button per command-register action; each writes its value and
// shows "Writting" for the action's fixed time. Nothing is read back.
#include <QWidget>
#include <cstdint>

class QLabel;
class QPushButton;

class frmCommand : public QWidget {
    Q_OBJECT
public:
    static frmCommand* instance();

    // Shows the busy label for bTime milliseconds (a busy wait).
    void ShowBusy(float bTime);

    void cmdNull_Click();
    void cmdPowerDown_Click();
    void cmdSelfTest_Click();
    void cmdOrgFactory_Click();
    void cmdFlashTest_Click();
    void cmdReset_Click();
    void cmdClearBuff_Click();
    void cmdCapStart_Click();
    void cmdWriteCap_Click();
    void cmdReadCap_Click();

    QPushButton* cmdOrgFactory = nullptr;
    QPushButton* cmdReset = nullptr;
    QPushButton* cmdNull = nullptr;
    QPushButton* cmdPowerDown = nullptr;
    QPushButton* cmdFlashTest = nullptr;
    QPushButton* cmdSelfTest = nullptr;
    QPushButton* cmdClearBuff = nullptr;
    QPushButton* cmdCapStart = nullptr;
    QPushButton* cmdWriteCap = nullptr;
    QPushButton* cmdReadCap = nullptr;
    QLabel* LbLBusy = nullptr;

private:
    explicit frmCommand(QWidget* parent);
    void SendCommand(int32_t value, float busyMs);
};
