#include "device/DeviceSetup.h"
#include "device/CompositeEzUsbDriver.h"
#include "device/LibusbEzUsbDriver.h"
#include "device/EzUsb.h"
#include "device/LinuxPortIo.h"
#include "device/SetupGiveIO.h"
#include "device/UsbSpiDrivers.h"
#include "shell/Messages.h"
#include "shell/Module1.h"
#include "sim/Board.h"

void InstallDeviceBackends(int virtualCards)
{
    auto real = std::make_shared<LibusbEzUsbDriver>();
    const bool simulated = virtualCards < 0 ? sim::InstallFromEnvironment()
                                            : virtualCards > 0 && (sim::InstallVirtualCards(virtualCards), true);
    if (simulated) {
        SetEzUsbDriver(std::make_shared<CompositeEzUsbDriver>(real, sim::VirtualDriver()));
        SetPortIo(sim::VirtualPortIo());
        return;
    }
    SetEzUsbDriver(real);
    SetPortIo(std::make_shared<LinuxPortIo>());
}

std::optional<QString> OpenInterface(std::optional<int> card, std::optional<int> port)
{
    MessageWitness witness;
    auto failed = [&witness] {
        return witness.Seen().isEmpty() ? QStringLiteral("device error") : witness.Seen();
    };
    if (port) {
        Module1::PortAddress = static_cast<int16_t>(*port);
        Module1::InterfaceType = kInterfaceParallel;
        StartParallelPortAccess();
        return witness.Seen().isEmpty() ? std::nullopt : std::optional<QString>(failed());
    }
    Module1::InterfaceType = kInterfaceUsb;
    if (card) {
        FindUsbCards();
        if (*card < 0 || size_t(*card) >= EzUsb::UsbCards.size() || EzUsb::UsbCards[size_t(*card)].Valid == VFalse)
            return QStringLiteral("no card in slot %1").arg(*card);
        EzUsb::SelectedUsbCard = EzUsb::UsbCards[size_t(*card)];
        EzUsb::SelectedUsbCardIndex = static_cast<int16_t>(*card);
    } else {
        SelectFirstUsbCard();
    }
    if (EzUsb::SelectedUsbCard.Valid == VFalse)
        return failed();
    SetSpiBits(Module1::SpiStaticBits);
    SetupSpi(Module1::SpiDelay);
    if (EzUsb::SelectedUsbCard.Valid == VFalse)
        return failed();
    return std::nullopt;
}

QString DeviceErrorText(const QStringList& messages)
{
    return messages.isEmpty() ? QStringLiteral("device error") : messages.join(QStringLiteral("; "));
}

std::optional<QString> DeviceCheck(const QStringList& messages)
{
    if (Module1::InterfaceType == kInterfaceUsb && EzUsb::SelectedUsbCard.Valid == VFalse)
        return DeviceErrorText(messages);
    return std::nullopt;
}
