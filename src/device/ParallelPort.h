#pragma once
// Bit-banged SPI on the parallel port's data and status registers.
#include "device/BenchSession.h"
#include "device/SpiTransport.h"
#include <cstdint>
#include <memory>
#include <optional>

// The register layer's road to the sensor over the port at session.portAddress.
std::unique_ptr<SpiTransport> MakeParallelPortTransport(BenchSession& session);

// The sensor's busy line on the port's status register (0 low, 1 high); nullopt without a port.
std::optional<int> ParallelBusyLine(const BenchSession& session);
// The start pulse after the port-access step.
void ParallelPulse(const BenchSession& session);

// The same on the windows' session.
void ParallelWriteWord(int32_t word);
// Sends the read frame of `address` (masked to 7 bits in place) and returns the answer.
int32_t ParallelReadWord(int16_t& address);
inline void ParallelPulse() { ParallelPulse(ProgramSession()); }
inline std::optional<int> ParallelBusyLine() { return ParallelBusyLine(ProgramSession()); }
