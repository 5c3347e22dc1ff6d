#include "config/ui/fmCalibration.h"
#include "config/ConfigConversions.h"
#include "config/ConfigDelay.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "ui/Ui.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace m470Reg;

namespace {
QPointer<fmCalibration> g_instance;

QLabel* Bordered(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(70);
    return l;
}

QFrame* HLine(QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

QLabel* Heading(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}
} // namespace

fmCalibration* fmCalibration::instance()
{
    if (!g_instance)
        g_instance = new fmCalibration(ui::MainWindowOrNull());
    return g_instance;
}

fmCalibration::fmCalibration(QWidget* parent)
    : ActivatingWindow(parent)
{
    setObjectName(QStringLiteral("fmCalibration"));
    setWindowTitle(QStringLiteral("Calibration"));

    cmdReadFromFlash = new QPushButton(QStringLiteral("Read from Flash"), this);
    cmdFlashUpdate = new QPushButton(QStringLiteral("Write to Flash"), this);
    cmdWriteAUX1 = new QPushButton(QStringLiteral("Update"), this);
    txtAUX1null = new QLineEdit(QStringLiteral("AUX1null"), this);
    cmdAutoNull = new QPushButton(QStringLiteral("Auto Null"), this);
    cmdWriteAXU0 = new QPushButton(QStringLiteral("Update"), this);
    cmdWriteX = new QPushButton(QStringLiteral("Update"), this);
    txtAUX0null = new QLineEdit(QStringLiteral("ADC0null"), this);
    txtXnull = new QLineEdit(QStringLiteral("Xnull"), this);
    lblAUX1nullReg = Bordered(QStringLiteral("lblAUX1null"), this);
    lblAUX0nullReg = Bordered(QStringLiteral("lblAUX0null"), this);
    lblXnullReg = Bordered(QStringLiteral("lblXnull"), this);
    Label11 = new QLabel(QStringLiteral("X_Null"), this);
    Label12 = new QLabel(QStringLiteral("Y_Null"), this);
    Label3 = new QLabel(QStringLiteral("Z_Null"), this);
    Label18 = new QLabel(QStringLiteral("(g)"), this);
    Label19 = new QLabel(QStringLiteral("(g)"), this);
    Label7 = new QLabel(QStringLiteral("(g)"), this);
    Label21 = new QLabel(QStringLiteral("Register Contents"), this);
    Label5 = Heading(QStringLiteral("Manual Calibration Adjustment"), this);
    Label1 = Heading(QStringLiteral("Automatic Features"), this);
    Line1 = HLine(this);
    Line2 = HLine(this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label5, 0, 0, 1, 5);
    grid->addWidget(Label21, 1, 4);
    grid->addWidget(Label11, 2, 0);
    grid->addWidget(txtXnull, 2, 1);
    grid->addWidget(Label18, 2, 2);
    grid->addWidget(cmdWriteX, 2, 3);
    grid->addWidget(lblXnullReg, 2, 4);
    grid->addWidget(Label12, 3, 0);
    grid->addWidget(txtAUX0null, 3, 1);
    grid->addWidget(Label19, 3, 2);
    grid->addWidget(cmdWriteAXU0, 3, 3);
    grid->addWidget(lblAUX0nullReg, 3, 4);
    grid->addWidget(Label3, 4, 0);
    grid->addWidget(txtAUX1null, 4, 1);
    grid->addWidget(Label7, 4, 2);
    grid->addWidget(cmdWriteAUX1, 4, 3);
    grid->addWidget(lblAUX1nullReg, 4, 4);
    grid->addWidget(Line1, 5, 0, 1, 5);
    grid->addWidget(Label1, 6, 0, 1, 5);
    grid->addWidget(cmdAutoNull, 7, 0, 1, 2);
    grid->addWidget(Line2, 8, 0, 1, 5);
    auto* flash = new QHBoxLayout;
    flash->addWidget(cmdReadFromFlash);
    flash->addWidget(cmdFlashUpdate);
    grid->addLayout(flash, 9, 0, 1, 5);
    grid->setRowStretch(10, 1);

    connect(cmdWriteX, &QPushButton::clicked, this, &fmCalibration::cmdWriteX_Click);
    connect(cmdWriteAXU0, &QPushButton::clicked, this, &fmCalibration::cmdWriteAXU0_Click);
    connect(cmdWriteAUX1, &QPushButton::clicked, this, &fmCalibration::cmdWriteAUX1_Click);
    connect(cmdAutoNull, &QPushButton::clicked, this, &fmCalibration::cmdAutoNull_Click);
    connect(cmdFlashUpdate, &QPushButton::clicked, this, &fmCalibration::cmdFlashUpdate_Click);
    connect(cmdReadFromFlash, &QPushButton::clicked, this, &fmCalibration::cmdReadFromFlash_Click);

    for (QLineEdit* box : {txtXnull, txtAUX0null, txtAUX1null})
        ui::FitText(box, QStringLiteral("-000.0000"));
    ResizeTwips(4470, 4335);
    resize(size().expandedTo(minimumSizeHint()));
}

void fmCalibration::Form_Activate()
{
    PlaceBesideMainWindow(3000, 300);
    ReadCalRegisters();
}

void fmCalibration::ReadCalRegisters() { ShowNulls(ReadNulls()); }

std::array<fmCalibration::NullReading, 3> fmCalibration::ReadNulls()
{
    const RegisterMap& t = m470Reg::Table();
    std::array<NullReading, 3> out;
    const int16_t rows[3] = {t.idxX_NULL, t.idxAUX0_NULL, t.idxAUX1_NULL};
    for (size_t k = 0; k < 3; ++k) {
        const RegisterEntry& row = t.RegisterTable[static_cast<size_t>(rows[k])];
        out[k].name = row.Label.trimmed();
        out[k].counts = row.RegScale == 1.0f;
        ReadRegister(rows[k]);
        if (ProgramSession().LinkUp())
            out[k].raw = Spi_mod::RegRaw;
        out[k].value = Spi_mod::RegValue;
    }
    return out;
}

void fmCalibration::ShowNulls(const std::array<NullReading, 3>& nulls)
{
    QLabel* hex[3] = {lblXnullReg, lblAUX0nullReg, lblAUX1nullReg};
    QLineEdit* boxes[3] = {txtXnull, txtAUX0null, txtAUX1null};
    for (size_t k = 0; k < 3; ++k) {
        hex[k]->setText(cfg::Hex16(nulls[k].raw.value_or(Spi_mod::RegRaw)));
        boxes[k]->setText(cfg::FormatFixed(nulls[k].value, 4));
    }
}

bool fmCalibration::ConfirmAutoNull()
{
    return ui::MessageBox(QStringLiteral("Run the automatic null?\n\nThe sensor measures its output at rest and "
                                         "replaces the three null registers with it. Keep the sensor still."),
                          MsgIcon::Question, MsgButtons::YesNo, QStringLiteral("Auto-Null")) == MsgResult::Yes;
}

void fmCalibration::ReportAutoNull(const std::array<NullReading, 3>& nulls)
{
    QStringList lines{QStringLiteral("The sensor wrote the null registers:"), QString()};
    bool all = true;
    for (const NullReading& n : nulls) {
        all = all && n.raw.has_value();
        // A register that could not be read has no value to report.
        const QString value = !n.raw ? QStringLiteral("-")
                              : n.counts
                                  ? QStringLiteral("%1 counts").arg(*n.raw)
                                  : QStringLiteral("%1 g").arg(cfg::FormatFixed(n.value, 4));
        const QString hex = n.raw ? QStringLiteral("%1").arg(*n.raw & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper() : QString();
        lines << (n.raw ? QStringLiteral("%1 = %2 (0x%3)").arg(n.name, value, hex)
                        : QStringLiteral("%1 = %2").arg(n.name, value));
    }
    if (!all)
        lines << QString() << QStringLiteral("A value shown as - could not be read back from the sensor.");
    ui::MessageBox(lines.join(QLatin1Char('\n')), all ? MsgIcon::Information : MsgIcon::Exclamation, MsgButtons::Ok,
                   QStringLiteral("Auto-Null"));
}

void fmCalibration::WriteNull(int16_t row, QLineEdit* box)
{
    const double v = LeadingNumber(box->text());
    WriteRegister(row, cfg::NullCounts(v, m470Reg::Table().RegisterTable[static_cast<size_t>(row)].RegScale));
    cfg::WaitMs(100);
    ReadCalRegisters();
}

void fmCalibration::cmdWriteX_Click() { WriteNull(m470Reg::Table().idxX_NULL, txtXnull); }
void fmCalibration::cmdWriteAXU0_Click() { WriteNull(m470Reg::Table().idxAUX0_NULL, txtAUX0null); }
void fmCalibration::cmdWriteAUX1_Click() { WriteNull(m470Reg::Table().idxAUX1_NULL, txtAUX1null); }

void fmCalibration::cmdAutoNull_Click()
{
    if (!ConfirmAutoNull())
        return;
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdAutoNull);
    cfg::WaitMs(700);
    const auto nulls = ReadNulls();
    ShowNulls(nulls);
    ReportAutoNull(nulls);
}

void fmCalibration::cmdFlashUpdate_Click()
{
    setCursor(Qt::WaitCursor);
    ui::PumpEvents();
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdFlashBackup);
    cfg::WaitMs(600);
    unsetCursor();
    ui::PumpEvents();
}

void fmCalibration::RestoreFromFlash()
{
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdFlashRestore);
    cfg::WaitMs(250);
    ReadCalRegisters();
}

void fmCalibration::cmdReadFromFlash_Click() { RestoreFromFlash(); }
