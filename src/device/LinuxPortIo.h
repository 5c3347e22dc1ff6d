#pragma once
// The PC parallel port on Linux: through ppdev (/dev/parportN, found by its base address in
// /proc/sys/dev/parport/*/base-addr), or raw ioperm/inb/outb for an address no ppdev port has.
#include "device/PortIo.h"
#include <string>

class LinuxPortIo : public PortIo {
public:
    // procRoot / devRoot: where the parport entries and device nodes are (tests point elsewhere).
    explicit LinuxPortIo(std::string procRoot = "/proc/sys/dev/parport", std::string devRoot = "/dev");
    ~LinuxPortIo() override;
    LinuxPortIo(const LinuxPortIo&) = delete;
    LinuxPortIo& operator=(const LinuxPortIo&) = delete;

    void Out(uint16_t port, uint8_t value) override;
    uint8_t In(uint16_t port) override;
    bool Acquire(uint16_t base, QString* error) override;

    // The ppdev port number whose base address is `base`, -1 when none.
    int FindPpdevPort(uint16_t base) const;

private:
    void Release();
    // Accesses before the permission step (or after the address changed) claim the port
    // at the program's current address once, silently.
    bool Ready(uint16_t port);

    std::string procRoot_, devRoot_;
    int fd_ = -1;              // claimed ppdev port
    bool rawAccess_ = false;   // ioperm granted
    bool acquired_ = false;
    uint16_t base_ = 0;
    int failedBase_ = -1;
};
