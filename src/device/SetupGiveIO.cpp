#include "device/SetupGiveIO.h"
#include "device/ParallelPort.h"
#include "device/PortIo.h"

void InstallGiveio(BenchSession& session)
{
    QString reason;
    PortIo* io = CurrentPortIo();
    if (io && io->Acquire(static_cast<uint16_t>(session.portAddress), &reason))
        return;
    // The program's message first, then why the port could not be had.
    QString text = QStringLiteral("The required I/O drivers could not be installed.");
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason;
    session.Report(text, MsgIcon::Critical, QStringLiteral("Error"));
}

int giveio() { return 1; }

void StartParallelPortAccess(BenchSession& session)
{
    InstallGiveio(session);
    giveio();
    session.giveioInstalled = VTrue;
    ParallelPulse(session);
}

void AcceptPortAddress(BenchSession& session, int16_t address)
{
    session.portAddress = address;
    session.interfaceType = kInterfaceParallel;
    const bool ntClass = session.osName == QLatin1String("WinNT") || session.osName == QLatin1String("WinXP");
    if (ntClass && session.giveioInstalled == VFalse)
        StartParallelPortAccess(session);
}

QString PortAddressText(int16_t address) { return QString::number(static_cast<uint16_t>(address), 16).toUpper(); }
