#include "config/ConfigDelay.h"
#include "shell/Delay.h"

namespace cfg {
namespace {
std::function<void(float)> g_observer;
}

void WaitMs(float ms)
{
    if (g_observer) {
        g_observer(ms);
        return;
    }
    Delay(ms);
}

void SetWaitObserver(std::function<void(float ms)> observer) { g_observer = std::move(observer); }

} // namespace cfg
