#include "device/EzUsbDriver.h"
#include "device/PortIo.h"

namespace {
std::shared_ptr<EzUsbDriver> g_driver;
std::shared_ptr<PortIo> g_port;
}

EzUsbDriver* CurrentEzUsbDriver() { return g_driver.get(); }
void SetEzUsbDriver(std::shared_ptr<EzUsbDriver> driver) { g_driver = std::move(driver); }
PortIo* CurrentPortIo() { return g_port.get(); }
void SetPortIo(std::shared_ptr<PortIo> io) { g_port = std::move(io); }
