#pragma once
// Calibrated busy-wait: Delay(ms) spins DelayLoopCount inner iterations per 10 us.
#include "shell/Module1.h"
#include <cstdint>

namespace DelayState {
inline VBool DelayCalibrated = VFalse;
inline int32_t DelayLoopCount = 1000;
}

// ms is by reference: values below 0.01 (but not 0) are raised to 0.01 in the caller's variable.
void Delay(float& ms);
inline void Delay(float&& ms) { Delay(ms); }
void CalibrateDelay();

// Seconds on a monotonic clock (replaces seconds since midnight).
double ClockSeconds();
