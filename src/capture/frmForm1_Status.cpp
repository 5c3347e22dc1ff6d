#include "capture/frmForm1.h"
#include "capture/CaptureRecord.h"
#include "capture/CaptureSettings.h"
#include "config/ConfigConversions.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "ui/Ui.h"

#include <QColor>
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

void frmForm1::ReadStatus()
{
    for (int i = 0; i < CaptureSettings::kStatusRows; ++i)
        LBLAtitle[i]->setText(CaptureSettings::StatusTitle(i));
    ReadRegister(m470Reg::idxSTATUS);
    const int32_t s = Spi_mod::RegRaw;
    for (int i = 0; i < CaptureSettings::kStatusRows; ++i) {
        const CaptureSettings::StatusRow row = CaptureSettings::DecodeStatusRow(s, i);
        ShowStatusRow(i, row.text, row.rgb);
        StatusDisplay::StatusBits[i] = row.set ? QStringLiteral("1") : QStringLiteral("0");
    }
    ui::PumpEvents();
}

void frmForm1::ClearStatus()
{
    WriteRegister(m470Reg::idxCOMMAND, cfg::kCmdClearStatus);
    Delay(50);
    ReadStatus();
}
