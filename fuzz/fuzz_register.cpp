// The register layer fed arbitrary received words, on every row of both tables.
#include "FuzzInput.h"
#include "device/EzUsb.h"
#include "device/EzUsbDriver.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Messages.h"
#include "shell/Module1.h"

#include <cmath>
#include <cstdlib>

namespace {
// A card whose transfers always succeed and answer with fuzz words.
class WordDriver : public EzUsbDriver {
public:
    explicit WordDriver(FuzzInput& in) : in_(in) {}
    int32_t Open(const std::string&) override { return 1; }
    void Close(int32_t) override {}
    int DeviceCount() override { return 1; }
    bool IoControl(int32_t, uint32_t, const void* in, uint32_t, void* out, uint32_t outLen, uint32_t* returned) override
    {
        const uint32_t pipe = in ? *static_cast<const uint32_t*>(in) : 0;
        auto* bytes = static_cast<uint8_t*>(out);
        if (pipe == 1)
            for (uint32_t i = 0; i < outLen; ++i)
                bytes[i] = in_.Byte();
        *returned = outLen;
        return true;
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
    SetEzUsbDriver(std::make_shared<WordDriver>(in));
    Module1::InterfaceType = 2;
    EzUsb::SelectedUsbCard.Valid = VTrue;
    EzUsb::SelectedUsbCard.Name = QStringLiteral("Ezusb-0");
    (in.Byte() & 1) ? BuildTable31470() : BuildTable31473();
    while (!in.Empty()) {
        const int16_t row = static_cast<int16_t>(in.Byte() % (m470Reg::LastRegisterIndex + 1));
        const RegisterEntry& e = m470Reg::RegisterTable[size_t(row)];
        if (in.Byte() & 1) {
            WriteRegister(row, static_cast<int16_t>(in.Word()));
            continue;
        }
        ReadRegister(row);
        if (e.ReadFlag == VFalse)
            continue;
        // The masked value always fits the row's width.
        const int32_t raw = Spi_mod::RegRaw;
        const int32_t span = 1 << e.ReadLen;
        if (e.TwosCompl == VTrue ? (raw < -span / 2 || raw >= span / 2) : (raw < 0 || raw >= span))
            std::abort();
        if (!std::isfinite(Spi_mod::RegValue))
            std::abort();
    }
    SetEzUsbDriver(nullptr);
    return 0;
}
