#pragma once
// The busy waits of the configuration and register windows. They go through one place
// so a test can see each wait, and where it falls among the bus frames, without spinning.
#include <functional>

namespace cfg {

// Delay(ms), or the installed observer instead of it.
void WaitMs(float ms);

// Tests: `observer` runs in place of the busy wait; an empty function restores Delay.
void SetWaitObserver(std::function<void(float ms)> observer);

} // namespace cfg
