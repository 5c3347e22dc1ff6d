// The card layer against a card that answers anything: short, long, garbage, failures.
#include "FuzzInput.h"
#include "device/UsbSpiDrivers.h"
#include "shell/Module1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QuietAndFast();
    FuzzInput in(data, size);
    SetEzUsbDriver(std::make_shared<FuzzCardDriver>(in, false));
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
        MarkCardSelected();
        SpiTransfer(count);
    }
    SetEzUsbDriver(nullptr);
    return 0;
}
