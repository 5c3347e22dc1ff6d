#pragma once
// What the register layer sends words through: the USB-SPI card, the bit-banged parallel
// port, or whatever a test installs in their place.
#include "device/BenchSession.h"
#include "shell/Types.h"
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

// Frames of the sensor's SPI protocol: bit 15 set for a write, the 7-bit byte address in the
// high byte, the data byte (writes) in the low byte.
constexpr uint16_t SpiReadFrame(int32_t address) { return static_cast<uint16_t>((address & 0x7F) << 8); }
constexpr uint16_t SpiWriteFrame(int32_t address, int32_t data)
{
    return static_cast<uint16_t>(0x8000 | ((address & 0x7F) << 8) | (data & 0xFF));
}

class SpiTransport {
public:
    virtual ~SpiTransport() = default;
    // Sends `mosi`, one frame per word, as one exchange. `miso` is empty (nothing wanted back)
    // or as long as `mosi`, and receives the words that came back during those frames.
    // False when the link failed (already reported to the user).
    virtual bool Transfer(std::span<const uint16_t> mosi, std::span<uint16_t> miso) = 0;

    // Whether the link can still answer (a USB card not yet lost). A bit-banged port cannot tell
    // a missing sensor, so by default the link counts as up.
    virtual bool LinkUp() const { return true; }

    // The sensor's busy line (0 low, 1 high) where the link carries it (the parallel port); else nullopt.
    virtual std::optional<int> BusyLine() { return std::nullopt; }

    // A register read. The answer to a read frame comes back during the next frame, so by
    // default the read frame goes twice in one exchange.
    virtual uint16_t ReadWord(uint16_t readFrame)
    {
        const uint16_t out[2] = {readFrame, readFrame};
        uint16_t in[2] = {};
        Transfer(out, in);
        return in[1];
    }
};

// Puts a transport in the place of an interface's on the windows' session (null: the built-in one).
inline void SetSpiTransport(InterfaceKind kind, std::shared_ptr<SpiTransport> transport)
{
    ProgramSession().SetTransport(kind, std::move(transport));
}
