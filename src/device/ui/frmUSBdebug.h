#pragma once
// "USB SPI Card Setup": a bench tool for the USB-SPI card itself. Picks a card, shows and
// sets its SPI settings and sends up to 16 raw words, once or in a loop.
#include <QWidget>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmUSBdebug : public QWidget {
    Q_OBJECT
public:
    static frmUSBdebug* instance();
    static void destroyInstance();

    void Form_Load();
    void Form_Activate();
    void cmdFindEzUsb_Click();
    void optUsbPort_Click(int index);
    void optSpiChan_Click(int index);
    void cmdPolarity_Click();
    void cmdReadDelay_Click();
    void txtLoopDelay_Enter();
    void cmdReadBits_Click();
    void cmdSetSpiBits_Click();
    void cmdWriteSpi_Click();
    void cmdLoop_Click();
    void cmdExit_Click();

    QGroupBox* frameBufferSelect = nullptr;
    std::array<QRadioButton*, 5> optUsbPort{};   // 0..3 the cards, 4 "None"
    std::array<QLineEdit*, 4> txtUsbPort{};
    std::array<QLineEdit*, 4> txtDescript0{};
    std::array<QLineEdit*, 4> txtDescript1{};
    std::array<QLineEdit*, 4> txtDriverRev{};
    std::array<QLineEdit*, 4> txtSpeed{};
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton* cmdFindEzUsb = nullptr;

    QGroupBox* frameSpiSetup = nullptr;
    QGroupBox* frameStaticBits = nullptr;
    std::array<QCheckBox*, 6> chkStaticBits{};  // 2..5 used
    QPushButton* cmdReadBits = nullptr;
    QPushButton* cmdSetSpiBits = nullptr;
    QGroupBox* frameCselChannel = nullptr;
    std::array<QRadioButton*, 5> optSpiChan{};   // 1..4 used
    QPushButton* cmdPolarity = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* txtLoopDelay = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* cmdReadDelay = nullptr;

    QGroupBox* frameManualSetup = nullptr;
    QLineEdit* txtNumWords = nullptr;
    QLabel* lblNumWords = nullptr;
    std::array<QLineEdit*, 17> txtWriteSpi{};    // 1..16 used
    std::array<QLineEdit*, 17> txtReadSpi{};
    QLabel* Label1 = nullptr;
    QLabel* lblRead = nullptr;
    QPushButton* cmdWriteSpi = nullptr;
    QPushButton* cmdLoop = nullptr;

    QPushButton* cmdExit = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // The three frames of the window, and the handlers behind their controls.
    void BuildBufferSelect(const QFontMetrics& fm, int hexWidth);
    void BuildSpiSetup(int hexWidth);
    void BuildManualSetup(int hexWidth);
    void Connect();
    frmUSBdebug();
    bool CardReady() const;
    // The card-ready check of the transfer actions: message, "None", loop stopped.
    bool RequireCardForTransfer();
    void ShowReceivedWords();
    bool loaded_ = false;
};
