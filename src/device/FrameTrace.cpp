#include "device/FrameTrace.h"

namespace {
FrameTraceHook g_hook;
}

void SetFrameTraceHook(FrameTraceHook hook) { g_hook = std::move(hook); }

void TraceFrame(uint16_t sent, std::optional<uint16_t> received)
{
    if (g_hook)
        g_hook(sent, received);
}
