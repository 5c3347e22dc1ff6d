#include "sim/VirtualCard.h"
#include <algorithm>
#include <cstring>
#include <thread>

namespace sim {

namespace {
constexpr uint8_t kCmdVersion = 0;
constexpr uint8_t kCmdReadConfig = 1;
constexpr uint8_t kCmdSetDelay = 11;
constexpr uint8_t kCmdSetBits = 12;
constexpr uint8_t kCmdTransferPositive = 13;
constexpr uint8_t kCmdTransferNegative = 14;
constexpr uint32_t kMaxWords = 16;

const char* const kManufacturer = "Virtual Sensor Bench";
const char* const kProduct = "Virtual USB-SPI card";

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool CopyOut(const std::vector<uint8_t>& data, void* out, uint32_t outLen, uint32_t* returned)
{
    const uint32_t n = std::min<uint32_t>(outLen, static_cast<uint32_t>(data.size()));
    if (out && n)
        std::memcpy(out, data.data(), n);
    if (returned)
        *returned = n;
    return true;
}
} // namespace

VirtualCard::VirtualCard(VirtualSensor& sensor) : sensor_(sensor) {}

void VirtualCard::Wait() const
{
    if (latency_.count() <= 0)
        return;
    // Busy-wait: sleeping cannot hit a fraction of a millisecond reliably.
    const auto end = std::chrono::steady_clock::now() + latency_;
    while (std::chrono::steady_clock::now() < end) {
    }
}

bool VirtualCard::IoControl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                            uint32_t* returned)
{
    if (returned)
        *returned = 0;
    if (unplugged_)
        return false;
    switch (code) {
    case ezusb::kIoctlGetDeviceDescriptor: {
        std::vector<uint8_t> d(18, 0);
        d[0] = 18;   // bLength
        d[1] = 1;    // device descriptor
        Put16(&d[2], 0x0200);
        d[4] = 0xFF; // vendor-specific class
        d[7] = 64;   // endpoint 0 packet size
        Put16(&d[8], vendorId_);
        Put16(&d[10], productId_);
        Put16(&d[12], static_cast<uint16_t>(fwMajor_ << 8 | fwMinor_));
        d[14] = 1;   // manufacturer string
        d[15] = 2;   // product string
        d[16] = 0;
        d[17] = 1;   // one configuration
        return CopyOut(d, out, outLen, returned);
    }
    case ezusb::kIoctlGetStringDescriptor: {
        if (!in || inLen < 1)
            return false;
        const uint8_t index = static_cast<const uint8_t*>(in)[0];
        std::vector<uint8_t> d;
        if (index == 0) {
            d = {4, 3, 0x09, 0x04}; // US English
        } else if (index == 1 || index == 2) {
            const char* text = index == 1 ? kManufacturer : kProduct;
            const size_t len = std::strlen(text);
            d.assign(2 + 2 * len, 0);
            d[0] = static_cast<uint8_t>(d.size());
            d[1] = 3;
            for (size_t i = 0; i < len; ++i)
                d[2 + 2 * i] = static_cast<uint8_t>(text[i]);
        } else {
            return false;
        }
        return CopyOut(d, out, outLen, returned);
    }
    case ezusb::kIoctlGetPipeInfo: {
        std::vector<uint8_t> d(ezusb::kPipeInfoBufferSize, 0);
        d[0] = 16;   // header length
        d[4] = 0xFF; // interface class
        Put32(&d[12], 4); // number of pipes
        const uint16_t packet = fullSpeed_ ? 64 : 512;
        const uint8_t endpoints[4] = {0x02, 0x86, 0x04, 0x88};
        for (int pipe = 0; pipe < 4; ++pipe) {
            uint8_t* e = &d[16 + 20 * pipe];
            Put16(e, packet);
            e[2] = endpoints[pipe];
            e[3] = 0;
            Put32(e + 4, 2);      // bulk
            Put32(e + 8, static_cast<uint32_t>(0x100 + pipe));
            Put32(e + 12, 4096);  // largest transfer
        }
        return CopyOut(d, out, outLen, returned);
    }
    case ezusb::kIoctlBulkTransfer: {
        if (!in || inLen < 4)
            return false;
        uint32_t pipe = 0;
        std::memcpy(&pipe, in, 4);
        Wait();
        return Bulk(pipe, out, outLen, returned);
    }
    default:
        return false;
    }
}

bool VirtualCard::Bulk(uint32_t pipe, void* buffer, uint32_t length, uint32_t* returned)
{
    if (pipe == 0) {
        const auto* msg = static_cast<const uint8_t*>(buffer);
        if (!msg || length == 0)
            return false;
        if (faultCountdown_ > 0 && --faultCountdown_ == 0) {
            if (fault_ == Fault::Unplug) {
                unplugged_ = true;
                return false;
            }
            silent_ = true;
        }
        if (messageLogLimit_ > 0 && messages_.size() >= messageLogLimit_)
            messages_.erase(messages_.begin(), messages_.begin() + static_cast<std::ptrdiff_t>(messages_.size() / 2));
        messages_.emplace_back(msg, msg + length);
        answer_.clear();
        // The bytes always leave the host; a malformed message is simply ignored.
        if (!silent_)
            Command(msg, length);
        if (returned)
            *returned = length;
        return true;
    }
    if (pipe == 1) {
        if (answer_.empty() || !buffer) {
            // Nothing to send: the host's read times out.
            if (silent_ && silentTimeout_.count() > 0)
                std::this_thread::sleep_for(silentTimeout_);
            return false;
        }
        uint32_t n = std::min<uint32_t>(length, static_cast<uint32_t>(answer_.size()));
        if (shortRead_)
            n /= 2;
        std::memcpy(buffer, answer_.data(), n);
        answer_.clear();
        if (returned)
            *returned = n;
        return true;
    }
    return false;
}

bool VirtualCard::Command(const uint8_t* msg, uint32_t length)
{
    switch (msg[0]) {
    case kCmdVersion:
        answer_ = {fwMajor_, fwMinor_};
        return true;
    case kCmdReadConfig:
        answer_ = {spiDelay_, staticBits_};
        return true;
    case kCmdSetDelay:
        if (length < 2)
            return false;
        spiDelay_ = msg[1];
        return true;
    case kCmdSetBits:
        if (length < 2)
            return false;
        staticBits_ = msg[1];
        return true;
    case kCmdTransferPositive:
    case kCmdTransferNegative: {
        if (length < 3)
            return false;
        const uint8_t channel = msg[1];
        const uint32_t count = msg[2];
        if (count == 0 || count > kMaxWords || length < 3 + 2 * count)
            return false;
        lastTransferCommand_ = msg[0];
        lastChannel_ = channel;
        answer_.reserve(2 * count);
        double t = std::max(BusNow(), busFree_);
        const double gap = spiDelay_ * kDelayUnitSeconds;
        for (uint32_t i = 0; i < count; ++i) {
            const uint16_t word = static_cast<uint16_t>(msg[3 + 2 * i] << 8 | msg[4 + 2 * i]);
            const uint16_t rx =
                channel == kSensorChannel ? sensor_.Transfer(word, t, t + kWordSeconds) : kOpenChannelWord;
            t += kWordSeconds + gap;
            answer_.push_back(static_cast<uint8_t>(rx >> 8));
            answer_.push_back(static_cast<uint8_t>(rx & 0xFF));
        }
        busFree_ = t;
        return true;
    }
    default:
        return false;
    }
}

VirtualEzUsbDriver::VirtualEzUsbDriver(std::vector<VirtualCard*> cards, std::shared_ptr<void> owner)
    : cards_(std::move(cards)), owner_(std::move(owner))
{
}

int32_t VirtualEzUsbDriver::Open(const std::string& name)
{
    const std::optional<int> slot = ezusb::SlotOfName(name);
    if (!slot || *slot >= static_cast<int>(cards_.size()) || cards_[size_t(*slot)]->Unplugged())
        return -1;
    return kHandleBase + *slot;
}

void VirtualEzUsbDriver::Close(int32_t) {}

VirtualCard* VirtualEzUsbDriver::CardFor(int32_t handle) const
{
    const int slot = handle - kHandleBase;
    if (slot < 0 || slot >= static_cast<int>(cards_.size()))
        return nullptr;
    return cards_[slot];
}

bool VirtualEzUsbDriver::IoControl(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out,
                                   uint32_t outLen, uint32_t* returned)
{
    VirtualCard* card = CardFor(handle);
    if (!card) {
        if (returned)
            *returned = 0;
        return false;
    }
    return card->IoControl(code, in, inLen, out, outLen, returned);
}

} // namespace sim
