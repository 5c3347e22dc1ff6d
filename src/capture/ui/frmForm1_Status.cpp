#include "capture/ui/frmForm1.h"
#include "capture/CaptureRecord.h"
#include "capture/CaptureSettings.h"
#include "config/ConfigConversions.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "ui/Ui.h"

#include <QColor>

namespace {
constexpr uint32_t kStatusUnknownRgb = 0xC0C0C0;
}
#include <QLabel>

void frmForm1::ShowStatusRow(int bit, const QString& text, uint32_t rgb)
{
    QLabel* box = LbLAbit[bit];
    box->setText(text);
    QPalette p = box->palette();
    p.setColor(QPalette::Window, QColor::fromRgb(rgb));
    // Dark text stays readable on the three bright colours under any theme.
    p.setColor(QPalette::WindowText, Qt::black);
    box->setPalette(p);
}

std::optional<int32_t> frmForm1::ReadStatus()
{
    const std::optional<int32_t> s = capture::ReadStatusWord(ProgramSession());
    ShowStatusWord(s);
    return s;
}

void frmForm1::ShowStatusWord(const std::optional<int32_t>& s)
{
    for (int i = 0; i < CaptureSettings::kStatusRows; ++i)
        LBLAtitle[i]->setText(CaptureSettings::StatusTitle(i));
    for (int i = 0; i < CaptureSettings::kStatusRows; ++i) {
        // With no interface answering, the last word read says nothing about the sensor now.
        if (!s) {
            ShowStatusRow(i, QStringLiteral("unknown"), kStatusUnknownRgb);
            continue;
        }
        const CaptureSettings::StatusRow row = CaptureSettings::DecodeStatusRow(*s, i);
        ShowStatusRow(i, row.text, row.rgb);
    }
    ui::PumpEvents();
}

void frmForm1::ClearStatus()
{
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdClearStatus);
    Delay(50);
    ReadStatus();
}
