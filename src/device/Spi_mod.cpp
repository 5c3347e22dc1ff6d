#include "device/Spi_mod.h"
#include "device/SpiTransport.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include <cmath>

namespace {
// The session's transport; the sensor sits on the card's chip-select channel 1.
SpiTransport* SensorLink(BenchSession& session)
{
    if (session.interfaceType == kInterfaceUsb)
        session.spi.channel = 1;
    return session.Transport();
}
} // namespace

void ReadRegister(BenchSession& session, int16_t index)
{
    const RegisterEntry& row = session.Table().RegisterTable[static_cast<size_t>(index)];
    if (row.ReadFlag == VFalse)
        return;
    int16_t address = static_cast<int16_t>(row.BaseAddr);
    ConvertRegisterWord(session, index, ReadRegWord(session, address));
    Delay(0.1f);
}

void ConvertRegisterWord(BenchSession& session, int16_t index, int32_t word)
{
    const RegisterMap& table = session.Table();
    const RegisterEntry& row = table.RegisterTable[static_cast<size_t>(index)];
    RegisterReading& r = session.reg;
    r.high = static_cast<int16_t>(word / 256);
    r.low = static_cast<int16_t>(word & 255);
    if (row.NDflag == VTrue)
        r.nd = word & static_cast<int32_t>(0xFFFF8000u);
    if (row.ECflag == VTrue)
        r.ec = word & 0x4000;
    r.raw = table.RawOf(index, word);
    r.value = table.ScaledValue(index, r.raw);
}

void WriteRegister(BenchSession& session, int16_t index, int32_t value)
{
    const RegisterMap& table = session.Table();
    const int32_t base = table.RegisterTable[static_cast<size_t>(index)].BaseAddr;
    int16_t hi = static_cast<int16_t>((value >> 8) & 255);
    int16_t lo = static_cast<int16_t>(value & 255);
    int16_t baseLo = static_cast<int16_t>(base);
    int16_t baseHi = static_cast<int16_t>(base + 1);
    if (index == table.idxKEYCODE) {
        WriteRegWord(session, baseLo, lo, baseHi, hi);
    } else if (index == table.idxCOMMAND) {
        // The command register takes one byte: the high one when the value needs it.
        if (value >= 256 || value < 0)
            WriteRegByte(session, base + 1, static_cast<uint8_t>(hi));
        else
            WriteRegByte(session, base, static_cast<uint8_t>(lo));
    } else {
        WriteRegWord(session, baseHi, hi, baseLo, lo);
    }
    Delay(0.1f);
}

int32_t ReadRegWord(BenchSession& session, int16_t& address)
{
    address = static_cast<int16_t>(address & 0x7F);
    SpiTransport* link = SensorLink(session);
    if (!link)
        return 0;
    session.reg.word = link->ReadWord(SpiReadFrame(address));
    return session.reg.word;
}

void WriteRegWord(BenchSession& session, int16_t& addressA, int16_t& dataA, int16_t& addressB, int16_t& dataB)
{
    addressA = static_cast<int16_t>(addressA & 0x7F);
    dataA = static_cast<int16_t>(dataA & 0xFF);
    addressB = static_cast<int16_t>(addressB & 0x7F);
    dataB = static_cast<int16_t>(dataB & 0xFF);
    const uint16_t frames[2] = {SpiWriteFrame(addressA, dataA), SpiWriteFrame(addressB, dataB)};
    if (SpiTransport* link = SensorLink(session))
        link->Transfer(frames, {});
}

void WriteRegByte(BenchSession& session, int32_t address, uint8_t data)
{
    const uint16_t frame = SpiWriteFrame(address, data);
    if (SpiTransport* link = SensorLink(session))
        link->Transfer({&frame, 1}, {});
}
