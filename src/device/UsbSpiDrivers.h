#pragma once
// SPI set-up and word transfers on the selected USB-SPI card.
#include "device/SpiTransport.h"
#include <array>
#include <cstdint>

namespace UsbSpiDrivers {
inline uint8_t SpiWordCount = 0;
inline std::array<int32_t, 17> SpiTxWords{};  // used from index 1
inline std::array<int32_t, 17> SpiRxWords{};
} // namespace UsbSpiDrivers

void ReadSpiConfig();
// A delay of 0 is sent as 1.
void SetupSpi(uint8_t delay);
void SetSpiBits(uint8_t bits);
void SpiTransfer(uint8_t count);

// The register layer's road to the sensor over the selected card.
SpiTransport& UsbCardSpiTransport();
