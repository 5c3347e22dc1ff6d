#pragma once
// Register access by table row, over the selected interface's transport: how the windows, the
// command-line tool and the Python module read and write the sensor's registers.
#include <cstdint>

namespace Spi_mod {
// Results of the last register read.
inline int32_t RegRaw = 0;
inline float RegValue = 0.0f;
inline int16_t RegHigh = 0;
inline int16_t RegLow = 0;
inline int32_t RegND = 0;
inline int32_t RegEC = 0;
inline int32_t SpiReadWord = 0;
} // namespace Spi_mod

// index: a register index variable of m470Reg.
void ReadRegister(int16_t index);
void WriteRegister(int16_t index, int32_t value);
// What ReadRegister makes of a word read from the row `index` (RegRaw, RegValue, ...).
void ConvertRegisterWord(int16_t index, int32_t word);
// address is masked to 7 bits in the caller's variable.
int32_t ReadRegWord(int16_t& address);
void WriteRegWord(int16_t& addressA, int16_t& dataA, int16_t& addressB, int16_t& dataB);
void WriteRegByte(int32_t address, uint8_t data);
