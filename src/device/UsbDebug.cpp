#include "device/UsbDebug.h"

#include <QLocale>
#include <cmath>

namespace UsbDebug {

double LeadingNumber(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == u'+' || t[end] == u'-'))
        ++end;
    bool digits = false, point = false;
    while (end < t.size()) {
        const QChar c = t[end];
        if (c.isDigit() && c.unicode() < 128)
            digits = true;
        else if (c == u'.' && !point)
            point = true;
        else
            break;
        ++end;
    }
    if (!digits)
        return 0.0;
    return QLocale::c().toDouble(t.left(end).replace(QStringLiteral("+"), QString()));
}

int RoundAndClamp(double value, int lo, int hi)
{
    if (std::isnan(value) || value < lo)
        return lo;
    if (value > hi)
        return hi;
    const int r = static_cast<int>(std::nearbyint(value)); // default mode rounds halves to even
    return r < lo ? lo : (r > hi ? hi : r);
}

uint8_t WordCountFromText(const QString& text)
{
    return static_cast<uint8_t>(RoundAndClamp(LeadingNumber(text), 1, 16));
}

uint8_t DelayFromText(const QString& text)
{
    return static_cast<uint8_t>(RoundAndClamp(LeadingNumber(text), 1, 255));
}

QString WordText(int32_t word) { return QString::number(static_cast<uint32_t>(word), 16).toUpper(); }

QString VersionText(double version) { return QLocale().toString(version, 'f', 1); }

QString UsbVersionText(const QString& usbVersion)
{
    return VersionText(QLocale::c().toDouble(usbVersion));
}

} // namespace UsbDebug
