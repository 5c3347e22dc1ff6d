#pragma once
// Small value types every layer shares.
#include <cstdint>

// Booleans the program compares with -1 stay 16-bit.
using VBool = int16_t;
constexpr VBool VTrue = -1;
constexpr VBool VFalse = 0;

// How the sensor is reached. The settings file stores the number.
enum InterfaceKind : int16_t { kInterfaceNone = 0, kInterfaceParallel = 1, kInterfaceUsb = 2 };
