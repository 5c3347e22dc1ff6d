// A full capture read-out (3 x 1024 pointer writes and buffer reads, 6144 register
// accesses) over the virtual USB-SPI card, against the 0.1 ms settling delays the
// register layer spends anyway. Also with a latency per bulk transfer like a real
// USB 2.0 card's, to show what the round trips cost.
#include "device/EzUsb.h"
#include "device/EzUsbDriver.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace m470Reg;

namespace {
constexpr int kAccesses = 6144;
constexpr double kDelaySeconds = kAccesses * 0.1e-3;

double ReadOutSeconds()
{
    const double t0 = ClockSeconds();
    for (int16_t buffer : {idxCAPT_BUF1, idxCAPT_BUF2, idxCAPT_BUF3}) {
        for (int i = 0; i < 1024; ++i) {
            WriteRegister(idxCAPT_PNTR, i);
            ReadRegister(buffer);
        }
    }
    return ClockSeconds() - t0;
}

double Median(int runs, int16_t interfaceType)
{
    Module1::InterfaceType = interfaceType;
    std::vector<double> t;
    for (int i = 0; i < runs; ++i)
        t.push_back(ReadOutSeconds());
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::printf("calibrating...\n");
    CalibrateDelay();

    Module1::InitialiseState();
    Module1::ProductNumber = 31473;
    BuildTable31473();
    sim::Board& board = sim::Install(1, 0);
    board.Sensor().SetFrameLogLimit(0);
    SelectFirstUsbCard();
    if (EzUsb::SelectedUsbCard.Valid != VTrue) {
        std::printf("virtual card not selected\n");
        return 1;
    }

    // The same loop with no interface: the settling delays alone.
    const double delaysOnly = Median(runs, 0);
    const double card = Median(runs, 2);
    std::printf("%d accesses, median of %d runs\n", kAccesses, runs);
    std::printf("delays only:              %.3f s (nominal %.3f s)\n", delaysOnly, kDelaySeconds);
    std::printf("virtual card:             %.3f s  ratio to nominal delays %.3f, to measured delays %.3f "
                "(target < 1.15)\n",
                card, card / kDelaySeconds, card / delaysOnly);

    board.SetTransferLatency(std::chrono::microseconds(125));
    {
        // The latency alone, per bulk transfer, straight at the driver.
        EzUsbDriver* driver = CurrentEzUsbDriver();
        const int32_t handle = driver->Open("Ezusb-0");
        const uint32_t pipe = 0;
        uint8_t msg[1] = {0};
        uint32_t moved = 0;
        const int n = 2000;
        const double t0 = ClockSeconds();
        for (int i = 0; i < n; ++i)
            driver->IoControl(handle, ezusb::kIoctlBulkTransfer, &pipe, 4, msg, 1, &moved);
        std::printf("one bulk transfer:        %.1f us (latency set to 125 us)\n", (ClockSeconds() - t0) / n * 1e6);
    }
    const double slow = Median(std::max(1, runs / 2), 2);
    std::printf("card with 125 us/transfer: %.3f s  ratio to nominal delays %.3f (2 bulk transfers per access)\n",
                slow, slow / kDelaySeconds);
    return 0;
}
