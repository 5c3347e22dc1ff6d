#include "device/UsbDebug.h"

#include "shell/Numbers.h"

#include <QLocale>
#include <algorithm>

namespace UsbDebug {

uint8_t WordCountFromText(const QString& text)
{
    return static_cast<uint8_t>(std::clamp(RoundHalfEven(LeadingNumber(text)), 1, 16));
}

uint8_t DelayFromText(const QString& text)
{
    return static_cast<uint8_t>(std::clamp(RoundHalfEven(LeadingNumber(text)), 1, 255));
}

QString WordText(int32_t word) { return QString::number(static_cast<uint32_t>(word), 16).toUpper(); }

QString VersionText(double version) { return QLocale().toString(version, 'f', 1); }

QString UsbVersionText(const QString& usbVersion)
{
    return VersionText(QLocale::c().toDouble(usbVersion));
}

} // namespace UsbDebug
