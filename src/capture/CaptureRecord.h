#pragma once
// The capture record filled by the buffer read-out, and the decoded status bits.
#include <QString>
#include <array>

namespace CaptureRecord {
inline double CaptSupply = 0;
inline double CaptTemp = 0;
inline double CaptPeakX = 0;
inline double CaptPeakY = 0;
inline double CaptPeakZ = 0;
// Index 0..1023 used; 1024 is never written.
inline std::array<double, 1025> BufValue1{}, BufValue2{}, BufValue3{};
inline std::array<double, 1025> BufRaw1{}, BufRaw2{}, BufRaw3{};
} // namespace CaptureRecord

namespace StatusDisplay {
// Element i: "1" when bit i was set at the last status read, "0" when clear; empty before the first read.
inline std::array<QString, 16> StatusBits{};
} // namespace StatusDisplay
