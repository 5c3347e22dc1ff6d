#include "shell/Delay.h"
#include "shell/Messages.h"
#include "shell/Numbers.h"
#include <chrono>
#include <cmath>

using namespace DelayState;

namespace {
// The volatile counter keeps the empty inner loop from being optimised away.
void SpinOuter(int32_t n)
{
    for (int32_t i = 1; i <= n; ++i) {
        volatile int32_t j = 1;
        while (j <= DelayLoopCount)
            j = j + 1;
    }
}

float Measure(float ms)
{
    const double t0 = ClockSeconds();
    Delay(ms);
    return static_cast<float>(ClockSeconds() - t0);
}
} // namespace

double ClockSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Delay(float& ms)
{
    if (ms == 0.0f)
        return;
    if (ms < 0.01f)
        ms = 0.01f;
    const int32_t n = RoundHalfEven(static_cast<double>(ms) * 100.0);
    if (DelayCalibrated == VFalse)
        CalibrateDelay();
    SpinOuter(n);
}

void CalibrateDelay()
{
    DelayCalibrated = VTrue;
    DelayLoopCount = 1000;
    BusyPointer(true);
    float e = Measure(500.0f);
    if (e < 0.005f) {
        DelayLoopCount = DelayLoopCount * 40;
        e = Measure(500.0f);
    }
    if (e < 0.1f) {
        DelayLoopCount = DelayLoopCount * 6;
        e = Measure(500.0f);
    }
    if (e < 0.0005f)
        e = 0.0005f;
    DelayLoopCount = RoundHalfEven((0.5 / e) * DelayLoopCount);
    e = Measure(3000.0f);
    if (e < 0.1f)
        e = 0.1f;
    DelayLoopCount = RoundHalfEven((3.0 / e) * DelayLoopCount);
    if (DelayLoopCount < 1)
        DelayLoopCount = 1;
    BusyPointer(false);
}
