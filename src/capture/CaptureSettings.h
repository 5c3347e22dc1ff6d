#pragma once
// Capture set-up registers (CAPT_CTRL, CAPT_PRD, AVG_CNT) and the status register as the main
// window shows them: bit-field composition and decoding, capture durations, status row texts.
// No widgets here, so every rule can be checked without a window.
#include "shell/Numbers.h"
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace CaptureSettings {

// ---- CAPT_CTRL ----
// Capture-mode list index: 0 Manual, 1 Automatic, 2 Event, 3..5 Extended Time X/Y/Z.
struct CaptCtrlFields {
    bool powerDown = false;   // bit 0
    int mode = 0;             // bits 2-3
    int preTrigger = 0;       // bits 4-5, pre-trigger list index
    bool writeFlash = false;  // bit 6
    bool bpFilter = false;    // bit 7
    int axis = 0;             // bits 8-9, extended-mode axis
};

int32_t ComposeCaptCtrl(bool powerDown, int modeIndex, int preTrigIndex, bool writeFlash, bool bpFilter);
CaptCtrlFields DecodeCaptCtrl(int32_t raw);

// Capture-mode list items of a product (empty for an unknown product).
QStringList CaptureModeItems(int product);

// What the capture button and the abort path see for a selected capture-mode list index.
struct ModeCaption {
    QString modeName;      // "MANUAL", "TIMER", "EVENT" or "NODATA"
    QString buttonCaption; // "Trigger", "Start", "Arm" or "no data"
    bool autoReArmVisible = false;
};
ModeCaption CaptionForModeIndex(int listIndex);

// The list index a CAPT_CTRL read selects on a list of `itemCount` entries: extended mode picks
// its axis entry; a field the list has no entry for selects nothing (-1).
int ModeIndexForRead(const CaptCtrlFields& f, int itemCount);

QString ExtendedAxisErrorText(int axis);

// ---- CAPT_PRD ----
int32_t ComposeCaptPrd(int unitIndex, int period);
int PeriodOf(int32_t raw);
int UnitsOf(int32_t raw);
QString TimeUnitsErrorText(int units);

// ---- AVG_CNT and capture durations ----
constexpr int kAvgListCount = 11; // "1" .. "1024"
// Seconds per averaging exponent 0..10 (index 11 unused); nullopt for an unknown product.
std::optional<std::array<double, 12>> DurationTable(int product, bool writeFlash);
// The averaging exponent a read of AVG_CNT selects (values above 15 count as 0).
int AvgExponentForRead(double scaledValue);
// The duration label: "0.00" of the duration, or in an extended mode that shown value times three
// in the general number format (both in the user's locale).
QString DurationLabelText(double seconds, bool extendedMode);
// The count-down box during a capture: "Capture Busy  " and the seconds left ("0.0").
QString CapBusyText(double seconds);

// ---- user-typed numbers ----
// The whole text is a number (surrounding blanks allowed).
bool IsNumericText(const QString& text);

// ---- STATUS ----
constexpr int kStatusRows = 15;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kYellow = 0xFFFF00;

struct StatusRow {
    QString text;   // "OK", "FAIL" or "SET"
    uint32_t rgb;   // background
    bool set;
};
QString StatusTitle(int bit);
StatusRow DecodeStatusRow(int32_t status, int bit);

} // namespace CaptureSettings
