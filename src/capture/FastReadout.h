#pragma once
// The capture buffers read out in batched USB card transfers (no widgets).
#include "capture/CaptureRecord.h"
#include "device/BenchSession.h"
#include <cstdint>

namespace FastReadout {

// The windows' names for their session's "Fast read-out" choice and the card delay used while
// reading fast (tests lower it to show what too little does).
inline bool& Enabled = ProgramSession().fastReadout;
constexpr uint8_t kWordDelayMicroseconds = kFastWordDelayMicroseconds;
inline uint8_t& WordDelay = ProgramSession().fastWordDelay;

// True when the session's read-out should go the fast way: option on and a USB card in use.
bool Applies(const BenchSession& session);

// The three 1024-sample buffers into `into` exactly as the
// WriteRegister(CAPT_PNTR, i) + ReadRegister(CAPT_BUFn) loop would leave them, but with
// up to 16 frames per transfer through the session's transport. The card's SPI delay is set to
// session.fastWordDelay for the read-out and put back to the user's afterwards. False when the card
// failed (the buffers are then left as they were).
bool ReadBuffers(BenchSession& session, CaptureRecord::Record& into);

} // namespace FastReadout
