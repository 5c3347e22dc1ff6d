#include "sim/SensorModel.h"

namespace sim {

namespace {
// 3.3 V and about 25 degC in the registers' raw formats (0.00122 V per count on the
// single axis, just below 5/4096 V on the tri-axis; 625 - 0.47 degC per count).
constexpr uint16_t kSupplyCount31470 = 2705;
constexpr uint16_t kSupplyCount31473 = 2703;
constexpr uint16_t kTempCount = 1277;
constexpr uint16_t kNewData = 0x8000;

// Identification bytes: revision, build day, month and year (two digits).
constexpr uint8_t kRevision = 0x12;
constexpr uint8_t kBuildDay = 14;
constexpr uint8_t kBuildMonth = 9;
constexpr uint8_t kBuildYear = 26;
} // namespace

SensorModel::SensorModel(int product, const Clock& clock) : product_(product), clock_(clock)
{
    PowerOn();
}

uint16_t SensorModel::Word(int addr) const
{
    addr &= 0x7F;
    return static_cast<uint16_t>(mem_[addr] | (mem_[(addr + 1) & 0x7F] << 8));
}

void SensorModel::SetWord(int addr, uint16_t value)
{
    addr &= 0x7F;
    mem_[addr] = static_cast<uint8_t>(value & 0xFF);
    mem_[(addr + 1) & 0x7F] = static_cast<uint8_t>(value >> 8);
}

void SensorModel::PowerOn()
{
    mem_.fill(0);
    const bool single = product_ == kProduct31470;
    if (single) {
        SetWord(reg::CAPT_SUPPLY, kNewData | kSupplyCount31470);
        SetWord(reg::SUPPLY_OUT, kNewData | kSupplyCount31470);
        SetWord(reg::TEMP_OUT, kNewData | kTempCount);
    } else {
        SetWord(reg::CAPT_SUPPLY, kSupplyCount31473);
    }
    SetWord(reg::CAPT_TEMP, kTempCount);
    SetWord(reg::CAPT_PRD, 0x0001);
    mem_[reg::REV] = kRevision;
    mem_[reg::DAY] = kBuildDay;
    mem_[reg::MONTH] = kBuildMonth;
    mem_[reg::YEAR] = kBuildYear;
    SetWord(reg::PROD_ID, static_cast<uint16_t>(product_));
    if (!single) {
        // Factory signature and its checksum bytes.
        const uint8_t sig[3] = {0x5A, 0x31, 0xC7};
        for (int i = 0; i < 3; ++i)
            mem_[reg::SIGNTRL + i] = sig[i];
        const unsigned sum = sig[0] + sig[1] + sig[2];
        mem_[reg::SIGNTRL + 3] = static_cast<uint8_t>(sum & 0xFF);
        mem_[reg::SIGNTRL + 4] = static_cast<uint8_t>(sum >> 8);
        mem_[reg::SIGNTRL + 5] = 0;
    }
    pendingOut_ = 0;
}

bool SensorModel::IsReadOnly(int addr) const
{
    addr &= 0x7F;
    const bool single = product_ == kProduct31470;
    if (addr <= 0x01)
        return true; // ENDURANCE
    if (addr >= reg::RESERVED8 && addr < reg::CAPT_PNTR)
        return true; // capture results
    if (addr == reg::STATUS || addr == reg::STATUS + 1)
        return true;
    if (single && addr >= reg::SUPPLY_OUT && addr < reg::AUX1_OUT + 2)
        return true; // live outputs
    if (addr >= reg::REV && addr < reg::PROD_ID + 2)
        return true; // identification
    if (!single && addr >= reg::SIGNTRL && addr <= reg::CHKSUMU)
        return true;
    return false;
}

uint16_t SensorModel::ReadWord(int addr)
{
    addr &= 0x7F;
    if (addr == reg::COMMAND || addr == reg::COMMAND + 1)
        return 0; // commands clear themselves
    return Word(addr);
}

void SensorModel::WriteByte(int addr, uint8_t value)
{
    addr &= 0x7F;
    if (IsReadOnly(addr))
        return;
    mem_[addr] = value;
    AfterWrite(addr);
}

void SensorModel::AfterWrite(int addr)
{
    if (addr == reg::COMMAND || addr == reg::COMMAND + 1)
        mem_[addr] = 0;
}

void SensorModel::Poke(int addr, uint16_t value) { SetWord(addr, value); }

void SensorModel::Update() {}

bool SensorModel::BusyLineHigh() { return true; }

uint16_t SensorModel::Frame(uint16_t mosi)
{
    Update();
    const uint16_t miso = pendingOut_;
    const int addr = (mosi >> 8) & 0x7F;
    if (mosi & 0x8000) {
        WriteByte(addr, static_cast<uint8_t>(mosi & 0xFF));
        pendingOut_ = 0;
    } else {
        pendingOut_ = ReadWord(addr);
    }
    return miso;
}

} // namespace sim
