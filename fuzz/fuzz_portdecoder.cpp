// The virtual parallel port's decoder fed arbitrary data-register writes and status reads.
#include "FuzzInput.h"
#include "shell/Module1.h"
#include "sim/VirtualParallelPort.h"
#include "sim/VirtualSensor.h"

#include <chrono>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    Module1::ProductNumber = (in.Byte() & 1) ? 31470 : 31473;
    sim::VirtualSensor sensor(0);
    sim::VirtualParallelPort port(sensor);
    const uint16_t base = 0x378;
    port.Acquire(base, nullptr);
    while (!in.Empty()) {
        const uint8_t op = in.Byte();
        if (op & 0x80)
            (void)port.In(static_cast<uint16_t>(base + (op & 3)));
        else
            port.Out(static_cast<uint16_t>(base + ((op >> 4) & 3)), in.Byte());
    }
    return 0;
}
