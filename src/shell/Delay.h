#pragma once
// Busy-wait delays. Delay(ms) spins the calibrated loop (DelayLoopCount inner iterations per 10 us)
// but ends on a monotonic-clock deadline, so a calibration taken on a busy machine can never make a
// wait shorter than asked.
#include "shell/Module1.h"
#include <cstdint>

namespace DelayState {
inline VBool DelayCalibrated = VFalse;
inline int32_t DelayLoopCount = 1000;
}

// Waits ms milliseconds; values below 0.01 (but not 0) wait 0.01. Returns the time waited for.
float Delay(float ms);
// Measures DelayLoopCount; the program's start-up runs it behind its loading window. Processes
// without that window need not: the deadline keeps every wait correct with the default count.
void CalibrateDelay();
// The same measurement with every measuring wait scaled by `scale` (tests use a short one).
void CalibrateDelayScaled(double scale);

// Seconds on a monotonic clock (replaces seconds since midnight).
double ClockSeconds();
