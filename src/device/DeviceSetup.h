#pragma once
// Installs the card driver and the port I/O the program runs with: real cards through
// libusb (plus virtual cards after them, and the virtual port, when SENSORBENCH_SIM is set),
// the Linux port otherwise.
// `virtualCards` >= 0 installs that many virtual cards instead of what SENSORBENCH_SIM says
// (0: none, real hardware only).
void InstallDeviceBackends(int virtualCards = -1);
