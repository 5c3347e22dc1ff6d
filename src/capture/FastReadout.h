#pragma once
// The capture buffers read out in batched USB card transfers (no widgets).
#include "capture/CaptureRecord.h"
#include <cstdint>

namespace FastReadout {

// The user's "Fast read-out" choice, kept while the program runs.
inline bool Enabled = false;

// The sensor needs 16 us between frames; the card's delay between words provides it
// during the batched read-out, with a little margin.
constexpr uint8_t kWordDelayMicroseconds = 20;
// The card delay used while reading fast (tests lower it to show what too little does).
inline uint8_t WordDelay = kWordDelayMicroseconds;

// True when the read-out should go the fast way: option on and the USB card in use.
bool Applies();

// The three 1024-sample buffers into `into` exactly as the
// WriteRegister(CAPT_PNTR, i) + ReadRegister(CAPT_BUFn) loop would leave them, but with
// up to 16 frames per card transfer. The card's SPI delay is set to WordDelay for the
// read-out and put back to the user's afterwards. False when the card failed (the
// buffers are then left as they were).
bool ReadBuffers(CaptureRecord::Record& into);

} // namespace FastReadout
