#include "device/SetupGiveIO.h"
#include "device/ParallelPort.h"
#include "device/PortIo.h"
#include "shell/Messages.h"
#include "shell/Module1.h"
#include <cstdio>

void InstallGiveio()
{
    QString reason;
    PortIo* io = CurrentPortIo();
    if (io && io->Acquire(static_cast<uint16_t>(Module1::PortAddress), &reason))
        return;
    if (!reason.isEmpty())
        std::fprintf(stderr, "parallel port: %s\n", qPrintable(reason));
    MsgBox(QStringLiteral("The required I/O drivers could not be installed."), MsgIcon::Critical, MsgButtons::Ok,
           QStringLiteral("Error"));
}

int giveio() { return 1; }

void StartParallelPortAccess()
{
    InstallGiveio();
    giveio();
    Module1::GiveioInstalled = VTrue;
    ParallelPulse();
}
