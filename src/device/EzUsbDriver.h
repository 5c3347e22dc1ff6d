#pragma once
// The four requests of the card driver, behind one interface so the libusb
// backend and the virtual cards are interchangeable.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ezusb {
constexpr uint32_t kIoctlGetPipeInfo = 0x222000;
constexpr uint32_t kIoctlGetDeviceDescriptor = 0x222004;
constexpr uint32_t kIoctlGetStringDescriptor = 0x222044;
constexpr uint32_t kIoctlBulkTransfer = 0x222051;

constexpr uint32_t kPipeInfoBufferSize = 356;   // 16-byte header + 17 pipes x 20 bytes
constexpr uint32_t kDeviceDescriptorBufferSize = 147;

// USB vendor ID of our USB-SPI cards (pid.codes shared open-hardware ID); the udev rule
// in packaging/ matches the same value.
constexpr uint16_t kCardVendorId = 0x1209;
constexpr uint16_t kProductIdFifo4 = 0xED03;
constexpr uint16_t kProductIdMcp = 0xEF00;

// The slot of a device name "Ezusb-N", N being one or two decimal digits; nullopt otherwise.
inline std::optional<int> SlotOfName(std::string_view name)
{
    constexpr std::string_view prefix = "Ezusb-";
    if (!name.starts_with(prefix))
        return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 2)
        return std::nullopt;
    int slot = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        slot = slot * 10 + (c - '0');
    }
    return slot;
}
inline std::string NameOfSlot(int slot) { return "Ezusb-" + std::to_string(slot); }
} // namespace ezusb

class EzUsbDriver {
public:
    virtual ~EzUsbDriver() = default;
    // Opens "Ezusb-N"; a value below 1 means the device is absent.
    virtual int32_t Open(const std::string& name) = 0;
    virtual void Close(int32_t handle) = 0;
    // One driver request. For kIoctlBulkTransfer `in` is the 4-byte pipe number and
    // `out` the data buffer, moved in the pipe's own direction (pipe 0 out, pipe 1 in);
    // *returned is the byte count actually moved.
    virtual bool IoControl(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out,
                           uint32_t outLen, uint32_t* returned) = 0;
    // Number of devices this driver currently offers ("Ezusb-0".."Ezusb-{n-1}").
    virtual int DeviceCount() = 0;
    // A card search begins: look at the bus again rather than at what the last search found.
    virtual void Rescan() {}
    // Devices seen but not usable since the last call (e.g. no permission to open them):
    // a note telling the user how to fix that, empty when there were none.
    virtual std::string TakeAccessNote() { return {}; }
};

// The driver every card operation goes through (null: no driver, no cards).
EzUsbDriver* CurrentEzUsbDriver();
void SetEzUsbDriver(std::shared_ptr<EzUsbDriver> driver);
