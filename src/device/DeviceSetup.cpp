#include "device/DeviceSetup.h"
#include "device/CompositeEzUsbDriver.h"
#include "device/LibusbEzUsbDriver.h"
#include "device/LinuxPortIo.h"
#include "sim/Board.h"

void InstallDeviceBackends()
{
    auto real = std::make_shared<LibusbEzUsbDriver>();
    if (sim::InstallFromEnvironment()) {
        SetEzUsbDriver(std::make_shared<CompositeEzUsbDriver>(real, sim::VirtualDriver()));
        SetPortIo(sim::VirtualPortIo());
        return;
    }
    SetEzUsbDriver(real);
    SetPortIo(std::make_shared<LinuxPortIo>());
}
