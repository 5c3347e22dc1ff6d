#pragma once
// "USB SPI Card Selection": picks one of up to four USB-SPI cards. Shown modally from the main
// window; every showing searches the cards again.
#include <QWidget>
#include <array>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmUSBselect : public QWidget {
    Q_OBJECT
public:
    static frmUSBselect* instance();
    static void destroyInstance();

    void cmdFindEzUsb_Click();
    void optUsbPort_Click(int index);
    void cmdDebugUsb_Click();
    void cmdExit_Click();

    QGroupBox* frameBufferSetup = nullptr;
    std::array<QRadioButton*, 5> optUsbPort{};   // 0..3 the cards, 4 "None"
    std::array<QLineEdit*, 4> txtDescript0{};
    std::array<QLineEdit*, 4> txtDriverRev{};
    std::array<QLineEdit*, 4> txtSpeed{};
    QPushButton* cmdFindEzUsb = nullptr;
    QPushButton* cmdDebugUsb = nullptr;
    QPushButton* cmdExit = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    frmUSBselect();
};
