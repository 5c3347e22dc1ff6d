#include "shell/ui/frmMsg.h"
#include "shell/Module1.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmMsg::frmMsg(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setWindowTitle(kAppTitle + QStringLiteral("  Message"));
    auto* layout = new QVBoxLayout(this);
    txtMsg = new QPlainTextEdit(QStringLiteral("txtMsg"), this);
    txtMsg->setReadOnly(true);
    txtMsg->setMinimumSize(320, 110);
    Command1 = new QPushButton(QStringLiteral("Command1"), this);
    layout->addWidget(txtMsg);
    layout->addWidget(Command1, 0, Qt::AlignHCenter);
}

frmMsg* frmMsg::instance()
{
    static frmMsg* w = new frmMsg;
    return w;
}

void frmMsg::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    Command1->setFocus();
}
