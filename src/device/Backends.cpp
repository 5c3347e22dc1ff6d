#include "device/EzUsbDriver.h"
#include "device/PortIo.h"
#include "shell/Module1.h"
#include "sim/Board.h"

namespace {
std::shared_ptr<EzUsbDriver> g_driver;
std::shared_ptr<PortIo> g_port;

// A virtual board installed anywhere in the program follows the product the user selects and
// the port address of the settings, as the real sensor and port would.
const bool g_virtualBoardFollowsProgram = [] {
    sim::SetDefaultHost({[] { return static_cast<int>(Module1::ProductNumber); },
                         [] { return static_cast<int>(Module1::PortAddress); }});
    return true;
}();
} // namespace

EzUsbDriver* CurrentEzUsbDriver() { return g_driver.get(); }
void SetEzUsbDriver(std::shared_ptr<EzUsbDriver> driver) { g_driver = std::move(driver); }
PortIo* CurrentPortIo() { return g_port.get(); }
void SetPortIo(std::shared_ptr<PortIo> io) { g_port = std::move(io); }
