#pragma once
// The main window.
#include <QMainWindow>

class QAction;
class QMenu;

class frmForm1 : public QMainWindow {
    Q_OBJECT
public:
    static frmForm1* instance();
    static bool exists();

    void SetProductNumber(int16_t number);
    void MnuExit_Click();

    QMenu* mnuInterface = nullptr;
    QAction* mnuUsb = nullptr;
    QMenu* mnuProductNumber = nullptr;
    QAction* mnu31470 = nullptr;
    QAction* mnu31473 = nullptr;
    QMenu* mnuDeviceConfiguration = nullptr;
    QAction* mnuAlarms = nullptr;
    QAction* MnuCal = nullptr;
    QAction* mnuCommand = nullptr;
    QAction* mnuDIOGPIO = nullptr;
    QAction* mnumsc = nullptr;
    QAction* mnuDatalog = nullptr;
    QAction* mnuRegisters = nullptr;
    QAction* MnuExit = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    frmForm1();
    void BuildMenus();
    void Form_Load();
    bool exiting_ = false;
};
