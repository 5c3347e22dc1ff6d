#pragma once
// Reads fuzz bytes as a stream of decisions (zeros once exhausted), and a card driver
// whose answers come from that stream.
#include "device/EzUsb.h"
#include "device/EzUsbDriver.h"
#include "shell/Delay.h"
#include "shell/Messages.h"
#include <cstddef>
#include <cstdint>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() << 8 | Byte()); }
    bool Empty() const { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Faithful: every request succeeds and reads fill the whole buffer with fuzz bytes.
// Not faithful: opens and requests may fail, and the reported count may be short, exact or
// larger than the buffer.
class FuzzCardDriver : public EzUsbDriver {
public:
    FuzzCardDriver(FuzzInput& in, bool faithful) : in_(in), faithful_(faithful) {}
    int32_t Open(const std::string&) override { return faithful_ || (in_.Byte() & 7) != 0 ? 1 : 0; }
    void Close(int32_t) override {}
    int DeviceCount() override { return faithful_ ? 1 : 4; }
    bool IoControl(int32_t, uint32_t, const void* in, uint32_t, void* out, uint32_t outLen, uint32_t* returned) override
    {
        auto* bytes = static_cast<uint8_t*>(out);
        if (faithful_) {
            const uint32_t pipe = in ? *static_cast<const uint32_t*>(in) : 0;
            if (pipe == 1)
                for (uint32_t i = 0; i < outLen; ++i)
                    bytes[i] = in_.Byte();
            *returned = outLen;
            return true;
        }
        const uint8_t mode = in_.Byte();
        uint32_t n = in_.Byte();
        if (mode & 1)
            n = outLen;
        for (uint32_t i = 0; i < outLen && i < n; ++i)
            bytes[i] = in_.Byte();
        if (returned)
            *returned = n;
        return (mode & 6) != 0;
    }

private:
    FuzzInput& in_;
    bool faithful_;
};

// No waiting and no message boxes while fuzzing.
inline void QuietAndFast()
{
    DelayState::DelayCalibrated = VTrue;
    DelayState::DelayLoopCount = 1;
    SetMessageHandler([](const MessageRequest&) { return MsgResult::Ok; });
}

// Card 0 counts as selected, as after a successful search.
inline void MarkCardSelected()
{
    EzUsb::SelectedUsbCard.Valid = VTrue;
    EzUsb::SelectedUsbCard.Name = QStringLiteral("Ezusb-0");
}
