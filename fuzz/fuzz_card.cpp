// The card layer against a card that answers anything: short, long, garbage, failures.
#include "FuzzInput.h"
#include "device/EzUsb.h"
#include "device/EzUsbDriver.h"
#include "device/UsbSpiDrivers.h"
#include "shell/Delay.h"
#include "shell/Messages.h"
#include "shell/Module1.h"

#include <cstring>

namespace {
class FuzzDriver : public EzUsbDriver {
public:
    explicit FuzzDriver(FuzzInput& in) : in_(in) {}
    int32_t Open(const std::string&) override { return (in_.Byte() & 7) == 0 ? 0 : 1; }
    void Close(int32_t) override {}
    int DeviceCount() override { return 4; }
    bool IoControl(int32_t, uint32_t, const void*, uint32_t, void* out, uint32_t outLen, uint32_t* returned) override
    {
        const uint8_t mode = in_.Byte();
        // The reported count may be short, exact or larger than the buffer.
        uint32_t n = in_.Byte();
        if (mode & 1)
            n = outLen;
        auto* bytes = static_cast<uint8_t*>(out);
        for (uint32_t i = 0; i < outLen && i < n; ++i)
            bytes[i] = in_.Byte();
        if (returned)
            *returned = n;
        return (mode & 6) != 0;
    }

private:
    FuzzInput& in_;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DelayState::DelayCalibrated = VTrue;
    DelayState::DelayLoopCount = 1;
    SetMessageHandler([](const MessageRequest&) { return MsgResult::Ok; });
    FuzzInput in(data, size);
    SetEzUsbDriver(std::make_shared<FuzzDriver>(in));
    Module1::InitialiseState();
    SelectFirstUsbCard();
    ReadSpiConfig();
    SetupSpi(Module1::SpiDelay);
    SetSpiBits(Module1::SpiStaticBits);
    while (!in.Empty()) {
        uint8_t count = static_cast<uint8_t>(1 + in.Byte() % 16);
        for (int i = 1; i <= count; ++i)
            UsbSpiDrivers::SpiTxWords[size_t(i)] = in.Word();
        Module1::SpiChannel = in.Byte();
        EzUsb::SelectedUsbCard.Valid = VTrue;
        EzUsb::SelectedUsbCard.Name = QStringLiteral("Ezusb-0");
        SpiTransfer(count);
    }
    SetEzUsbDriver(nullptr);
    return 0;
}
