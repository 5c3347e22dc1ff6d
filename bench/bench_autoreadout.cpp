// Auto read-out in automatic mode on the virtual board in real time: averaging 1 (0.23 s captures)
// every second, STATUS polled every 300 ms, each finished capture read out. Prints how many were
// read and how many dropped, the faithful way and with Fast read-out.
// Usage: bench_autoreadout [seconds per run, default 20]
#include "BenchBoard.h"
#include "capture/CaptureSettings.h"
#include "capture/CaptureWorkflow.h"
#include "capture/FastReadout.h"
#include "config/ConfigConversions.h"
#include "device/EzUsb.h"
#include "device/Spi_mod.h"
#include "device/UsbSpiDrivers.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(2.0, std::atof(argv[1])) : 20.0;
    if (!bench::UseVirtualCard(31473)) {
        std::printf("no virtual card selected\n");
        return 2;
    }
    const auto& t = m470Reg::Table();
    for (bool fast : {false, true}) {
        FastReadout::Enabled = fast;
        WriteRegister(t.idxAVG_CNT, 0);
        WriteRegister(t.idxCAPT_PRD, CaptureSettings::ComposeCaptPrd(0, 1));
        WriteRegister(t.idxCAPT_CTRL, CaptureSettings::ComposeCaptCtrl(false, 1, 0, false, false));
        WriteRegister(t.idxCOMMAND, cfg::kCmdClearStatus);
        WriteRegister(t.idxCOMMAND, cfg::kCmdCaptureStartStop);
        capture::AutoReadoutCount count;
        const double start = ClockSeconds();
        while (ClockSeconds() - start < seconds) {
            QThread::msleep(300);
            const std::optional<int32_t> status = capture::ReadStatusWord(ProgramSession());
            if (!status || !(*status & capture::kDataReadyBit))
                continue;
            const double seen = ClockSeconds();
            const capture::ReadOutResult r = capture::ReadReadyCapture(ProgramSession(), 0);
            if (r.complete || r.overrun)
                count.Seen(seen, 1.0, r.complete);
        }
        WriteRegister(t.idxCOMMAND, cfg::kCmdCaptureStartStop);
        std::printf("averaging 1, interval 1 s, %s read-out, %.0f s: %s (about %.0f captures made)\n",
                    fast ? "fast" : "faithful", seconds, qPrintable(count.Text()), seconds);
    }
    return 0;
}
