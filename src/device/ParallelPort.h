#pragma once
// Bit-banged SPI on the parallel port's data and status registers.
#include "device/SpiTransport.h"
#include <cstdint>
#include <optional>

void ParallelWriteWord(int32_t word);
// Sends the read frame of `address` (masked to 7 bits in place) and returns the answer.
int32_t ParallelReadWord(int16_t& address);
void ParallelPulse();
// The sensor's busy line on the port's status register (0 low, 1 high); nullopt without a port.
std::optional<int> ParallelBusyLine();

// The register layer's road to the sensor over the port at Module1::PortAddress.
SpiTransport& ParallelPortSpiTransport();
