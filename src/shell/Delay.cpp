#include "shell/Delay.h"
#include "shell/Messages.h"
#include "shell/Numbers.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

using namespace DelayState;
using Clock = std::chrono::steady_clock;

namespace {
// The volatile counter keeps the empty inner loop from being optimised away.
void SpinInner(int32_t count)
{
    volatile int32_t j = 1;
    while (j <= count)
        j = j + 1;
}

void SpinOuter(int32_t n)
{
    for (int32_t i = 1; i <= n; ++i)
        SpinInner(DelayLoopCount);
}

// Times the bare calibrated loop: the deadline in Delay would hide what is being measured.
float MeasureLoop(float ms)
{
    const double t0 = ClockSeconds();
    SpinOuter(RoundHalfEven(static_cast<double>(ms) * 100.0));
    return static_cast<float>(ClockSeconds() - t0);
}

// Long waits sleep most of the way and spin the rest; the margin absorbs the scheduler's wake-up.
constexpr auto kSleepMargin = std::chrono::microseconds(1500);
} // namespace

double ClockSeconds()
{
    using namespace std::chrono;
    return duration<double>(Clock::now().time_since_epoch()).count();
}

float Delay(float ms)
{
    if (ms == 0.0f)
        return ms;
    if (ms < 0.01f)
        ms = 0.01f;
#ifdef SB_FUZZ_BUILD
    // Fuzzing explores inputs, not timing: real waits would only cut the executions a hundredfold.
    return ms;
#endif
    const int32_t n = RoundHalfEven(static_cast<double>(ms) * 100.0);
    const auto deadline = Clock::now() + std::chrono::microseconds(10) * n;
    if (deadline - Clock::now() > 2 * kSleepMargin)
        std::this_thread::sleep_until(deadline - kSleepMargin);
    // A tenth of the calibrated 10 us unit between clock reads keeps the overshoot near 1 us.
    const int32_t unit = std::max<int32_t>(1, DelayLoopCount / 10);
    while (Clock::now() < deadline)
        SpinInner(unit);
    return ms;
}

void CalibrateDelay() { CalibrateDelayScaled(1.0); }

void CalibrateDelayScaled(double scale)
{
    const auto wait = [scale](float ms) { return static_cast<float>(ms * scale); };
    DelayCalibrated = VTrue;
    DelayLoopCount = 1000;
    BusyPointer(true);
    float e = MeasureLoop(wait(500.0f));
    if (e < 0.005f * scale) {
        DelayLoopCount = DelayLoopCount * 40;
        e = MeasureLoop(wait(500.0f));
    }
    if (e < 0.1f * scale) {
        DelayLoopCount = DelayLoopCount * 6;
        e = MeasureLoop(wait(500.0f));
    }
    if (e < 0.0005f * scale)
        e = static_cast<float>(0.0005f * scale);
    DelayLoopCount = RoundHalfEven((0.5 * scale / e) * DelayLoopCount);
    e = MeasureLoop(wait(3000.0f));
    if (e < 0.1f * scale)
        e = static_cast<float>(0.1f * scale);
    DelayLoopCount = RoundHalfEven((3.0 * scale / e) * DelayLoopCount);
    if (DelayLoopCount < 1)
        DelayLoopCount = 1;
    BusyPointer(false);
}
