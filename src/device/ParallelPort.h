#pragma once
// Bit-banged SPI on the parallel port's data and status registers.
#include <cstdint>

namespace ParallelPort {
inline int32_t PortReadAccumulator = 0;
}

void ParallelWriteWord(int32_t& word);
inline void ParallelWriteWord(int32_t&& word) { ParallelWriteWord(word); }
int32_t ParallelReadWord(int16_t& address);
void ParallelPulse();
