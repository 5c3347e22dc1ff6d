#include "device/Spi_mod.h"
#include "device/SpiTransport.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include <cmath>

using namespace Spi_mod;

namespace {
// The transport of the selected interface; the sensor sits on the card's chip-select channel 1.
SpiTransport* SensorLink()
{
    if (Module1::InterfaceType == kInterfaceUsb)
        Module1::SpiChannel = 1;
    return SpiTransportFor(Module1::InterfaceType);
}
} // namespace

void ReadRegister(int16_t index)
{
    const RegisterEntry& row = m470Reg::Table().RegisterTable[static_cast<size_t>(index)];
    if (row.ReadFlag == VFalse)
        return;
    int16_t address = static_cast<int16_t>(row.BaseAddr);
    ConvertRegisterWord(index, ReadRegWord(address));
    Delay(0.1f);
}

void ConvertRegisterWord(int16_t index, int32_t word)
{
    const RegisterEntry& row = m470Reg::Table().RegisterTable[static_cast<size_t>(index)];
    RegRaw = word;
    RegHigh = static_cast<int16_t>(word / 256);
    RegLow = static_cast<int16_t>(word & 255);
    if (row.NDflag == VTrue)
        RegND = word & static_cast<int32_t>(0xFFFF8000u);
    if (row.ECflag == VTrue)
        RegEC = word & 0x4000;
    RegRaw = m470Reg::Table().RawOf(index, word);
    RegValue = m470Reg::Table().ScaledValue(index, RegRaw);
}


void WriteRegister(int16_t index, int32_t value)
{
    const int32_t base = m470Reg::Table().RegisterTable[static_cast<size_t>(index)].BaseAddr;
    int16_t hi = static_cast<int16_t>((value >> 8) & 255);
    int16_t lo = static_cast<int16_t>(value & 255);
    int16_t baseLo = static_cast<int16_t>(base);
    int16_t baseHi = static_cast<int16_t>(base + 1);
    if (index == m470Reg::Table().idxKEYCODE) {
        WriteRegWord(baseLo, lo, baseHi, hi);
    } else if (index == m470Reg::Table().idxCOMMAND) {
        // The command register takes one byte: the high one when the value needs it.
        if (value >= 256 || value < 0)
            WriteRegByte(base + 1, static_cast<uint8_t>(hi));
        else
            WriteRegByte(base, static_cast<uint8_t>(lo));
    } else {
        WriteRegWord(baseHi, hi, baseLo, lo);
    }
    Delay(0.1f);
}

int32_t ReadRegWord(int16_t& address)
{
    address = static_cast<int16_t>(address & 0x7F);
    SpiTransport* link = SensorLink();
    if (!link)
        return 0;
    SpiReadWord = link->ReadWord(SpiReadFrame(address));
    return SpiReadWord;
}

void WriteRegWord(int16_t& addressA, int16_t& dataA, int16_t& addressB, int16_t& dataB)
{
    addressA = static_cast<int16_t>(addressA & 0x7F);
    dataA = static_cast<int16_t>(dataA & 0xFF);
    addressB = static_cast<int16_t>(addressB & 0x7F);
    dataB = static_cast<int16_t>(dataB & 0xFF);
    const uint16_t frames[2] = {SpiWriteFrame(addressA, dataA), SpiWriteFrame(addressB, dataB)};
    if (SpiTransport* link = SensorLink())
        link->Transfer(frames, {});
}

void WriteRegByte(int32_t address, uint8_t data)
{
    const uint16_t frame = SpiWriteFrame(address, data);
    if (SpiTransport* link = SensorLink())
        link->Transfer({&frame, 1}, {});
}
