#pragma once
// The loading message window shown while the delay is calibrated.
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

class frmMsg : public QWidget {
    Q_OBJECT
public:
    explicit frmMsg(QWidget* parent = nullptr);
    static frmMsg* instance();

    QPlainTextEdit* txtMsg;
    QPushButton* Command1;

protected:
    void showEvent(QShowEvent* e) override;
};
