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
void SetupSpi(uint8_t& delay);
inline void SetupSpi(uint8_t&& delay) { SetupSpi(delay); }
void SetSpiBits(uint8_t& bits);
inline void SetSpiBits(uint8_t&& bits) { SetSpiBits(bits); }
void SpiTransfer(uint8_t& count);
inline void SpiTransfer(uint8_t&& count) { SpiTransfer(count); }

// The register layer's road to the sensor over the selected card.
SpiTransport& UsbCardSpiTransport();
