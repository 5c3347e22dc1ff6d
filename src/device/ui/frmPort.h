#pragma once
// "Parallel Port Setup": the parallel port's base address, typed in hex.
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

class frmPort : public QWidget {
    Q_OBJECT
public:
    static frmPort* instance();
    // The main window's port selection: shows the window modally; afterwards a non-zero
    // address selects the parallel port. Returns true when it did.
    static bool SelectPort();

    void Form_Load();
    void Form_Activate();
    void cmdOK_Click();
    void cmdCancel_Click();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtUser = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    explicit frmPort(QWidget* parent = nullptr);
    bool loaded_ = false;
};
