#pragma once
// The capture record: the samples of one read-out with everything needed to interpret them later
// (product, mode, averaging, sample rate, time). Plot, analysis and data files read the record,
// never the window's controls, so changing a control after a read-out cannot reinterpret it.
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>

namespace CaptureRecord {

struct Record {
    // Context at the read-out.
    int product = 31473;
    int modeIndex = 0;        // capture-mode list index: 0 manual, 1 automatic, 2 event, 3..5 extended X/Y/Z
    int avgExponent = 0;      // 2^avgExponent samples averaged
    int32_t captCtrl = 0;     // CAPT_CTRL as read right after the buffers
    double sampleRate = 0;    // samples per second in the buffers
    QDateTime time;           // when the read-out ended (invalid: no read-out yet)
    bool complete = false;    // every sample arrived

    double supply = 0, temp = 0, peakX = 0, peakY = 0, peakZ = 0;
    // Index 0..1023 used; 1024 is never written.
    std::array<std::array<double, 1025>, 3> value{}, raw{};

    // A capture read whole: something to show. A default record (nothing read yet) is not.
    bool Holds() const { return complete && time.isValid(); }
    bool Extended() const { return modeIndex >= 3 && modeIndex <= 5; }
    int ExtendedAxis() const { return Extended() ? modeIndex - 3 : 0; }
};

// The program's session's last complete capture (what the windows' plot, analysis and data files
// show), under the names the windows read it by. A read-out that fails part way never replaces it.
Record& ProgramLast();
inline Record& Last = ProgramLast();
inline double& CaptSupply = Last.supply;
inline double& CaptTemp = Last.temp;
inline double& CaptPeakX = Last.peakX;
inline double& CaptPeakY = Last.peakY;
inline double& CaptPeakZ = Last.peakZ;
inline std::array<double, 1025>& BufValue1 = Last.value[0];
inline std::array<double, 1025>& BufValue2 = Last.value[1];
inline std::array<double, 1025>& BufValue3 = Last.value[2];
inline std::array<double, 1025>& BufRaw1 = Last.raw[0];
inline std::array<double, 1025>& BufRaw2 = Last.raw[1];
inline std::array<double, 1025>& BufRaw3 = Last.raw[2];
} // namespace CaptureRecord

namespace StatusDisplay {
// Element i: "1" when bit i was set at the program's session's last status read, "0" when clear;
// empty before the first read.
std::array<QString, 16>& ProgramStatusBits();
inline std::array<QString, 16>& StatusBits = ProgramStatusBits();
} // namespace StatusDisplay
