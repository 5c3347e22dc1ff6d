#include "device/EzUsbDriver.h"
#include "device/PortIo.h"

// The card driver and port I/O belong to the process (one bus, one port driver); every session
// opens its own card or port through them.
namespace {
std::shared_ptr<EzUsbDriver> g_driver;
std::shared_ptr<PortIo> g_port;
} // namespace

EzUsbDriver* CurrentEzUsbDriver() { return g_driver.get(); }
void SetEzUsbDriver(std::shared_ptr<EzUsbDriver> driver) { g_driver = std::move(driver); }
PortIo* CurrentPortIo() { return g_port.get(); }
void SetPortIo(std::shared_ptr<PortIo> io) { g_port = std::move(io); }
