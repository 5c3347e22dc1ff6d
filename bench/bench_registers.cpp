// Register access cost over the virtual card: wall time of 6144 register reads (a full
// capture read-out's worth) against the 0.1 ms per access the program waits anyway.
// Target: ratio below 1.15 with no card latency.
#include "device/EzUsb.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
constexpr int kAccesses = 6144;
constexpr double kFloorSeconds = kAccesses * 0.1e-3;

// The same number of Delay(0.1) calls alone: what the accesses cost on this machine now,
// whatever the calibration says.
double DelaysOnly()
{
    const double t0 = ClockSeconds();
    for (int i = 0; i < kAccesses; ++i)
        Delay(0.1f);
    return ClockSeconds() - t0;
}

double OneRun()
{
    const int16_t rows[3] = {m470Reg::Table().idxCAPT_BUF1, m470Reg::Table().idxCAPT_BUF2, m470Reg::Table().idxCAPT_BUF3};
    const double t0 = ClockSeconds();
    for (int i = 0; i < kAccesses; ++i)
        ReadRegister(rows[i % 3]);
    return ClockSeconds() - t0;
}

void Report(const char* label, std::chrono::nanoseconds latency, int runs)
{
    sim::Board& board = sim::Install(1, 31473);
    board.SetTransferLatency(latency);
    board.Sensor().SetFrameLogLimit(4096);
    SelectFirstUsbCard();
    std::vector<double> times, delays;
    for (int r = 0; r < runs; ++r) {
        times.push_back(OneRun());
        delays.push_back(DelaysOnly());
    }
    std::sort(times.begin(), times.end());
    std::sort(delays.begin(), delays.end());
    const double median = times[times.size() / 2];
    const double delayMedian = delays[delays.size() / 2];
    std::printf("%-34s median %.1f ms  ratio to 6144 x 0.1 ms %.3f  ratio to the measured delays alone "
                "(%.1f ms) %.3f  (n=%d)\n",
                label, median * 1000.0, median / kFloorSeconds, delayMedian * 1000.0, median / delayMedian, runs);
}
} // namespace

int main()
{
    std::printf("calibrating...\n");
    CalibrateDelay();
    Module1::InitialiseState();
    Module1::ProductNumber = 31473;
    BuildTable31473();
    Module1::InterfaceType = kInterfaceUsb;
    std::printf("%d register reads, floor %.1f ms (0.1 ms each)\n", kAccesses, kFloorSeconds * 1000.0);
    Report("virtual card, no latency", std::chrono::nanoseconds(0), 7);
    Report("virtual card, 125 us per transfer", std::chrono::microseconds(125), 3);
    return 0;
}
