// The register layer fed arbitrary received words, on every row of both tables.
#include "FuzzInput.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QuietAndFast();
    FuzzInput in(data, size);
    SetEzUsbDriver(std::make_shared<FuzzCardDriver>(in, true));
    Module1::InterfaceType = kInterfaceUsb;
    MarkCardSelected();
    (in.Byte() & 1) ? BuildTable31470() : BuildTable31473();
    while (!in.Empty()) {
        const int16_t row = static_cast<int16_t>(in.Byte() % (m470Reg::Table().LastRegisterIndex + 1));
        const RegisterEntry& e = m470Reg::Table().RegisterTable[size_t(row)];
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
