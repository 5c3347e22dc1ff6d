#include "device/SetupGiveIO.h"
#include "device/ParallelPort.h"
#include "device/PortIo.h"
#include "shell/Messages.h"
#include "shell/Module1.h"

void InstallGiveio()
{
    QString reason;
    PortIo* io = CurrentPortIo();
    if (io && io->Acquire(static_cast<uint16_t>(Module1::PortAddress), &reason))
        return;
    // The program's message first, then why the port could not be had.
    QString text = QStringLiteral("The required I/O drivers could not be installed.");
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason;
    MsgBox(text, MsgIcon::Critical, MsgButtons::Ok, QStringLiteral("Error"));
}

int giveio() { return 1; }

void StartParallelPortAccess()
{
    InstallGiveio();
    giveio();
    Module1::GiveioInstalled = VTrue;
    ParallelPulse();
}

void AcceptPortAddress(int16_t address)
{
    Module1::PortAddress = address;
    Module1::InterfaceType = kInterfaceParallel;
    const bool ntClass = Module1::OsName == QLatin1String("WinNT") || Module1::OsName == QLatin1String("WinXP");
    if (ntClass && Module1::GiveioInstalled == VFalse)
        StartParallelPortAccess();
}

QString PortAddressText(int16_t address) { return QString::number(static_cast<uint16_t>(address), 16).toUpper(); }
