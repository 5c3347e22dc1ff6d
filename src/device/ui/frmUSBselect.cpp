#include "device/ui/frmUSBselect.h"
#include "capture/ui/frmForm1.h"
#include "device/EzUsb.h"
#include "device/UsbSpiDrivers.h"
#include "device/ui/frmUSBdebug.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
frmUSBselect* g_instance = nullptr;
}

frmUSBselect* frmUSBselect::instance()
{
    if (!g_instance)
        g_instance = new frmUSBselect;
    return g_instance;
}

void frmUSBselect::destroyInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

frmUSBselect::frmUSBselect() : QWidget(nullptr, Qt::Dialog)
{
    setWindowTitle(QStringLiteral("USB SPI Card Selection"));

    frameBufferSetup = new QGroupBox(QStringLiteral("Buffer Select"));
    auto* g = new QGridLayout(frameBufferSetup);
    g->addWidget(new QLabel(QStringLiteral("Descriptor0")), 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Rev")), 0, 2);
    g->addWidget(new QLabel(QStringLiteral("Speed")), 0, 3);
    const int narrow = QFontMetrics(font()).horizontalAdvance(QStringLiteral("00.00")) + 12;
    for (int i = 0; i < 4; ++i) {
        optUsbPort[i] = new QRadioButton(QStringLiteral("EzUsb%1").arg(i));
        txtDescript0[i] = new QLineEdit;
        txtDriverRev[i] = new QLineEdit;
        txtSpeed[i] = new QLineEdit;
        for (QLineEdit* t : {txtDescript0[i], txtDriverRev[i], txtSpeed[i]})
            t->setReadOnly(true);
        txtDescript0[i]->setMinimumWidth(narrow * 3);
        txtDriverRev[i]->setMaximumWidth(narrow);
        txtSpeed[i]->setMaximumWidth(narrow);
        g->addWidget(optUsbPort[i], i + 1, 0);
        g->addWidget(txtDescript0[i], i + 1, 1);
        g->addWidget(txtDriverRev[i], i + 1, 2);
        g->addWidget(txtSpeed[i], i + 1, 3);
    }
    optUsbPort[4] = new QRadioButton(QStringLiteral("None"));
    g->addWidget(optUsbPort[4], 5, 0);
    g->setColumnStretch(1, 1);

    cmdFindEzUsb = new QPushButton(QStringLiteral("Search"));
    cmdDebugUsb = new QPushButton(QStringLiteral("Debug"));
    cmdExit = new QPushButton(QStringLiteral("OK"));
    cmdExit->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdFindEzUsb);
    buttons->addWidget(cmdDebugUsb);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameBufferSetup);
    layout->addLayout(buttons);

    for (int i = 0; i < 5; ++i)
        connect(optUsbPort[i], &QRadioButton::clicked, this, [this, i] { optUsbPort_Click(i); });
    connect(cmdFindEzUsb, &QPushButton::clicked, this, &frmUSBselect::cmdFindEzUsb_Click);
    connect(cmdDebugUsb, &QPushButton::clicked, this, &frmUSBselect::cmdDebugUsb_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmUSBselect::cmdExit_Click);

    if (frmForm1::exists())
        ui::PlaceRelativeTo(this, frmForm1::instance(), 0, 0);
}

void frmUSBselect::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous())
        cmdFindEzUsb_Click();
}

void frmUSBselect::closeEvent(QCloseEvent* e)
{
    // Closing from the title bar means "OK": the window is only ever hidden.
    e->ignore();
    cmdExit_Click();
}

void frmUSBselect::cmdFindEzUsb_Click()
{
    for (int i = 0; i < 4; ++i) {
        optUsbPort[i]->setEnabled(false);
        txtDescript0[i]->clear();
        txtDriverRev[i]->clear();
        txtSpeed[i]->clear();
    }
    SelectFirstUsbCard();
    for (int i = 0; i < 4; ++i) {
        const UsbCardInfo& card = EzUsb::UsbCards[i];
        if (card.Valid != VTrue)
            continue;
        optUsbPort[i]->setEnabled(true);
        if (EzUsb::SelectedUsbCardIndex == i)
            optUsbPort[i]->setChecked(true);
        txtDescript0[i]->setText(card.Manufacturer);
        txtDriverRev[i]->setText(QLocale().toString(double(card.FirmwareVersion), 'g', 7));
        txtSpeed[i]->setText(card.UsbVersion);
    }
    if (EzUsb::SelectedUsbCardIndex == -1)
        optUsbPort[4]->setChecked(true);
}

void frmUSBselect::optUsbPort_Click(int index)
{
    if (index >= 0 && index <= 3) {
        EzUsb::SelectedUsbCard = EzUsb::UsbCards[index];
        SetupSpi(Module1::SpiDelay);
        SetSpiBits(Module1::SpiStaticBits);
    } else if (index == 4) {
        EzUsb::SelectedUsbCard.Valid = VFalse;
        Module1::SpiLoopStop = VTrue;
    }
}

void frmUSBselect::cmdDebugUsb_Click()
{
    ui::ShowModal(frmUSBdebug::instance());
}

void frmUSBselect::cmdExit_Click() { hide(); }
