// Faithful vs fast capture read-out (3 x 1024 samples) over the virtual USB-SPI card
// with a real card's round trip: 125 us per bulk transfer. Goal: fast at least 4x quicker.
// The card's word delays run on the virtual bus's own time line, so the bus time the
// fast read-out would need on a real card is printed beside the wall time.
#include "capture/BufferReadout.h"
#include "capture/CaptureRecord.h"
#include "capture/FastReadout.h"
#include "device/EzUsb.h"
#include "device/Spi_mod.h"
#include "device/UsbSpiDrivers.h"
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

namespace {
// The read-out as the program runs it, with fast read-out off or on.
double ReadOutSeconds(bool fast)
{
    FastReadout::Enabled = fast;
    const double t0 = ClockSeconds();
    { CaptureRecord::Record r; BufferReadout::ReadCaptureRecord(ProgramSession(), r); }
    return ClockSeconds() - t0;
}

double Median(int runs, bool fast)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i)
        t.push_back(ReadOutSeconds(fast));
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("calibrating...\n");
    CalibrateDelay();

    Module1::InitialiseState();
    Module1::ProductNumber = 31473;
    BuildTable31473();
    sim::Board& board = sim::Install(1, 0);
    board.Sensor().SetFrameLogLimit(0);
    board.Sensor().SetMinFrameGap(sim::kMinFrameGapSeconds);
    SelectFirstUsbCard();
    if (EzUsb::SelectedUsbCard.Valid != VTrue) {
        std::printf("virtual card not selected\n");
        return 1;
    }
    Module1::InterfaceType = kInterfaceUsb;
    board.SetTransferLatency(std::chrono::microseconds(125));

    const double faithful = Median(runs, false);
    const double fast = Median(runs, true);
    const int frames = 3 * 3 * 1024 + 1;
    const double bus = frames * (sim::VirtualCard::kWordSeconds +
                                 FastReadout::kWordDelayMicroseconds * sim::VirtualCard::kDelayUnitSeconds);
    std::printf("3 x 1024 samples, 125 us per bulk transfer, median of %d runs\n", runs);
    std::printf("faithful read-out: %.3f s\n", faithful);
    std::printf("fast read-out:     %.3f s  (bus time of its %d frames on a real card: %.3f s)\n", fast, frames, bus);
    std::printf("ratio:             %.1fx  (goal >= 4x)\n", faithful / fast);
    // The virtual card does not spend its word delays in wall time; a real one would.
    std::printf("ratio with that bus time added (real card estimate): %.1fx\n", faithful / (fast + bus));
    return 0;
}
