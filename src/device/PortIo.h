#pragma once
// Byte port I/O for the bit-banged parallel port (real ppdev/ioperm or the virtual board).
#include <QString>
#include <cstdint>
#include <memory>

class PortIo {
public:
    virtual ~PortIo() = default;
    virtual void Out(uint16_t port, uint8_t value) = 0;
    virtual uint8_t In(uint16_t port) = 0;
    // The port-access step for the port whose data register is at `base`.
    // Returns false and a reason when the port cannot be used.
    virtual bool Acquire(uint16_t base, QString* error) = 0;
};

PortIo* CurrentPortIo();
void SetPortIo(std::shared_ptr<PortIo> io);
