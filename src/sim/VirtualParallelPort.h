#pragma once
// The parallel port wired to the virtual sensor: data-register writes are decoded as
// chip select (bit 0, high during a frame), clock (bit 1) and inverted data (bit 2);
// the status register carries the inverted data-out line (bit 6) and the busy line
// (bit 5, low while the sensor is busy).
#include "device/PortIo.h"
#include "sim/VirtualSensor.h"
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace sim {

class VirtualParallelPort : public PortIo {
public:
    // Until a program acquires the port, its base address is what `baseAddress` says (none:
    // every address but 0x379 and 0x37A is the data register).
    explicit VirtualParallelPort(VirtualSensor& sensor, std::shared_ptr<void> owner = {},
                                 std::function<int()> baseAddress = {});

    void Out(uint16_t port, uint8_t value) override;
    uint8_t In(uint16_t port) override;
    // Any address works.
    bool Acquire(uint16_t base, QString* error) override;

    // Every value written to the data register, oldest first.
    const std::vector<uint8_t>& DataWrites() const { return dataWrites_; }
    void ClearDataWrites() { dataWrites_.clear(); }
    // Values written to the status and control registers (e.g. the start-up pulse).
    const std::vector<uint8_t>& OtherWrites() const { return otherWrites_; }

    // A stuck data-out line: -1 follows the sensor, 0 holds the line low, 1 high.
    void SetStuckDataOut(int level) { stuck_ = level; }

    // Frames that ended with other than 16 clocks (ignored by the sensor).
    int BrokenFrames() const { return brokenFrames_; }

    static constexpr uint8_t kBusyBit = 0x20;
    static constexpr uint8_t kDataInBit = 0x40;

private:
    bool IsDataRegister(uint16_t port) const;
    void Data(uint8_t value);

    VirtualSensor& sensor_;
    std::shared_ptr<void> owner_;
    std::function<int()> baseAddress_;
    bool acquired_ = false;
    uint16_t base_ = 0;
    uint8_t last_ = 0;
    bool inFrame_ = false;
    int bits_ = 0;
    uint16_t mosi_ = 0;
    uint16_t misoWord_ = 0;
    bool dataOut_ = false;
    int stuck_ = -1;
    int brokenFrames_ = 0;
    std::vector<uint8_t> dataWrites_;
    std::vector<uint8_t> otherWrites_;
};

} // namespace sim
