#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// Installs the card driver and the port I/O the program runs with: real cards through
// libusb (plus virtual cards after them, and the virtual port, when SENSORBENCH_SIM is set),
// the Linux port otherwise.
// `virtualCards` >= 0 installs that many virtual cards instead of what SENSORBENCH_SIM says
// (0: none, real hardware only).
void InstallDeviceBackends(int virtualCards = -1);

// Brings up the interface a script or command line names: the parallel port at `port`, else the USB
// card in slot `card` (0..3), else the first card found; then the SPI set-up. nullopt when it is
// up; else why not, in the device layer's own words ("device error" when it said nothing).
std::optional<QString> OpenInterface(std::optional<int> card, std::optional<int> port);

// The device layer's messages as one error text ("device error" when it said nothing).
QString DeviceErrorText(const QStringList& messages);
// After a command: the error text when the USB card in use was lost meanwhile, else nullopt.
std::optional<QString> DeviceCheck(const QStringList& messages);
