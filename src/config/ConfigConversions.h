#pragma once
// Number parsing, rounding, unit conversions and bit-field composition shared by the
// configuration windows and the register window. No widgets here: the windows only
// wire their controls to these functions.
#include "shell/Numbers.h"
#include <QLocale>
#include <QString>
#include <cstdint>

namespace cfg {

// ---- numbers ---------------------------------------------------------------------------

// Fixed-point display with `decimals` digits ("0.00", "0.0000") in the user's locale
// (QLocale(), which is the system locale unless the program set another).
QString FormatFixed(double v, int decimals, const QLocale& locale = QLocale());
// General number text of a single-precision value: up to 7 significant digits,
// no trailing zeros, scientific form ("1.234568E+07") outside the plain range.
QString GeneralNumberText(float v, const QLocale& locale = QLocale());

// Upper-case hexadecimal of the low 16 bits, no leading zeros (-5 -> "FFFB", 5 -> "5").
QString Hex16(int32_t v);
// Upper-case hexadecimal of the whole 32-bit value (-5 -> "FFFFFFFB").
QString Hex32(int32_t v);

// ---- alarms (ALM_MAGn, ALM_CTRL) -------------------------------------------------------

constexpr double kAlarmTempPerCount = -0.469483568;   // degC per count, 625 degC at 0
constexpr double kAlarmTempOffset = 625.0;
constexpr double kAlarmVoltsPerCount = 0.001220866;

// Alarms 1..3: engineering value to register count, 1/RegScale taken in single precision
// as the register row holds it, clamped to -32768..32767.
int32_t AlarmMagCounts(double value, float regScale);
// Alarm 4 thresholds to rounded counts, not clamped (the source switch re-expresses them).
int32_t Alarm4CountsFromTemp(double degC);
int32_t Alarm4CountsFromVolts(double volts);
// What a write sends: the count held to -8192..8191.
int32_t Alarm4Clamp(int32_t n);
// Alarm 4 counts to engineering units.
double Alarm4TempFromCounts(int32_t n);
double Alarm4VoltsFromCounts(int32_t n);
// Display texts ("0.00" / "0.0000").
QString Alarm4Text(double v, const QLocale& locale = QLocale());
QString AlarmMagText(float regValue, const QLocale& locale = QLocale());

// ALM_CTRL read-modify-write: setting ORs the bit in; clearing keeps only the other
// bits of 0..5, so bits 6 and above are dropped as well.
int32_t AlmCtrlWithBit(int32_t c, int bit, bool on);

enum AlmCtrlBits : int32_t {
    AlmEnable1 = 0x01,
    AlmEnable2 = 0x02,
    AlmEnable3 = 0x04,
    AlmEnable4 = 0x08,
    AlmSourceTemp = 0x10,
    AlmPolarityLess = 0x20,
};

// ---- calibration nulls -----------------------------------------------------------------

// Engineering value to null count: value / RegScale, rounded, no range check.
int32_t NullCounts(double value, float regScale);

// ---- DIO_CTRL / GPIO_CTRL --------------------------------------------------------------

enum class PinFunction : int { Gpio = 0, Alarm = 1, CaptureTrigger = 2, Busy = 3 };

struct DioCtrlFields {
    bool activeHigh1 = false;
    bool activeHigh2 = false;
    PinFunction function1 = PinFunction::Gpio;
    PinFunction function2 = PinFunction::Gpio;
};
DioCtrlFields DecodeDioCtrl(int32_t d);
int32_t ComposeDioCtrl(const DioCtrlFields& f);

struct GpioCtrlFields {
    bool output1 = false;
    bool output2 = false;
    bool high1 = false;
    bool high2 = false;
};
GpioCtrlFields DecodeGpioCtrl(int32_t g);
int32_t ComposeGpioCtrl(const GpioCtrlFields& f);

// ---- MSC_CTRL self test ----------------------------------------------------------------

constexpr int32_t kMscSelfTest = 0x0100;
inline bool MscSelfTestOn(int32_t m) { return (m & kMscSelfTest) == kMscSelfTest; }
inline int32_t MscWithSelfTestOn(int32_t m) { return m | kMscSelfTest; }
// Switching off keeps only bits 0 and 1.
inline int32_t MscWithSelfTestOff(int32_t m) { return m & 0x0003; }

// ---- COMMAND register ------------------------------------------------------------------

constexpr int32_t kCmdAutoNull = 0x0001;
constexpr int32_t kCmdPowerDown = 0x0002;
constexpr int32_t kCmdSelfTest = 0x0004;
constexpr int32_t kCmdFactoryReset = 0x0008;
constexpr int32_t kCmdClearStatus = 0x0010;
constexpr int32_t kCmdFlashTest = 0x0020;
constexpr int32_t kCmdSoftwareReset = 0x0080;
constexpr int32_t kCmdClearBuffers = 0x0100;
constexpr int32_t kCmdCaptureStartStop = 0x0800;
constexpr int32_t kCmdFlashBackup = 0x1000;
constexpr int32_t kCmdFlashRestore = 0x2000;

} // namespace cfg
