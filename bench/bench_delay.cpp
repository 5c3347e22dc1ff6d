// Delay accuracy after calibration: median measured/requested ratio per duration.
#include "shell/Delay.h"

#include <algorithm>
#include <cstdio>
#include <vector>

int main()
{
    std::printf("calibrating...\n");
    CalibrateDelay();
    std::printf("DelayLoopCount = %d\n", DelayState::DelayLoopCount);
    const float requests[] = {0.1f, 1.0f, 10.0f, 100.0f};
    for (float ms : requests) {
        const int reps = ms < 10 ? 200 : (ms < 100 ? 50 : 10);
        std::vector<double> ratios;
        for (int i = 0; i < reps; ++i) {
            float arg = ms;
            const double t0 = ClockSeconds();
            Delay(arg);
            ratios.push_back((ClockSeconds() - t0) * 1000.0 / ms);
        }
        std::sort(ratios.begin(), ratios.end());
        std::printf("Delay(%g ms): median measured/requested = %.3f (n=%d)\n", ms, ratios[ratios.size() / 2],
                    reps);
    }
    return 0;
}
