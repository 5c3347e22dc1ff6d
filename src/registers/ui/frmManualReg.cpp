#include "registers/ui/frmManualReg.h"
#include "config/ConfigConversions.h"
#include "config/ConfigDelay.h"
#include "config/ui/GuiActivation.h"
#include "device/Spi_mod.h"
#include "registers/RegisterListing.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

using namespace m470Reg;

namespace {
QPointer<frmManualReg> g_instance;
std::function<bool()> g_printerProbe;
std::function<QString()> g_fileChooser;

QString TrueFalse(VBool flag) { return flag ? QStringLiteral("True") : QStringLiteral("False"); }

bool PaintOnto(QPrinter& printer, const QImage& image)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRect page = painter.viewport();
    const QSize size = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), size), image);
    return painter.end();
}
} // namespace

frmManualReg* frmManualReg::instance()
{
    if (!g_instance)
        g_instance = new frmManualReg(ui::MainWindowOrNull());
    return g_instance;
}

bool frmManualReg::loaded() { return !g_instance.isNull(); }

void frmManualReg::SetPrinterAvailableProbe(std::function<bool()> probe) { g_printerProbe = std::move(probe); }
void frmManualReg::SetPrintFileChooser(std::function<QString()> chooser) { g_fileChooser = std::move(chooser); }

frmManualReg::frmManualReg(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmManualReg"));
    setWindowTitle(QStringLiteral("Registers"));
    setAttribute(Qt::WA_DeleteOnClose);

    frameRegister = new QGroupBox(QStringLiteral("Register Read/Write"), this);
    cmboRegister = new QComboBox(frameRegister);
    auto field = [this](const QString& caption, QLabel*& label, QLineEdit*& box) {
        label = new QLabel(caption, frameRegister);
        box = new QLineEdit(frameRegister);
    };
    field(QStringLiteral("Base Addr (Hex)"), lblRegAddr, txtRegAddr);
    field(QStringLiteral("Num Bytes"), lblRegByte, txtRegByte);
    field(QStringLiteral("Read Flag"), lblRegRead, txtRegRead);
    field(QStringLiteral("Write Flag"), lblRegWrite, txtRegWrite);
    cmdRead = new QPushButton(QStringLiteral("Read (Hex)"), frameRegister);
    txtRegHex = new QLineEdit(frameRegister);
    Label1 = new QLabel(QStringLiteral("Deci. Value"), frameRegister);
    txtRegVal = new QLineEdit(frameRegister);
    cmdWrite = new QPushButton(QStringLiteral("Write (Hex)"), frameRegister);
    txtDataWrite = new QLineEdit(frameRegister);

    auto* rg = new QGridLayout(frameRegister);
    rg->addWidget(cmboRegister, 0, 0, 1, 2);
    rg->addWidget(lblRegAddr, 1, 0);
    rg->addWidget(txtRegAddr, 1, 1);
    rg->addWidget(lblRegByte, 2, 0);
    rg->addWidget(txtRegByte, 2, 1);
    rg->addWidget(lblRegRead, 3, 0);
    rg->addWidget(txtRegRead, 3, 1);
    rg->addWidget(lblRegWrite, 4, 0);
    rg->addWidget(txtRegWrite, 4, 1);
    rg->addWidget(cmdRead, 5, 0);
    rg->addWidget(txtRegHex, 5, 1);
    rg->addWidget(Label1, 6, 0);
    rg->addWidget(txtRegVal, 6, 1);
    rg->addWidget(cmdWrite, 7, 0);
    rg->addWidget(txtDataWrite, 7, 1);
    rg->setRowStretch(8, 1);

    frameUserReg = new QGroupBox(QStringLiteral("User Registers (Hex Values)"), this);
    txtUserReg = new QPlainTextEdit(frameUserReg);
    txtUserReg->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtUserReg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtUserReg->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtUserReg->setTabStopDistance(txtUserReg->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 8);
    cmdReadAllReg = new QPushButton(QStringLiteral("Read"), frameUserReg);
    auto* ul = new QVBoxLayout(frameUserReg);
    ul->addWidget(txtUserReg, 1);
    ul->addWidget(cmdReadAllReg);

    cmdPrint = new QPushButton(QStringLiteral("Print"), this);
    cmdUpdateFlash = new QPushButton(QStringLiteral("Update Flash"), this);
    cmdClose = new QPushButton(QStringLiteral("Close Window"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdUpdateFlash);
    buttons->addWidget(cmdPrint);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* top = new QHBoxLayout;
    top->addWidget(frameRegister);
    top->addWidget(frameUserReg, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    connect(cmboRegister, &QComboBox::activated, this, [this](int) { cmboRegister_Click(); });
    connect(cmdRead, &QPushButton::clicked, this, &frmManualReg::cmdRead_Click);
    connect(cmdWrite, &QPushButton::clicked, this, &frmManualReg::cmdWrite_Click);
    connect(cmdReadAllReg, &QPushButton::clicked, this, &frmManualReg::cmdReadAllReg_Click);
    connect(cmdUpdateFlash, &QPushButton::clicked, this, &frmManualReg::cmdUpdateFlash_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmManualReg::cmdPrint_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmManualReg::cmdClose_Click);

    resize(ui::TwipsToPixelsX(9000), ui::TwipsToPixelsY(6600));
    Form_Load();
}

void frmManualReg::Form_Load()
{
    ui::PlaceRelativeTo(this, ui::MainWindowOrNull(), 0, 0);
    for (int i = 0; i <= m470Reg::Table().LastRegisterIndex; ++i)
        cmboRegister->addItem(m470Reg::Table().RegisterTable[static_cast<size_t>(i)].Label);
    cmboRegister->setCurrentIndex(-1);
    cmdReadAllReg_Click();
}

void frmManualReg::closeEvent(QCloseEvent* e)
{
    // Closing by the frame unloads the window; the next opening loads it afresh.
    e->accept();
}

int frmManualReg::ChosenRow()
{
    const int r = cmboRegister->currentIndex();
    if (r < 0)
        ui::MessageBox(QStringLiteral("Please choose a register from the list first."), MsgIcon::Information);
    return r;
}

void frmManualReg::ShowRegisterValue()
{
    txtRegVal->setText(cfg::GeneralNumberText(Spi_mod::RegValue));
    txtRegHex->setText(cfg::Hex32(Spi_mod::RegRaw));
}

void frmManualReg::cmboRegister_Click()
{
    const int r = cmboRegister->currentIndex();
    if (r < 0)
        return;
    const RegisterEntry& e = m470Reg::Table().RegisterTable[static_cast<size_t>(r)];
    txtRegAddr->setText(QString::number(e.BaseAddr, 16).toUpper());
    txtRegByte->setText(QString::number(e.NumBytes));
    txtRegRead->setText(TrueFalse(e.ReadFlag));
    txtRegWrite->setText(TrueFalse(e.WriteFlag));
    cmdWrite->setEnabled(e.WriteFlag != VFalse);
    cmdRead->setEnabled(e.ReadFlag != VFalse);
    ReadRegister(static_cast<int16_t>(r));
    ShowRegisterValue();
    txtDataWrite->clear();
}

void frmManualReg::cmdRead_Click()
{
    const int r = ChosenRow();
    if (r < 0 || m470Reg::Table().RegisterTable[static_cast<size_t>(r)].ReadFlag == VFalse)
        return;
    txtRegHex->clear();
    ReadRegister(static_cast<int16_t>(r));
    ShowRegisterValue();
}

void frmManualReg::cmdWrite_Click()
{
    const int r = ChosenRow();
    if (r < 0)
        return;
    WriteRegister(static_cast<int16_t>(r), Module1::HexToLong(txtDataWrite->text()));
    cfg::WaitMs(100);
    cmdReadAllReg_Click();
    ReadRegister(static_cast<int16_t>(r));
    ShowRegisterValue();
}

void frmManualReg::cmdReadAllReg_Click() { txtUserReg->setPlainText(RegisterListing::ReadAll()); }

void frmManualReg::cmdUpdateFlash_Click()
{
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdFlashBackup);
    cfg::WaitMs(250);
}

void frmManualReg::cmdPrint_Click() { PrintImage(grab().toImage()); }

void frmManualReg::PrintImage(const QImage& image)
{
    const bool printer = g_printerProbe ? g_printerProbe() : !QPrinterInfo::defaultPrinter().isNull();
    if (printer) {
        QPrinter out(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
        out.setDocName(windowTitle());
        if (!PaintOnto(out, image))
            ui::MessageBox(QStringLiteral("The window could not be printed."), MsgIcon::Exclamation);
        return;
    }
    QString path;
    if (g_fileChooser) {
        path = g_fileChooser();
    } else {
        QString filter;
        path = QFileDialog::getSaveFileName(this, QStringLiteral("No printer found - save the window image"),
                                            QDir::home().filePath(QStringLiteral("Registers.pdf")),
                                            QStringLiteral("PDF document (*.pdf);;PNG image (*.png)"), &filter);
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += filter.startsWith(QLatin1String("PNG")) ? QStringLiteral(".png") : QStringLiteral(".pdf");
    }
    if (path.isEmpty())
        return;
    bool ok = false;
    if (QFileInfo(path).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0) {
        ok = image.save(path, "PNG");
    } else {
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(path);
        pdf.setDocName(windowTitle());
        ok = PaintOnto(pdf, image);
    }
    if (!ok)
        ui::MessageBox(QStringLiteral("The window image could not be saved to %1").arg(QDir::toNativeSeparators(path)),
                       MsgIcon::Exclamation);
}

void frmManualReg::cmdClose_Click() { hide(); }
