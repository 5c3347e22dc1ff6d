#pragma once
// Installs the card driver and the port I/O the program runs with: real cards through
// libusb (plus virtual cards after them, and the virtual port, when SENSORBENCH_SIM is set),
// the Linux port otherwise.
void InstallDeviceBackends();
