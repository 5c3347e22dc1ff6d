#pragma once
#include "device/BenchSession.h"
#include "sim/Board.h"
#include <QString>
#include <QStringList>
#include <optional>

// Installs the card driver and the port I/O the program runs with: real cards through
// libusb (plus virtual cards after them, and the virtual port, when SENSORBENCH_SIM is set),
// the Linux port otherwise.
// `virtualCards` >= 0 installs that many virtual cards instead of what SENSORBENCH_SIM says
// (0: none, real hardware only); `host` tells the virtual sensors which product they are.
void InstallDeviceBackends(int virtualCards = -1, const sim::Host& host = sim::DefaultHost());

// Virtual sensors that answer as the product of the windows' session, and a virtual port at its
// address, as the real sensor and port would when the user picks them.
inline sim::Host ProgramSessionHost()
{
    return {[](int) { return static_cast<int>(ProgramSession().product); },
            [] { return static_cast<int>(ProgramSession().portAddress); }};
}

// Brings up the interface a script or command line names on `session`: the parallel port at
// `port`, else the USB card in slot `card` (0..3), else the first card found; then the SPI set-up.
// nullopt when it is up; else why not, in the device layer's own words ("device error" when it
// said nothing).
std::optional<QString> OpenInterface(BenchSession& session, std::optional<int> card, std::optional<int> port);

// The device layer's messages as one error text ("device error" when it said nothing).
QString DeviceErrorText(const QStringList& messages);
// After a command: the error text (from session.messages) when the USB card in use was lost
// meanwhile, else nullopt.
std::optional<QString> DeviceCheck(const BenchSession& session);
