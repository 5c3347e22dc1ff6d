#pragma once
// Number handling of the USB-SPI card debug window: typed numbers read the way the
// window's boxes read them, brought into range, and the hex texts it shows.
#include <QString>
#include <cstdint>

namespace UsbDebug {

// "# Words to Write": 1..16.
uint8_t WordCountFromText(const QString& text);
// Delay between words: 1..255.
uint8_t DelayFromText(const QString& text);

// Upper-case hex without leading zeros ("0" for 0).
QString WordText(int32_t word);

// Static output bits: CS2..CS5 are bits 3..6.
constexpr uint8_t StaticBitMask(int cs) { return static_cast<uint8_t>(1u << (cs + 1)); }

// Card values in the "0.0" format of the window's boxes, in the user's locale.
QString VersionText(double version);
// The USB version as a card record holds it ("1.1" or "2").
QString UsbVersionText(const QString& usbVersion);

} // namespace UsbDebug
