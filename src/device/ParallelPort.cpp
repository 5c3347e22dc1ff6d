#include "device/ParallelPort.h"
#include "device/FrameTrace.h"
#include "device/PortIo.h"
#include "device/Spi_mod.h"
#include "shell/Delay.h"
#include "shell/Module1.h"

using ParallelPort::PortReadAccumulator;

namespace {
// Data register lines: bit 0 chip select (active from the opening 5 to the closing 0),
// bit 1 clock, bit 2 inverted data out. Status bit 6 is the inverted data in.
constexpr uint8_t kStatusDataIn = 64;

bool PortSelected() { return Module1::InterfaceType == 1 && CurrentPortIo() != nullptr; }
uint16_t DataPort() { return static_cast<uint16_t>(Module1::PortAddress); }
uint16_t StatusPort() { return static_cast<uint16_t>(Module1::PortAddress + 1); }
void Out(uint8_t value) { CurrentPortIo()->Out(DataPort(), value); }
} // namespace

void ParallelWriteWord(int32_t& word)
{
    if (!PortSelected())
        return;
    Out(4);
    Delay(0.0f);
    Out(5);
    Delay(0.0f);
    PortReadAccumulator = 0;
    for (int bit = 15; bit >= 0; --bit) {
        Out(7);
        Delay(0.0f);
        const uint8_t d = (word & (1 << bit)) ? 0 : 4;
        Out(static_cast<uint8_t>(d + 3));
        Delay(0.0f);
        Out(static_cast<uint8_t>(d + 1));
        Delay(0.0f);
        Out(5);
    }
    Out(0);
    TraceFrame(static_cast<uint16_t>(word), std::nullopt);
    Delay(0.1f);
}

int32_t ParallelReadWord(int16_t& address)
{
    if (!PortSelected())
        return 0;
    PortReadAccumulator = 0;
    address = static_cast<int16_t>(address & 0x7F);
    ParallelWriteWord(address * 256);
    Out(4);
    Out(5);
    Delay(0.0f);
    for (int bit = 15; bit >= 0; --bit) {
        Out(7);
        Delay(0.0f);
        if ((CurrentPortIo()->In(StatusPort()) & kStatusDataIn) == 0)
            PortReadAccumulator += 1 << bit;
        Out(5);
        Delay(0.0f);
    }
    Out(0);
    TraceFrame(0, static_cast<uint16_t>(PortReadAccumulator));
    Delay(0.1f);
    Spi_mod::SpiReadWord = PortReadAccumulator;
    return PortReadAccumulator;
}

void ParallelPulse()
{
    if (!PortSelected())
        return;
    CurrentPortIo()->Out(StatusPort(), 64);
    Delay(0.1f);
    Out(0);
}
