#include "sim/VirtualParallelPort.h"

namespace sim {

namespace {
constexpr uint8_t kSelect = 0x01;
constexpr uint8_t kClock = 0x02;
constexpr uint8_t kDataInverted = 0x04;
// Unused status inputs of a typical port read high.
constexpr uint8_t kStatusIdle = 0x18;
constexpr size_t kWriteLogLimit = 1'000'000;
} // namespace

VirtualParallelPort::VirtualParallelPort(VirtualSensor& sensor, std::shared_ptr<void> owner,
                                         std::function<int()> baseAddress)
    : sensor_(sensor), owner_(std::move(owner)), baseAddress_(std::move(baseAddress))
{
}

bool VirtualParallelPort::Acquire(uint16_t base, QString*)
{
    acquired_ = true;
    base_ = base;
    return true;
}

bool VirtualParallelPort::IsDataRegister(uint16_t port) const
{
    uint16_t base = 0x378;
    if (acquired_)
        base = base_;
    else if (baseAddress_)
        base = static_cast<uint16_t>(baseAddress_());
    return port != static_cast<uint16_t>(base + 1) && port != static_cast<uint16_t>(base + 2);
}

void VirtualParallelPort::Out(uint16_t port, uint8_t value)
{
    if (!IsDataRegister(port)) {
        if (otherWrites_.size() < kWriteLogLimit)
            otherWrites_.push_back(value);
        return;
    }
    if (dataWrites_.size() >= kWriteLogLimit)
        dataWrites_.clear();
    dataWrites_.push_back(value);
    Data(value);
}

void VirtualParallelPort::Data(uint8_t value)
{
    const uint8_t prev = last_;
    last_ = value;
    const bool select = value & kSelect;
    const bool wasSelected = prev & kSelect;
    if (select && !wasSelected) {
        // Frame start: the sensor's answer is already waiting in its shift register.
        inFrame_ = true;
        bits_ = 0;
        mosi_ = 0;
        misoWord_ = sensor_.BeginFrame(BusNow());
        dataOut_ = false;
        return;
    }
    if (!select) {
        if (wasSelected && inFrame_) {
            if (bits_ == 16)
                sensor_.EndFrame(mosi_, BusNow());
            else
                ++brokenFrames_;
        }
        inFrame_ = false;
        return;
    }
    const bool clock = value & kClock;
    const bool wasClock = prev & kClock;
    if (clock && !wasClock) {
        // Rising edge: the sensor puts out its next bit, most significant first.
        dataOut_ = bits_ < 16 && ((misoWord_ >> (15 - bits_)) & 1);
    } else if (!clock && wasClock) {
        // Falling edge: the sensor takes in the master's bit.
        const bool bit = !(value & kDataInverted);
        mosi_ = static_cast<uint16_t>((mosi_ << 1) | (bit ? 1 : 0));
        ++bits_;
    }
}

uint8_t VirtualParallelPort::In(uint16_t)
{
    uint8_t status = kStatusIdle;
    if (sensor_.BusyLineHigh())
        status |= kBusyBit;
    bool line = inFrame_ && dataOut_;
    if (stuck_ == 0)
        line = false;
    else if (stuck_ == 1)
        line = true;
    if (!line)
        status |= kDataInBit; // the input is inverted: a high line reads as 0
    return status;
}

} // namespace sim
