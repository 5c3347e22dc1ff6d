#include "device/ui/frmUSBdebug.h"
#include "capture/ui/frmForm1.h"
#include "device/EzUsb.h"
#include "device/UsbDebug.h"
#include "device/UsbSpiDrivers.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
frmUSBdebug* g_instance = nullptr;

const QString kSelectBuffer = QStringLiteral("Please Select a Buffer first");
const QString kPos = QStringLiteral("Pos");
const QString kNeg = QStringLiteral("Neg");
const QString kLoop = QStringLiteral("Loop");
const QString kStop = QStringLiteral("Stop");

QLineEdit* ReadOnlyBox()
{
    auto* t = new QLineEdit;
    ui::DisplayOnly(t);
    return t;
}
} // namespace

frmUSBdebug* frmUSBdebug::instance()
{
    if (!g_instance)
        g_instance = new frmUSBdebug;
    return g_instance;
}

void frmUSBdebug::destroyInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

frmUSBdebug::frmUSBdebug() : QWidget(nullptr, Qt::Dialog)
{
    setWindowTitle(QStringLiteral("USB SPI Card Setup"));
    const QFontMetrics fm(font());
    const int hexWidth = fm.horizontalAdvance(QStringLiteral("FFFF")) + 14;
    BuildBufferSelect(fm, hexWidth);
    BuildSpiSetup(hexWidth);
    BuildManualSetup(hexWidth);
    cmdExit = new QPushButton(QStringLiteral("OK"));

    auto* lower = new QHBoxLayout;
    lower->addWidget(frameSpiSetup);
    lower->addWidget(frameManualSetup);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameBufferSelect);
    layout->addLayout(lower);
    layout->addLayout(buttons);

    // Enabled only by a card choice.
    frameSpiSetup->setEnabled(false);
    frameManualSetup->setEnabled(false);

    Connect();
}

void frmUSBdebug::BuildBufferSelect(const QFontMetrics& fm, int hexWidth)
{
    frameBufferSelect = new QGroupBox(QStringLiteral("Buffer Select"));
    auto* g = new QGridLayout(frameBufferSelect);
    Label2 = new QLabel(QStringLiteral("Device"));
    Label3 = new QLabel(QStringLiteral("Descriptor0"));
    Label4 = new QLabel(QStringLiteral("Descriptor1"));
    Label6 = new QLabel(QStringLiteral("Rev"));
    Label7 = new QLabel(QStringLiteral("Speed"));
    g->addWidget(Label2, 0, 1);
    g->addWidget(Label3, 0, 2);
    g->addWidget(Label4, 0, 3);
    g->addWidget(Label6, 0, 4);
    g->addWidget(Label7, 0, 5);
    for (int i = 0; i < 4; ++i) {
        optUsbPort[i] = new QRadioButton(QStringLiteral("EzUsb%1").arg(i));
        txtUsbPort[i] = ReadOnlyBox();
        txtDescript0[i] = ReadOnlyBox();
        txtDescript1[i] = ReadOnlyBox();
        txtDriverRev[i] = ReadOnlyBox();
        txtSpeed[i] = ReadOnlyBox();
        txtUsbPort[i]->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("0 - FIFO4")) + 14);
        txtDescript0[i]->setMinimumWidth(hexWidth * 3);
        txtDescript1[i]->setMinimumWidth(hexWidth * 3);
        txtDriverRev[i]->setMaximumWidth(hexWidth);
        txtSpeed[i]->setMaximumWidth(hexWidth);
        g->addWidget(optUsbPort[i], i + 1, 0);
        g->addWidget(txtUsbPort[i], i + 1, 1);
        g->addWidget(txtDescript0[i], i + 1, 2);
        g->addWidget(txtDescript1[i], i + 1, 3);
        g->addWidget(txtDriverRev[i], i + 1, 4);
        g->addWidget(txtSpeed[i], i + 1, 5);
    }
    optUsbPort[4] = new QRadioButton(QStringLiteral("None"));
    cmdFindEzUsb = new QPushButton(QStringLiteral("Search"));
    g->addWidget(optUsbPort[4], 5, 0);
    g->addWidget(cmdFindEzUsb, 5, 5);
    g->setColumnStretch(2, 1);
    g->setColumnStretch(3, 1);
}

void frmUSBdebug::BuildSpiSetup(int hexWidth)
{
    frameSpiSetup = new QGroupBox(QStringLiteral("SPI Setup"));
    frameStaticBits = new QGroupBox(QStringLiteral("Static Bits"));
    auto* bits = new QGridLayout(frameStaticBits);
    for (int cs = 2; cs <= 5; ++cs) {
        chkStaticBits[cs] = new QCheckBox(QStringLiteral("CS%1").arg(cs));
        bits->addWidget(chkStaticBits[cs], (cs - 2) / 2, (cs - 2) % 2);
    }
    cmdReadBits = new QPushButton(QStringLiteral("Read"));
    cmdSetSpiBits = new QPushButton(QStringLiteral("Set Bits"));
    bits->addWidget(cmdReadBits, 2, 0);
    bits->addWidget(cmdSetSpiBits, 2, 1);

    frameCselChannel = new QGroupBox(QStringLiteral("Csel Channel"));
    auto* chans = new QGridLayout(frameCselChannel);
    for (int k = 1; k <= 4; ++k) {
        optSpiChan[k] = new QRadioButton(QStringLiteral("Chan%1").arg(k));
        chans->addWidget(optSpiChan[k], (k - 1) / 2, (k - 1) % 2);
    }

    cmdPolarity = new QPushButton(kPos);
    Label8 = new QLabel(QStringLiteral("Data Input Polarity"));
    txtLoopDelay = new QLineEdit(QStringLiteral("10"));
    txtLoopDelay->setMaximumWidth(hexWidth);
    Label5 = new QLabel(QStringLiteral("Delay between words (uS)"));
    cmdReadDelay = new QPushButton(QStringLiteral("Read"));
    auto* spiRows = new QGridLayout;
    spiRows->addWidget(Label8, 0, 0);
    spiRows->addWidget(cmdPolarity, 0, 1);
    spiRows->addWidget(Label5, 1, 0);
    spiRows->addWidget(txtLoopDelay, 1, 1);
    spiRows->addWidget(cmdReadDelay, 1, 2);
    auto* spi = new QVBoxLayout(frameSpiSetup);
    auto* spiTop = new QHBoxLayout;
    spiTop->addWidget(frameStaticBits);
    spiTop->addWidget(frameCselChannel);
    spi->addLayout(spiTop);
    spi->addLayout(spiRows);
}

void frmUSBdebug::BuildManualSetup(int hexWidth)
{
    frameManualSetup = new QGroupBox(QStringLiteral("Manual Setup"));
    auto* m = new QGridLayout(frameManualSetup);
    lblNumWords = new QLabel(QStringLiteral("# Words to Write"));
    txtNumWords = new QLineEdit(QStringLiteral("1"));
    txtNumWords->setMaximumWidth(hexWidth);
    Label1 = new QLabel(QStringLiteral("Write (hex)"));
    lblRead = new QLabel(QStringLiteral("Readback"));
    m->addWidget(lblNumWords, 0, 0, 1, 3);
    m->addWidget(txtNumWords, 0, 3);
    // One heading over each column of the two write/readback pairs.
    m->addWidget(Label1, 1, 0, Qt::AlignHCenter);
    m->addWidget(lblRead, 1, 1, Qt::AlignHCenter);
    m->addWidget(new QLabel(Label1->text()), 1, 2, Qt::AlignHCenter);
    m->addWidget(new QLabel(lblRead->text()), 1, 3, Qt::AlignHCenter);
    for (int i = 1; i <= 16; ++i) {
        txtWriteSpi[i] = new QLineEdit(QStringLiteral("0"));
        txtReadSpi[i] = ReadOnlyBox();
        txtWriteSpi[i]->setMaximumWidth(hexWidth);
        txtReadSpi[i]->setMaximumWidth(hexWidth);
        // Two columns of eight write/readback pairs.
        const int row = 2 + (i - 1) % 8;
        const int col = (i - 1) / 8 * 2;
        m->addWidget(txtWriteSpi[i], row, col);
        m->addWidget(txtReadSpi[i], row, col + 1);
    }
    cmdWriteSpi = new QPushButton(QStringLiteral("Write"));
    cmdLoop = new QPushButton(kLoop);
    m->addWidget(cmdWriteSpi, 10, 0, 1, 2);
    m->addWidget(cmdLoop, 10, 2, 1, 2);
}

void frmUSBdebug::Connect()
{
    // A choice made by the search runs the same action as a click.
    for (int i = 0; i < 5; ++i)
        connect(optUsbPort[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optUsbPort_Click(i);
        });
    for (int k = 1; k <= 4; ++k)
        connect(optSpiChan[k], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on)
                optSpiChan_Click(k);
        });
    connect(cmdFindEzUsb, &QPushButton::clicked, this, &frmUSBdebug::cmdFindEzUsb_Click);
    connect(cmdPolarity, &QPushButton::clicked, this, &frmUSBdebug::cmdPolarity_Click);
    connect(cmdReadDelay, &QPushButton::clicked, this, &frmUSBdebug::cmdReadDelay_Click);
    connect(txtLoopDelay, &QLineEdit::returnPressed, this, &frmUSBdebug::txtLoopDelay_Enter);
    connect(cmdReadBits, &QPushButton::clicked, this, &frmUSBdebug::cmdReadBits_Click);
    connect(cmdSetSpiBits, &QPushButton::clicked, this, &frmUSBdebug::cmdSetSpiBits_Click);
    connect(cmdWriteSpi, &QPushButton::clicked, this, &frmUSBdebug::cmdWriteSpi_Click);
    connect(cmdLoop, &QPushButton::clicked, this, &frmUSBdebug::cmdLoop_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmUSBdebug::cmdExit_Click);
}

void frmUSBdebug::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (e->spontaneous())
        return;
    if (!loaded_)
        Form_Load();
    Form_Activate();
}

void frmUSBdebug::closeEvent(QCloseEvent* e)
{
    // The close box means "OK": the window is only ever hidden.
    e->ignore();
    cmdExit_Click();
}

void frmUSBdebug::Form_Load()
{
    loaded_ = true;
    if (frmForm1::exists())
        ui::PlaceRelativeTo(this, frmForm1::instance(), 0, 0);
}

void frmUSBdebug::Form_Activate()
{
    cmdFindEzUsb_Click();
    const int chan = Module1::SpiChannel;
    if (chan >= 1 && chan <= 4)
        optSpiChan[chan]->setChecked(true);
    cmdPolarity->setText(Module1::SpiPolarityPositive == VTrue ? kPos : kNeg);
}

bool frmUSBdebug::CardReady() const { return EzUsb::SelectedUsbCard.Valid == VTrue; }

void frmUSBdebug::cmdFindEzUsb_Click()
{
    for (int i = 0; i < 4; ++i) {
        txtUsbPort[i]->setText(QStringLiteral("None"));
        optUsbPort[i]->setEnabled(false);
        txtDescript0[i]->clear();
        txtDescript1[i]->clear();
        txtDriverRev[i]->clear();
        txtSpeed[i]->clear();
    }
    SelectFirstUsbCard();
    for (int i = 0; i < 4; ++i) {
        const UsbCardInfo card = EzUsb::UsbCards[i];
        if (card.Valid != VTrue)
            continue;
        txtUsbPort[i]->setText(QString::number(card.Number) + QStringLiteral(" - ") + card.CardType);
        optUsbPort[i]->setEnabled(true);
        if (EzUsb::SelectedUsbCardIndex == i)
            optUsbPort[i]->setChecked(true);
        txtDescript0[i]->setText(card.Manufacturer);
        txtDescript1[i]->setText(card.Product);
        txtDriverRev[i]->setText(UsbDebug::VersionText(double(card.FirmwareVersion)));
        txtSpeed[i]->setText(UsbDebug::UsbVersionText(card.UsbVersion));
    }
    if (EzUsb::SelectedUsbCardIndex == -1)
        optUsbPort[4]->setChecked(true);
}

void frmUSBdebug::optUsbPort_Click(int index)
{
    if (index >= 0 && index <= 3) {
        EzUsb::SelectedUsbCard = EzUsb::UsbCards[index];
        frameSpiSetup->setEnabled(true);
        frameManualSetup->setEnabled(true);
        SetSpiBits(Module1::SpiStaticBits);
        SetupSpi(Module1::SpiDelay);
        cmdReadDelay_Click();
        cmdReadBits_Click();
    } else if (index == 4) {
        frameSpiSetup->setEnabled(false);
        frameManualSetup->setEnabled(false);
        EzUsb::SelectedUsbCard.Valid = VFalse;
        Module1::SpiLoopStop = VTrue;
    }
}

void frmUSBdebug::optSpiChan_Click(int index) { Module1::SpiChannel = static_cast<uint8_t>(index); }

void frmUSBdebug::cmdPolarity_Click()
{
    if (cmdPolarity->text() == kPos) {
        cmdPolarity->setText(kNeg);
        Module1::SpiPolarityPositive = VFalse;
    } else {
        cmdPolarity->setText(kPos);
        Module1::SpiPolarityPositive = VTrue;
    }
}

void frmUSBdebug::cmdReadDelay_Click()
{
    if (!CardReady()) {
        ui::MessageBox(kSelectBuffer);
        txtLoopDelay->setText(QString::number(Module1::SpiDelay));
        return;
    }
    ReadSpiConfig();
    txtLoopDelay->setText(QString::number(Module1::SpiDelay));
}

void frmUSBdebug::txtLoopDelay_Enter()
{
    if (!CardReady()) {
        ui::MessageBox(kSelectBuffer);
        txtLoopDelay->setText(QString::number(Module1::SpiDelay));
        return;
    }
    uint8_t d = UsbDebug::DelayFromText(txtLoopDelay->text());
    SetupSpi(d);
    txtLoopDelay->setText(QString::number(Module1::SpiDelay));
}

void frmUSBdebug::cmdReadBits_Click()
{
    if (!CardReady()) {
        ui::MessageBox(kSelectBuffer);
        txtLoopDelay->setText(QString::number(Module1::SpiDelay));
        return;
    }
    for (int cs = 2; cs <= 5; ++cs)
        chkStaticBits[cs]->setChecked(false);
    ReadSpiConfig();
    for (int cs = 2; cs <= 5; ++cs)
        chkStaticBits[cs]->setChecked((Module1::SpiStaticBits & UsbDebug::StaticBitMask(cs)) != 0);
}

bool frmUSBdebug::RequireCardForTransfer()
{
    if (CardReady())
        return true;
    ui::MessageBox(kSelectBuffer);
    optUsbPort[4]->setChecked(true);
    Module1::SpiLoopStop = VTrue;
    return false;
}

void frmUSBdebug::cmdSetSpiBits_Click()
{
    if (!RequireCardForTransfer())
        return;
    uint8_t bits = 0;
    for (int cs = 2; cs <= 5; ++cs)
        if (chkStaticBits[cs]->isChecked())
            bits |= UsbDebug::StaticBitMask(cs);
    SetSpiBits(bits);
    if (!CardReady())
        optUsbPort[4]->setChecked(true);
}

void frmUSBdebug::ShowReceivedWords()
{
    for (int i = 1; i <= UsbSpiDrivers::SpiWordCount; ++i)
        txtReadSpi[i]->setText(UsbDebug::WordText(UsbSpiDrivers::SpiRxWords[i]));
}

void frmUSBdebug::cmdWriteSpi_Click()
{
    if (!RequireCardForTransfer())
        return;
    uint8_t& count = UsbSpiDrivers::SpiWordCount;
    if (!txtNumWords->text().isEmpty())
        count = UsbDebug::WordCountFromText(txtNumWords->text());
    if (count < 1)
        count = 1;
    else if (count > 16)
        count = 16;
    txtNumWords->setText(QString::number(count));
    for (int i = 1; i <= count; ++i) {
        const QString text = txtWriteSpi[i]->text();
        UsbSpiDrivers::SpiTxWords[i] = text.isEmpty() ? 0 : Module1::HexToLong(text);
        txtWriteSpi[i]->setText(UsbDebug::WordText(UsbSpiDrivers::SpiTxWords[i]));
    }
    for (int i = count + 1; i <= 16; ++i)
        txtWriteSpi[i]->clear();
    for (int i = 1; i <= 16; ++i)
        txtReadSpi[i]->clear();
    SpiTransfer(count);
    if (!CardReady())
        optUsbPort[4]->setChecked(true);
    ShowReceivedWords();
}

void frmUSBdebug::cmdLoop_Click()
{
    if (cmdLoop->text() != kLoop) {
        Module1::SpiLoopStop = VTrue;
        cmdLoop->setText(kLoop);
        return;
    }
    cmdLoop->setText(kStop);
    Module1::SpiLoopStop = VFalse;
    cmdWriteSpi_Click();
    while (Module1::SpiLoopStop == VFalse) {
        SpiTransfer(UsbSpiDrivers::SpiWordCount);
        if (!CardReady()) {
            Module1::SpiLoopStop = VTrue;
            optUsbPort[4]->setChecked(true);
            cmdLoop->setText(kLoop);
        }
        ShowReceivedWords();
        // Where a click on "Stop" (or "None") is seen.
        ui::PumpEvents();
    }
    // Also when the first write already found no card.
    cmdLoop->setText(kLoop);
}

void frmUSBdebug::cmdExit_Click()
{
    // A loop must not keep the card busy behind a hidden window.
    Module1::SpiLoopStop = VTrue;
    hide();
}
