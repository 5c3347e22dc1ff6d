#pragma once
// Scripted card driver and port, for tests that need failing requests or odd descriptors.
#include "device/EzUsbDriver.h"
#include "device/PortIo.h"
#include "device/SpiTransport.h"
#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace fake {

struct Card {
    bool present = true;
    uint16_t vendor = ezusb::kCardVendorId;
    uint16_t product = ezusb::kProductIdFifo4;
    std::string manufacturer = "Fake Maker";
    std::string product_text = "Fake Card";
    uint8_t major = 2, minor = 3;
    uint16_t pipe3MaxPacket = 512;
    int failString = 0;                        // string descriptor index that fails (0: none)
    bool failPipeInfo = false;
    uint8_t configDelay = 0, configBits = 0;   // command 1's answer
    bool failWrites = false;
    bool failReads = false;
    bool shortReads = false;
    std::deque<uint16_t> misoWords;            // the sensor's next answers (then 0)
    std::vector<std::vector<uint8_t>> sent;    // every message on pipe 0
    std::vector<uint8_t> pendingAnswer;
};

class Driver : public EzUsbDriver {
public:
    std::array<Card, 4> cards;
    int opens = 0, closes = 0;

    int32_t Open(const std::string& name) override
    {
        if (name.rfind("Ezusb-", 0) != 0 || name.size() != 7)
            return -1;
        const int slot = name[6] - '0';
        if (slot < 0 || slot > 3 || !cards[static_cast<size_t>(slot)].present)
            return -1;
        ++opens;
        return slot + 1;
    }
    void Close(int32_t) override { ++closes; }
    int DeviceCount() override
    {
        return int(std::count_if(cards.begin(), cards.end(), [](const Card& c) { return c.present; }));
    }

    bool IoControl(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                   uint32_t* returned) override
    {
        *returned = 0;
        if (handle < 1 || handle > 4)
            return false;
        Card& c = cards[static_cast<size_t>(handle - 1)];
        auto* o = static_cast<uint8_t*>(out);
        switch (code) {
        case ezusb::kIoctlGetDeviceDescriptor: {
            uint8_t d[18] = {18, 1, 0, 2, 0, 0, 0, 64};
            d[8] = c.vendor & 0xFF, d[9] = c.vendor >> 8, d[10] = c.product & 0xFF, d[11] = c.product >> 8;
            return Copy(d, 18, o, outLen, returned);
        }
        case ezusb::kIoctlGetStringDescriptor: {
            const int index = inLen < 5 ? 0 : static_cast<const uint8_t*>(in)[0];
            if (index == 0 || index == c.failString)
                return false;
            const std::string& s = index == 1 ? c.manufacturer : c.product_text;
            std::vector<uint8_t> d{static_cast<uint8_t>(2 + 2 * s.size()), 3};
            for (char ch : s)
                d.push_back(static_cast<uint8_t>(ch)), d.push_back(0);
            return Copy(d.data(), d.size(), o, outLen, returned);
        }
        case ezusb::kIoctlGetPipeInfo: {
            if (c.failPipeInfo || outLen < ezusb::kPipeInfoBufferSize)
                return false;
            std::memset(o, 0, ezusb::kPipeInfoBufferSize);
            const uint16_t sizes[4] = {64, 64, 0, c.pipe3MaxPacket};
            for (int p = 0; p < 4; ++p)
                o[16 + 20 * p] = sizes[p] & 0xFF, o[17 + 20 * p] = sizes[p] >> 8;
            *returned = ezusb::kPipeInfoBufferSize;
            return true;
        }
        case ezusb::kIoctlBulkTransfer: {
            uint32_t pipe = 0;
            std::memcpy(&pipe, in, 4);
            if (pipe == 0)
                return Firmware(c, o, outLen, returned);
            if (pipe == 1) {
                if (c.failReads)
                    return false;
                uint32_t n = std::min<uint32_t>(outLen, static_cast<uint32_t>(c.pendingAnswer.size()));
                if (c.shortReads && n > 0)
                    --n;
                return Copy(c.pendingAnswer.data(), n, o, outLen, returned);
            }
            return false;
        }
        }
        return false;
    }

private:
    static bool Copy(const uint8_t* src, size_t n, uint8_t* dst, uint32_t cap, uint32_t* returned)
    {
        const size_t m = std::min<size_t>(n, cap);
        std::memcpy(dst, src, m);
        *returned = static_cast<uint32_t>(m);
        return true;
    }

    bool Firmware(Card& c, const uint8_t* msg, uint32_t len, uint32_t* returned)
    {
        if (c.failWrites)
            return false;
        c.sent.emplace_back(msg, msg + len);
        *returned = len;
        c.pendingAnswer.clear();
        switch (len ? msg[0] : 255) {
        case 0:
            c.pendingAnswer = {c.major, c.minor};
            break;
        case 1:
            c.pendingAnswer = {c.configDelay, c.configBits};
            break;
        case 13:
        case 14:
            for (int i = 0; i < msg[2]; ++i) {
                uint16_t w = 0;
                if (!c.misoWords.empty())
                    w = c.misoWords.front(), c.misoWords.pop_front();
                c.pendingAnswer.push_back(static_cast<uint8_t>(w >> 8));
                c.pendingAnswer.push_back(static_cast<uint8_t>(w & 0xFF));
            }
            break;
        default:
            break;
        }
        return true;
    }
};

// Records every port write; reads return `status`.
class Port : public PortIo {
public:
    std::vector<std::pair<uint16_t, uint8_t>> writes;
    uint8_t status = 0;
    int reads = 0;
    void Out(uint16_t port, uint8_t value) override { writes.emplace_back(port, value); }
    uint8_t In(uint16_t) override { return ++reads, status; }
    bool Acquire(uint16_t, QString*) override { return true; }
    std::vector<int> ValuesAt(uint16_t port) const
    {
        std::vector<int> v;
        for (auto& [p, x] : writes)
            if (p == port)
                v.push_back(x);
        return v;
    }
};

// Records each exchange; answers each word with the next of `miso` (then 0).
class Transport : public SpiTransport {
public:
    std::vector<std::vector<uint16_t>> exchanges;
    std::deque<uint16_t> miso;
    bool Transfer(std::span<const uint16_t> out, std::span<uint16_t> in) override
    {
        exchanges.emplace_back(out.begin(), out.end());
        for (size_t i = 0; i < out.size(); ++i) {
            const uint16_t w = miso.empty() ? 0 : miso.front();
            if (!miso.empty())
                miso.pop_front();
            if (!in.empty())
                in[i] = w;
        }
        return true;
    }
};

} // namespace fake
