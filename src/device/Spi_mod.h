#pragma once
// Register access by table row over a session's transport: how the windows, the command-line
// tool and the Python module read and write the sensor's registers.
#include "device/BenchSession.h"
#include <cstdint>

// The windows' names for what their session's last register read returned.
namespace Spi_mod {
inline int32_t& RegRaw = ProgramSession().reg.raw;
inline float& RegValue = ProgramSession().reg.value;
inline int16_t& RegHigh = ProgramSession().reg.high;
inline int16_t& RegLow = ProgramSession().reg.low;
inline int32_t& RegND = ProgramSession().reg.nd;
inline int32_t& RegEC = ProgramSession().reg.ec;
inline int32_t& SpiReadWord = ProgramSession().reg.word;
} // namespace Spi_mod

// index: a register index variable of the session's table. The result lands in session.reg.
void ReadRegister(BenchSession& session, int16_t index);
void WriteRegister(BenchSession& session, int16_t index, int32_t value);
// What ReadRegister makes of a word read from the row `index`.
void ConvertRegisterWord(BenchSession& session, int16_t index, int32_t word);
// address is masked to 7 bits in the caller's variable.
int32_t ReadRegWord(BenchSession& session, int16_t& address);
void WriteRegWord(BenchSession& session, int16_t& addressA, int16_t& dataA, int16_t& addressB, int16_t& dataB);
void WriteRegByte(BenchSession& session, int32_t address, uint8_t data);

// The same on the windows' session.
inline void ReadRegister(int16_t index) { ReadRegister(ProgramSession(), index); }
inline void WriteRegister(int16_t index, int32_t value) { WriteRegister(ProgramSession(), index, value); }
inline void ConvertRegisterWord(int16_t index, int32_t word) { ConvertRegisterWord(ProgramSession(), index, word); }
inline int32_t ReadRegWord(int16_t& address) { return ReadRegWord(ProgramSession(), address); }
inline void WriteRegWord(int16_t& addressA, int16_t& dataA, int16_t& addressB, int16_t& dataB)
{
    WriteRegWord(ProgramSession(), addressA, dataA, addressB, dataB);
}
inline void WriteRegByte(int32_t address, uint8_t data) { WriteRegByte(ProgramSession(), address, data); }
