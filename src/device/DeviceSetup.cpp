#include "device/DeviceSetup.h"
#include "device/CompositeEzUsbDriver.h"
#include "device/LibusbEzUsbDriver.h"
#include "device/EzUsb.h"
#include "device/LinuxPortIo.h"
#include "device/SetupGiveIO.h"
#include "device/UsbSpiDrivers.h"
#include "sim/Board.h"

void InstallDeviceBackends(int virtualCards, const sim::Host& host)
{
    auto real = std::make_shared<LibusbEzUsbDriver>();
    const bool simulated = virtualCards < 0 ? sim::InstallFromEnvironment(host)
                                            : virtualCards > 0 && (sim::InstallVirtualCards(virtualCards, host), true);
    if (simulated) {
        SetEzUsbDriver(std::make_shared<CompositeEzUsbDriver>(real, sim::VirtualDriver()));
        SetPortIo(sim::VirtualPortIo());
        return;
    }
    SetEzUsbDriver(real);
    SetPortIo(std::make_shared<LinuxPortIo>());
}

std::optional<QString> OpenInterface(BenchSession& session, std::optional<int> card, std::optional<int> port)
{
    const qsizetype before = session.messages.size();
    auto said = [&] { return session.messages.mid(before).join(QStringLiteral("; ")); };
    auto failed = [&] { return said().isEmpty() ? QStringLiteral("device error") : said(); };
    if (port) {
        session.portAddress = static_cast<int16_t>(*port);
        session.interfaceType = kInterfaceParallel;
        StartParallelPortAccess(session);
        return said().isEmpty() ? std::nullopt : std::optional<QString>(failed());
    }
    session.interfaceType = kInterfaceUsb;
    if (card) {
        FindUsbCards(session, *card);
        if (*card < 0 || size_t(*card) >= session.cards.size() || session.cards[size_t(*card)].Valid == VFalse)
            return QStringLiteral("no card in slot %1").arg(*card);
        session.card = session.cards[size_t(*card)];
        session.cardIndex = static_cast<int16_t>(*card);
    } else {
        SelectFirstUsbCard(session);
    }
    if (!session.CardReady())
        return failed();
    SetSpiBits(session, session.spi.staticBits);
    SetupSpi(session, session.spi.delay);
    if (!session.CardReady())
        return failed();
    return std::nullopt;
}

QString DeviceErrorText(const QStringList& messages)
{
    return messages.isEmpty() ? QStringLiteral("device error") : messages.join(QStringLiteral("; "));
}

std::optional<QString> DeviceCheck(const BenchSession& session)
{
    if (session.interfaceType == kInterfaceUsb && !session.CardReady())
        return DeviceErrorText(session.messages);
    return std::nullopt;
}
