#include "config/ConfigConversions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cfg {

QString FormatFixed(double v, int decimals, const QLocale& locale)
{
    QLocale loc = locale;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    QString s = loc.toString(v, 'f', decimals);
    // A value that rounds to zero shows without a minus sign.
    if (s.startsWith(loc.negativeSign()) && loc.toDouble(s) == 0.0)
        s.remove(0, loc.negativeSign().size());
    return s;
}

QString GeneralNumberText(float v, const QLocale& locale)
{
    QLocale loc = locale;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    QString s = loc.toString(static_cast<double>(v), 'g', 7);
    return s.replace(loc.exponential(), QStringLiteral("E"));
}

QString Hex16(int32_t v) { return QString::number(static_cast<uint32_t>(v) & 0xFFFFu, 16).toUpper(); }

QString Hex32(int32_t v) { return QString::number(static_cast<uint32_t>(v), 16).toUpper(); }

int32_t AlarmMagCounts(double value, float regScale)
{
    const float inverse = 1.0f / regScale;
    const double n = value * static_cast<double>(inverse);
    return std::clamp(RoundHalfEven(n), -32768, 32767);
}

int32_t Alarm4CountsFromTemp(double degC)
{
    return RoundHalfEven((degC - kAlarmTempOffset) * (1.0 / kAlarmTempPerCount));
}

int32_t Alarm4CountsFromVolts(double volts) { return RoundHalfEven(volts * (1.0 / kAlarmVoltsPerCount)); }

int32_t Alarm4Clamp(int32_t n) { return std::clamp(n, -8192, 8191); }

double Alarm4TempFromCounts(int32_t n) { return kAlarmTempOffset + kAlarmTempPerCount * n; }

double Alarm4VoltsFromCounts(int32_t n) { return kAlarmVoltsPerCount * n; }

QString Alarm4Text(double v, const QLocale& locale) { return FormatFixed(v, 2, locale); }

QString AlarmMagText(float regValue, const QLocale& locale)
{
    return FormatFixed(static_cast<double>(regValue), 4, locale);
}

int32_t AlmCtrlWithBit(int32_t c, int bit, bool on)
{
    const int32_t mask = 1 << bit;
    if (on)
        return c | mask;
    return c & (0x3F & ~mask);
}

int32_t NullCounts(double value, float regScale)
{
    return RoundHalfEven(value / static_cast<double>(regScale));
}

DioCtrlFields DecodeDioCtrl(int32_t d)
{
    DioCtrlFields f;
    f.activeHigh1 = (d & 0x01) != 0;
    f.activeHigh2 = (d & 0x02) != 0;
    f.function1 = static_cast<PinFunction>((d & 0x0C) / 4);
    f.function2 = static_cast<PinFunction>((d & 0x30) / 16);
    return f;
}

int32_t ComposeDioCtrl(const DioCtrlFields& f)
{
    return (f.activeHigh1 ? 1 : 0) + 2 * (f.activeHigh2 ? 1 : 0) + 4 * static_cast<int>(f.function1) +
           16 * static_cast<int>(f.function2);
}

GpioCtrlFields DecodeGpioCtrl(int32_t g)
{
    GpioCtrlFields f;
    f.output1 = (g & 0x0001) != 0;
    f.output2 = (g & 0x0002) != 0;
    f.high1 = (g & 0x0100) != 0;
    f.high2 = (g & 0x0200) != 0;
    return f;
}

int32_t ComposeGpioCtrl(const GpioCtrlFields& f)
{
    return (f.output1 ? 1 : 0) + 2 * (f.output2 ? 1 : 0) + 256 * (f.high1 ? 1 : 0) + 512 * (f.high2 ? 1 : 0);
}

} // namespace cfg
