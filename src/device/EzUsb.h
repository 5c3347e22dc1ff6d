#pragma once
// Card driver access (one open/close per operation) and the card search.
#include "shell/Module1.h"
#include <QString>
#include <array>
#include <cstdint>

struct UsbCardInfo {
    QString Name;           // "Ezusb-0".."Ezusb-3", empty when no card
    VBool Valid = VFalse;   // for SelectedUsbCard: the card-ready flag
    QString CardType;       // "FIFO4" or "MCP"
    QString Manufacturer;
    QString Product;
    float FirmwareVersion = 0.0f;
    QString UsbVersion;     // "1.1" or "2"
    int16_t Number = 0;     // slot number 0..3 (shown by the debug window)
};

namespace EzUsb {
inline std::array<UsbCardInfo, 4> UsbCards{};
inline int16_t UsbCardCount = 0;
inline UsbCardInfo SelectedUsbCard{};
inline int16_t SelectedUsbCardIndex = -1;
} // namespace EzUsb

int32_t OpenUsbDriver(const QString& name);
void CloseUsbDriver(int32_t handle);
int32_t GetPipeInfo(int32_t handle, uint8_t* buffer356);
int32_t GetPipeMaxPacket(int32_t handle, int16_t pipe);
QString GetStringDescriptor(int32_t handle, int index);
// length: bytes to move, overwritten with the bytes moved. 1 ok, 0 failure, -2 no handle.
int32_t BulkTransfer(int32_t handle, int16_t pipe, uint8_t* buffer, int32_t& length);

void FindUsbCards();
void GetBoardInfo(int32_t handle, UsbCardInfo& card);
void SelectFirstUsbCard();
