#pragma once
// What a card search learns of one USB-SPI card.
#include "shell/Types.h"
#include <QString>
#include <cstdint>

struct UsbCardInfo {
    QString Name;           // "Ezusb-0".."Ezusb-3", empty when no card
    VBool Valid = VFalse;   // for the card in use: the card-ready flag
    QString CardType;       // "FIFO4" or "MCP"
    QString Manufacturer;
    QString Product;
    float FirmwareVersion = 0.0f;
    QString UsbVersion;     // "1.1" or "2"
    int16_t Number = 0;     // slot number 0..3 (shown by the debug window)
};
