#pragma once
// Bit-banged SPI on the parallel port's data and status registers.
#include "device/BenchSession.h"
#include "device/SpiTransport.h"
#include <cstdint>
#include <memory>
#include <optional>

// The register layer's road to the sensor over the port at session.portAddress.
std::unique_ptr<SpiTransport> MakeParallelPortTransport(BenchSession& session);

// The start pulse after the port-access step.
void ParallelPulse(const BenchSession& session);

// The same on the windows' session.
inline void ParallelWriteWord(int32_t word)
{
    const uint16_t frame = static_cast<uint16_t>(word);
    MakeParallelPortTransport(ProgramSession())->Transfer({&frame, 1}, {});
}
// Sends the read frame of `address` (masked to 7 bits in place) and returns the answer.
inline int32_t ParallelReadWord(int16_t& address)
{
    address = static_cast<int16_t>(address & 0x7F);
    return MakeParallelPortTransport(ProgramSession())->ReadWord(SpiReadFrame(address));
}
inline void ParallelPulse() { ParallelPulse(ProgramSession()); }
