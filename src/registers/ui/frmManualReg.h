#pragma once
// "Registers": any register of the active product by its table row — facts, read, write
// in hex, a listing of all registers, the flash-update command and a printout.
#include <QString>
#include <QWidget>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class frmManualReg : public QWidget {
    Q_OBJECT
public:
    static frmManualReg* instance();
    static bool loaded();

    void cmboRegister_Click();
    void cmdRead_Click();
    void cmdWrite_Click();
    void cmdReadAllReg_Click();
    void cmdUpdateFlash_Click();
    void cmdPrint_Click();
    void cmdClose_Click();

    // Printing: whether a default printer exists, and (without one) the file the window
    // image goes to — a .png name saves a PNG, anything else a PDF; empty cancels.
    // Tests replace both so nothing reaches a real printer or a file dialog.
    static void SetPrinterAvailableProbe(std::function<bool()> probe);
    static void SetPrintFileChooser(std::function<QString()> chooser);

    QGroupBox* frameRegister = nullptr;
    QComboBox* cmboRegister = nullptr;
    QLabel* lblRegAddr = nullptr;
    QLineEdit* txtRegAddr = nullptr;
    QLabel* lblRegByte = nullptr;
    QLineEdit* txtRegByte = nullptr;
    QLabel* lblRegRead = nullptr;
    QLineEdit* txtRegRead = nullptr;
    QLabel* lblRegWrite = nullptr;
    QLineEdit* txtRegWrite = nullptr;
    QPushButton* cmdRead = nullptr;
    QLineEdit* txtRegHex = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtRegVal = nullptr;
    QPushButton* cmdWrite = nullptr;
    QLineEdit* txtDataWrite = nullptr;
    QGroupBox* frameUserReg = nullptr;
    QPlainTextEdit* txtUserReg = nullptr;
    QPushButton* cmdReadAllReg = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdUpdateFlash = nullptr;
    QPushButton* cmdClose = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    explicit frmManualReg(QWidget* parent);
    void Form_Load();
    // The chosen row, or -1 after asking the user to choose one.
    int ChosenRow();
    void ShowRegisterValue();
    void PrintImage(const QImage& image);
};
