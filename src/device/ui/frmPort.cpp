#include "device/ui/frmPort.h"
#include "capture/ui/frmForm1.h"
#include "device/SetupGiveIO.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmPort* frmPort::instance()
{
    static frmPort* w = new frmPort;
    return w;
}

frmPort::frmPort(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setWindowTitle(QStringLiteral("Parallel Port Setup"));
    Label1 = new QLabel(QStringLiteral("Select the Parallel Port Address"), this);
    Label2 = new QLabel(QStringLiteral("Port Address (Hex)"), this);
    txtUser = new QLineEdit(this);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(txtUser);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmPort::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPort::cmdCancel_Click);
}

bool frmPort::SelectPort()
{
    ui::ShowModal(instance());
    if (Module1::PortAddress == 0)
        return false;
    Module1::InterfaceType = kInterfaceParallel;
    return true;
}

void frmPort::showEvent(QShowEvent* e)
{
    if (!loaded_)
        Form_Load();
    Form_Activate();
    QWidget::showEvent(e);
}

void frmPort::Form_Load()
{
    loaded_ = true;
    if (frmForm1::exists())
        ui::PlaceRelativeTo(this, frmForm1::instance(), 0, 0);
}

void frmPort::Form_Activate() { txtUser->setText(PortAddressText(Module1::PortAddress)); }

void frmPort::cmdOK_Click()
{
    if (txtUser->text().isEmpty())
        return;
    const int16_t address = Module1::HexToInteger(txtUser->text());
    txtUser->setText(PortAddressText(address));
    AcceptPortAddress(address);
    hide();
}

void frmPort::cmdCancel_Click() { hide(); }
