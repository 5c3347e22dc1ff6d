#pragma once
// SPI set-up and word transfers on a session's USB-SPI card.
#include "device/BenchSession.h"
#include "device/SpiTransport.h"
#include <array>
#include <cstdint>
#include <memory>

// The windows' names for their session's card buffers.
namespace UsbSpiDrivers {
inline uint8_t& SpiWordCount = ProgramSession().usb.wordCount;
inline std::array<int32_t, 17>& SpiTxWords = ProgramSession().usb.tx;  // used from index 1
inline std::array<int32_t, 17>& SpiRxWords = ProgramSession().usb.rx;
} // namespace UsbSpiDrivers

void ReadSpiConfig(BenchSession& session);
// A delay of 0 is sent as 1.
void SetupSpi(BenchSession& session, uint8_t delay);
void SetSpiBits(BenchSession& session, uint8_t bits);
// Sends session.usb.tx[1..count] (at most 16 words) and keeps the answers in session.usb.rx.
void SpiTransfer(BenchSession& session, uint8_t count);

// The same on the windows' session.
inline void ReadSpiConfig() { ReadSpiConfig(ProgramSession()); }
inline void SetupSpi(uint8_t delay) { SetupSpi(ProgramSession(), delay); }
inline void SetSpiBits(uint8_t bits) { SetSpiBits(ProgramSession(), bits); }
inline void SpiTransfer(uint8_t count) { SpiTransfer(ProgramSession(), count); }

// The register layer's road to the sensor over the session's card.
std::unique_ptr<SpiTransport> MakeUsbCardTransport(BenchSession& session);
