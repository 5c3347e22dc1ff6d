#include "device/DeviceSetup.h"
#include "device/CompositeEzUsbDriver.h"
#include "device/LibusbEzUsbDriver.h"
#include "device/LinuxPortIo.h"
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
