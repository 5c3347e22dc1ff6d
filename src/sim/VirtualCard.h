#pragma once
// The USB-SPI card's firmware behind the card driver's four requests, with the
// sensor on chip-select channel 1, and the driver that offers the virtual cards.
#include "device/EzUsbDriver.h"
#include "sim/VirtualSensor.h"
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class VirtualCard {
public:
    explicit VirtualCard(VirtualSensor& sensor);

    VirtualSensor& Sensor() { return sensor_; }

    // Fault injection. Unplugged: the device cannot be opened and transfers on a handle
    // opened before fail. Silent: messages are accepted but no answer ever comes.
    // Short read: answers come back with fewer bytes than asked for.
    void SetUnplugged(bool on) { unplugged_ = on; }
    void SetSilent(bool on) { silent_ = on; }
    void SetShortRead(bool on) { shortRead_ = on; }
    bool Unplugged() const { return unplugged_; }
    // How long a read from a silent card waits before it fails, as a real card's transfer
    // timeout would (0: at once, which keeps unit tests fast).
    void SetSilentTimeout(std::chrono::milliseconds t) { silentTimeout_ = t; }
    // The `messages`-th message from now finds the card pulled (or silent), for trying a
    // fault in the middle of a read-out. 0 cancels.
    enum class Fault { Unplug, Silence };
    void FaultAfter(int messages, Fault fault)
    {
        faultCountdown_ = messages;
        fault_ = fault;
    }

    // Descriptor variations for tests of the card search.
    void SetProductId(uint16_t id) { productId_ = id; }
    void SetVendorId(uint16_t id) { vendorId_ = id; }
    // Full speed: pipe 3 reports 64-byte packets (a USB 1.1 card).
    void SetFullSpeed(bool on) { fullSpeed_ = on; }
    void SetFirmwareVersion(uint8_t major, uint8_t minor)
    {
        fwMajor_ = major;
        fwMinor_ = minor;
    }

    // Time every bulk transfer takes (busy-waited), to model a real card's round trip.
    void SetTransferLatency(std::chrono::nanoseconds latency) { latency_ = latency; }

    // Every message that reached pipe 0, oldest first. With a limit, the older half is
    // dropped when it is reached, so a long session does not pile up messages nobody reads.
    const std::vector<std::vector<uint8_t>>& Messages() const { return messages_; }
    void SetMessageLogLimit(size_t limit) { messageLogLimit_ = limit; }
    void ClearMessages() { messages_.clear(); }

    uint8_t SpiDelay() const { return spiDelay_; }
    uint8_t StaticBits() const { return staticBits_; }
    // The transfer command last used: 13 (positive polarity) or 14.
    uint8_t LastTransferCommand() const { return lastTransferCommand_; }
    uint8_t LastChannel() const { return lastChannel_; }

    // The driver request for this card (handle already resolved).
    bool IoControl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                   uint32_t* returned);

    static constexpr int kSensorChannel = 1;
    // Bus timing of a transfer: a word takes 16 clocks at 4 MHz, and the card waits its
    // SPI delay (command 11) in microseconds after every word, also across transfers.
    static constexpr double kWordSeconds = 4e-6;
    static constexpr double kDelayUnitSeconds = 1e-6;
    // What a channel with nothing attached reads (the data-in line idles high).
    static constexpr uint16_t kOpenChannelWord = 0xFFFF;

private:
    bool Bulk(uint32_t pipe, void* buffer, uint32_t length, uint32_t* returned);
    bool Command(const uint8_t* msg, uint32_t length);
    void Wait() const;

    VirtualSensor& sensor_;
    bool unplugged_ = false;
    bool silent_ = false;
    bool shortRead_ = false;
    bool fullSpeed_ = false;
    uint16_t vendorId_ = ezusb::kCardVendorId;
    uint16_t productId_ = ezusb::kProductIdFifo4;
    uint8_t fwMajor_ = 2;
    uint8_t fwMinor_ = 4;
    uint8_t spiDelay_ = 25;
    uint8_t staticBits_ = 120;
    uint8_t lastTransferCommand_ = 0;
    uint8_t lastChannel_ = 0;
    std::chrono::nanoseconds latency_{0};
    std::chrono::milliseconds silentTimeout_{0};
    int faultCountdown_ = 0;
    Fault fault_ = Fault::Unplug;
    double busFree_ = -1.0; // bus time at which the next word may start
    std::vector<uint8_t> answer_;
    std::vector<std::vector<uint8_t>> messages_;
    size_t messageLogLimit_ = 0; // 0: no limit
};

// "Ezusb-0".."Ezusb-{n-1}" are the virtual cards in order. Handles are kHandleBase + slot: never
// below 1 (which the program takes for a failed open) and far from small numbers, so a stray
// handle is refused rather than taken for card 0. A driver that combines real and virtual cards
// hands out handles of its own and keeps which driver each belongs to.
class VirtualEzUsbDriver : public EzUsbDriver {
public:
    static constexpr int32_t kHandleBase = 0x5100;

    // owner keeps the cards alive as long as the driver is installed anywhere.
    VirtualEzUsbDriver(std::vector<VirtualCard*> cards, std::shared_ptr<void> owner);
    int32_t Open(const std::string& name) override;
    void Close(int32_t handle) override;
    bool IoControl(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                   uint32_t* returned) override;
    int DeviceCount() override { return static_cast<int>(cards_.size()); }

private:
    VirtualCard* CardFor(int32_t handle) const;
    std::vector<VirtualCard*> cards_;
    std::shared_ptr<void> owner_;
};

} // namespace sim
