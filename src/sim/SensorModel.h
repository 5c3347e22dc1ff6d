#pragma once
// One product's sensor: byte-addressed register file and what its registers do.
#include "sim/VirtualSensor.h"
#include <array>
#include <cstdint>

namespace sim {

// Byte addresses of the registers (the same on both products where both have them).
namespace reg {
constexpr int ENDURANCE = 0x00;
constexpr int X_NULL = 0x02;
constexpr int AUX0_NULL = 0x04; // Y_NULL on 31473
constexpr int AUX1_NULL = 0x06; // Z_NULL on 31473
constexpr int RESERVED8 = 0x08;
constexpr int CAPT_SUPPLY = 0x0A;
constexpr int CAPT_TEMP = 0x0C;
constexpr int CAPT_PEAK_X = 0x0E;
constexpr int CAPT_PEAK_Y = 0x10;
constexpr int CAPT_PEAK_Z = 0x12;
constexpr int CAPT_BUF1 = 0x14;
constexpr int CAPT_BUF2 = 0x16;
constexpr int CAPT_BUF3 = 0x18;
constexpr int CAPT_PNTR = 0x1A;
constexpr int CAPT_CTRL = 0x1C;
constexpr int CAPT_PRD = 0x1E;
constexpr int ALM_MAG1 = 0x20;
constexpr int ALM_MAG2 = 0x22;
constexpr int ALM_MAG3 = 0x24;
constexpr int ALM_MAG4 = 0x26;
constexpr int ALM_CTRL = 0x28;
constexpr int RESERVED2A = 0x2A;
constexpr int GPIO_CTRL = 0x32;
constexpr int MSC_CTRL = 0x34;
constexpr int DIO_CTRL = 0x36;
constexpr int AVG_CNT = 0x38;
constexpr int NULL_CNT = 0x3A; // reserved3A on 31470
constexpr int STATUS = 0x3C;
constexpr int COMMAND = 0x3E;
constexpr int ST_DELTA = 0x40;
constexpr int SUPPLY_OUT = 0x42;
constexpr int TEMP_OUT = 0x44;
constexpr int X_OUT = 0x46;
constexpr int AUX0_OUT = 0x48;
constexpr int AUX1_OUT = 0x4A;
constexpr int RESERVED4E = 0x4E;
constexpr int KEYCODE = 0x50;
constexpr int REV = 0x52;
constexpr int DAY = 0x53;
constexpr int MONTH = 0x54;
constexpr int YEAR = 0x55;
constexpr int PROD_ID = 0x56;
constexpr int SCRATCH_A = 0x58;
constexpr int SCRATCH_B = 0x5A;
constexpr int RESERVED5C = 0x5C;
constexpr int SIGNTRL = 0x60;
constexpr int CHKSUMU = 0x65;
} // namespace reg

class SensorModel {
public:
    SensorModel(int product, const Clock& clock);

    int Product() const { return product_; }

    // One frame; returns the word shifted out during it.
    uint16_t Frame(uint16_t mosi);
    uint16_t PendingOut() const { return pendingOut_; }

    // The word a read frame at this address answers: bytes addr and addr + 1 (so the
    // date bytes at odd addresses read as their own low byte).
    uint16_t ReadWord(int addr);
    // One write frame's byte; read-only bytes ignore it.
    void WriteByte(int addr, uint8_t value);
    // Direct access for tests and set-up, no actions.
    void Poke(int addr, uint16_t value);

    // Power-on register contents.
    void PowerOn();
    bool IsReadOnly(int addr) const;

    // Lets time-driven state catch up with the clock.
    void Update();
    bool BusyLineHigh();

private:
    uint16_t Word(int addr) const;
    void SetWord(int addr, uint16_t value);
    void AfterWrite(int addr);

    int product_;
    const Clock& clock_;
    std::array<uint8_t, 128> mem_{};
    uint16_t pendingOut_ = 0;
};

} // namespace sim
