#include "capture/CaptureSettings.h"
#include "registers/m470Reg.h"

#include <QLocale>
#include <cmath>

namespace CaptureSettings {

int32_t ComposeCaptCtrl(bool powerDown, int modeIndex, int preTrigIndex, bool writeFlash, bool bpFilter)
{
    // The three extended entries share mode field 3 and differ in the axis field.
    int32_t modePart = 4 * modeIndex;
    if (modePart > 12)
        modePart = 12;
    if (modePart < 0)
        modePart = 0;
    int32_t axisPart = 0;
    if (modeIndex == 4)
        axisPart = 256;
    else if (modeIndex == 5)
        axisPart = 512;
    const int32_t preTrig = preTrigIndex < 0 ? 0 : preTrigIndex;
    return (powerDown ? 1 : 0) + modePart + 16 * preTrig + (writeFlash ? 64 : 0) + (bpFilter ? 128 : 0)
        + axisPart;
}

CaptCtrlFields DecodeCaptCtrl(int32_t raw)
{
    CaptCtrlFields f;
    f.axis = (raw & 0x300) / 256;
    f.bpFilter = (raw & 0x80) != 0;
    f.writeFlash = (raw & 0x40) != 0;
    f.preTrigger = (raw & 0x30) / 16;
    f.mode = (raw & 0x0C) / 4;
    f.powerDown = (raw & 0x01) != 0;
    return f;
}

QStringList CaptureModeItems(int product)
{
    QStringList items{QStringLiteral("Manual"), QStringLiteral("Automatic"), QStringLiteral("Event")};
    if (product == 31470)
        return items;
    if (product == 31473)
        return items << QStringLiteral("Extended Time X") << QStringLiteral("Extended Time Y")
                     << QStringLiteral("Extended Time Z");
    return {};
}

ModeCaption CaptionForModeIndex(int listIndex)
{
    switch (listIndex) {
    case 0: return {QStringLiteral("MANUAL"), QStringLiteral("Trigger"), false};
    case 1: return {QStringLiteral("TIMER"), QStringLiteral("Start"), false};
    case 2: return {QStringLiteral("EVENT"), QStringLiteral("Arm"), true};
    case 3:
    case 4:
    case 5: return {QStringLiteral("MANUAL"), QStringLiteral("Trigger"), false};
    default: return {QStringLiteral("NODATA"), QStringLiteral("no data"), false};
    }
}

int ModeIndexForRead(const CaptCtrlFields& f, int itemCount)
{
    int index = f.mode;
    if (index == 3 && f.axis >= 1 && f.axis <= 2)
        index = 3 + f.axis;
    // The single-axis list has no extended entries: select nothing rather than a wrong mode.
    return index < itemCount ? index : -1;
}

QString ExtendedAxisErrorText(int axis)
{
    return QStringLiteral("Error reading CapCtrl register\r\n\r\nExtended mode field, bits 8 & 9 = %1"
                          "\r\n\r\nThis value should not be greater than 2.")
        .arg(axis);
}

int32_t ComposeCaptPrd(int unitIndex, int period)
{
    return (unitIndex < 0 ? 0 : unitIndex) * 256 + period;
}

int PeriodOf(int32_t raw) { return raw & 0xFF; }
int UnitsOf(int32_t raw) { return (raw & 0x300) / 256; }

QString TimeUnitsErrorText(int units)
{
    return QStringLiteral("Error reading Capture Period register\r\n\r\nTime units bit field (bits 8, 9) "
                          "value = %1\r\n\r\nThis value should not be greater than 2.")
        .arg(units);
}

std::optional<std::array<double, 12>> DurationTable(int product, bool writeFlash)
{
    using namespace m470Reg;
    const std::array<double, 11>* seconds = product == 31470 ? &kCaptureSeconds31470
                                            : product == 31473 ? (writeFlash ? &kCaptureSeconds31473Flash : &kCaptureSeconds31473)
                                                               : nullptr;
    if (!seconds)
        return std::nullopt;
    std::array<double, 12> table{}; // index 11 unused
    std::copy(seconds->begin(), seconds->end(), table.begin());
    return table;
}

int AvgExponentForRead(double scaledValue)
{
    const int64_t n = RoundHalfEven(scaledValue);
    return (n > 15 || n < 0) ? 0 : static_cast<int>(n);
}

QString DurationLabelText(double seconds, bool extendedMode)
{
    QLocale loc = QLocale();
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString shown = loc.toString(seconds, 'f', 2);
    if (!extendedMode)
        return shown;
    // Three captures' worth, from the value as shown (two decimals).
    return loc.toString(loc.toDouble(shown) * 3, 'g', 15);
}

QString CapBusyText(double seconds)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return QStringLiteral("Capture Busy  ") + loc.toString(seconds, 'f', 1);
}

namespace {
// Length of the numeric prefix: optional sign, digits, one decimal separator, digits, exponent.
qsizetype NumericPrefix(const QString& t, qsizetype start, QChar decimal)
{
    qsizetype i = start;
    const qsizetype n = t.size();
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (i < n && t[i].isDigit()) {
        ++i;
        ++digits;
    }
    if (i < n && (t[i] == decimal || t[i] == QLatin1Char('.'))) {
        qsizetype j = i + 1;
        qsizetype frac = 0;
        while (j < n && t[j].isDigit()) {
            ++j;
            ++frac;
        }
        if (digits + frac > 0) {
            i = j;
            digits += frac;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (t[j] == QLatin1Char('+') || t[j] == QLatin1Char('-')))
            ++j;
        qsizetype exp = 0;
        while (j < n && t[j].isDigit()) {
            ++j;
            ++exp;
        }
        if (exp > 0)
            i = j;
    }
    return i - start;
}

} // namespace

bool IsNumericText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    const QChar decimal = QLocale().decimalPoint().at(0);
    return NumericPrefix(t, 0, decimal) == t.size();
}

QString StatusTitle(int bit)
{
    static const std::array<QString, kStatusRows> titles{
        QStringLiteral("Supply < 3.150 V"),     QStringLiteral("Supply > 3.625 V"),
        QStringLiteral("Flash Update Failure"), QStringLiteral("SPI Comm Failure"),
        QStringLiteral("Capture Period Violation"), QStringLiteral("Self-test Diagnostic"),
        QStringLiteral("Flash Memory Failure"), QStringLiteral("Data Ready"),
        QStringLiteral("Alarm X"),              QStringLiteral("Alarm Y"),
        QStringLiteral("Alarm Z"),              QStringLiteral("System Alarm"),
        QStringLiteral("Alarm X Event"),        QStringLiteral("Alarm Y Event"),
        QStringLiteral("Alarm Z Event")};
    return (bit >= 0 && bit < kStatusRows) ? titles[bit] : QString();
}

StatusRow DecodeStatusRow(int32_t status, int bit)
{
    if ((status & (1 << bit)) == 0)
        return {QStringLiteral("OK"), kGreen, false};
    // Bits 0..6 report faults, 7..14 events.
    if (bit <= 6)
        return {QStringLiteral("FAIL"), kRed, true};
    return {QStringLiteral("SET"), kYellow, true};
}

} // namespace CaptureSettings
