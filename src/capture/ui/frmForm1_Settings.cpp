#include "capture/ui/frmForm1.h"
#include "capture/FastReadout.h"
#include "capture/CaptureSettings.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

using namespace CaptureSettings;

void frmForm1::WriteCapCtrl()
{
    if (CapCtrlUpdating != 0)
        return;
    const int32_t value = ComposeCaptCtrl(ckPowerDown->isChecked(), ComboCapMode->currentIndex(),
                                          ComboPreTrigLength->currentIndex(), ckWriteFlash->isChecked(),
                                          ckBPfilter->isChecked());
    WriteRegister(m470Reg::Table().idxCAPT_CTRL, value);
    Delay(100);
    ReadCapCtrl();
}

void frmForm1::ReadCapCtrl()
{
    CapCtrlUpdating = 1;
    ShowWorkingCapPrd(111);

    ReadRegister(m470Reg::Table().idxCAPT_CTRL);
    const CaptCtrlFields f = DecodeCaptCtrl(Spi_mod::RegRaw);
    ckBPfilter->setChecked(f.bpFilter);
    ckWriteFlash->setChecked(f.writeFlash);
    ComboPreTrigLength->setCurrentIndex(f.preTrigger);

    // Extended entries are chosen by the axis below; a mode the list lacks selects nothing.
    ComboCapMode->setCurrentIndex(f.mode < ComboCapMode->count() ? f.mode : -1);
    ckPowerDown->setChecked(f.powerDown);
    ckAutoReArm->hide();

    const ModeCaption mc = CaptionForModeIndex(ComboCapMode->currentIndex());
    CaptureModeName = mc.modeName;
    cmdONE->setText(mc.buttonCaption);
    if (mc.autoReArmVisible)
        ckAutoReArm->show();
    // The sensor captures by itself only in automatic and event mode.
    const bool selfCapturing = ComboCapMode->currentIndex() == 1 || ComboCapMode->currentIndex() == 2;
    ckAutoReadout->setVisible(selfCapturing);
    LbLCapturesRead->setVisible(selfCapturing);
    if (ComboCapMode->currentIndex() == 3) {
        if (f.axis == 3)
            ui::MessageBox(ExtendedAxisErrorText(f.axis));
        else
            ComboCapMode->setCurrentIndex(ModeIndexForRead(f, ComboCapMode->count()));
    }

    // The count-down follows the mode (an extended capture takes three buffers' time) and the
    // write-to-flash column, not only the averaging: a short count-down would read stale buffers.
    ShowCapDuration();
    ui::PumpEvents();
    CapCtrlUpdating = 0;
}

void frmForm1::ShowWorkingCapPrd(double ms)
{
    const QString saved = FraCap->title();
    FraCap->setTitle(QStringLiteral("WRITE/READ CAPT_CTRL"));
    ui::PumpEvents();
    DelayA(static_cast<int32_t>(RoundHalfEven(ms)));
    FraCap->setTitle(saved);
    ui::PumpEvents();
}

void frmForm1::WriteCAPT_PRD()
{
    const QString saved = FrameCaptPrd->title();
    FrameCaptPrd->setTitle(QStringLiteral("Write/Read CAPT_PRD"));
    ui::PumpEvents();
    const auto n = static_cast<int32_t>(RoundHalfEven(LeadingNumber(txtTimerValue->text())));
    WriteRegister(m470Reg::Table().idxCAPT_PRD, ComposeCaptPrd(ComboTimerUnits->currentIndex(), n));
    Delay(101);
    ReadCapPrd();
    FrameCaptPrd->setTitle(saved);
    ui::PumpEvents();
}

void frmForm1::txtTimerValue_KeyUp()
{
    const QString text = txtTimerValue->text();
    if (!IsNumericText(text)) {
        ui::SetTextKeepingCaret(txtTimerValue, QStringLiteral("1"));
        return;
    }
    const double v = LeadingNumber(text);
    if (v > 0 && v <= 255)
        WriteCAPT_PRD();
    // Out-of-range values are only corrected in the box; the next key release writes them.
    if (v < 1)
        ui::SetTextKeepingCaret(txtTimerValue, QStringLiteral("1"));
    if (v > 255)
        ui::SetTextKeepingCaret(txtTimerValue, QStringLiteral("255"));
}

void frmForm1::ReadCapPrd()
{
    ReadRegister(m470Reg::Table().idxCAPT_PRD);
    LastCaptPrd = Spi_mod::RegRaw;
    // Read back on every key release: the user's caret and selection stay.
    ui::SetTextKeepingCaret(txtTimerValue, QString::number(PeriodOf(Spi_mod::RegRaw)));
    int u = UnitsOf(Spi_mod::RegRaw);
    if (u > 2) {
        ui::MessageBox(TimeUnitsErrorText(u));
        u = -1;
    }
    if (u >= 0 && u <= 2)
        ComboTimerUnits->setCurrentIndex(u);
    UpdateIntervalWarning();
}

void frmForm1::ComboAVG_Click()
{
    const QString saved = fraAvg->title();
    fraAvg->setTitle(QStringLiteral("WRITE / READ AVG_CNT"));
    ui::PumpEvents();
    WriteRegister(m470Reg::Table().idxAVG_CNT, ComboAVG->currentIndex());
    Delay(100);
    ReadAVG();
    fraAvg->setTitle(saved);
    ui::PumpEvents();
}

void frmForm1::ReadAVG()
{
    ReadRegister(m470Reg::Table().idxAVG_CNT);
    const int n = AvgExponentForRead(Spi_mod::RegValue);
    // Exponents 11..15 have no list entry: the list shows the sample count it stands for, and the
    // duration is the longest known one, so a capture is never read before it can have ended.
    const bool listed = n < ComboAVG->count();
    ComboAVG->setPlaceholderText(listed ? QString() : QString::number(1 << n));
    ComboAVG->setCurrentIndex(listed ? n : -1);

    LastAvgExponent = n;
    ShowCapDuration();
}

void frmForm1::ShowCapDuration()
{
    if (const auto table = DurationTable(Module1::ProductNumber, ckWriteFlash->isChecked()))
        CaptureDurations = *table;
    const int n = LastAvgExponent;
    const int durationIndex = n < kAvgListCount ? n : kAvgListCount - 1;
    LbLCapDuration->setText(DurationLabelText(CaptureDurations[durationIndex], ComboCapMode->currentIndex() > 2));
    UpdateIntervalWarning();
    UpdateAutoReadout(); // the poll interval follows the capture time
}

double frmForm1::CaptureSecondsShown() const { return LeadingNumber(LbLCapDuration->text()); }

void frmForm1::UpdateIntervalWarning()
{
    const double interval =
        LastCaptPrd >= 0 ? capture::IntervalSeconds(LastCaptPrd).value_or(0.0) : 0.0; // 0: not known
    const bool fast = FastReadout::Applies(ProgramSession());
    // The read-out only counts when auto read-out has to keep up.
    const std::optional<double> readOut =
        ckAutoReadout->isChecked() ? std::optional<double>(readOutSeconds_.value_or(capture::NominalReadOutSeconds(fast)))
                                   : std::nullopt;
    const std::optional<QString> warning = ComboCapMode->currentIndex() == 1
                                               ? capture::IntervalWarning(interval, CaptureSecondsShown(), readOut, fast)
                                               : std::nullopt;
    if (warning)
        LbLIntervalWarning->setText(*warning);
    LbLIntervalWarning->setVisible(warning.has_value());
}
