#pragma once
// Optional observer of every SPI frame the transports send (the CLI's --trace).
#include <cstdint>
#include <functional>
#include <optional>

// received is empty where the transport does not sample the sensor's output (port write frames).
using FrameTraceHook = std::function<void(uint16_t sent, std::optional<uint16_t> received)>;

void SetFrameTraceHook(FrameTraceHook hook);
void TraceFrame(uint16_t sent, std::optional<uint16_t> received);
