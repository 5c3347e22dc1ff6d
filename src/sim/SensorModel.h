#pragma once
// One product's sensor: byte-addressed register file and what its registers do.
#include "sim/SignalModel.h"
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

// STATUS bits.
namespace status {
constexpr uint16_t SupplyLow = 0x0001;
constexpr uint16_t SupplyHigh = 0x0002;
constexpr uint16_t FlashUpdateFailure = 0x0004;
constexpr uint16_t SpiCommFailure = 0x0008;
constexpr uint16_t PeriodViolation = 0x0010;
constexpr uint16_t SelfTestFailure = 0x0020;
constexpr uint16_t FlashMemoryFailure = 0x0040;
constexpr uint16_t DataReady = 0x0080;
constexpr uint16_t AlarmX = 0x0100;
constexpr uint16_t SystemAlarm = 0x0800;
constexpr uint16_t AlarmXEvent = 0x1000;
} // namespace status

// COMMAND bits.
namespace command {
constexpr uint16_t AutoNull = 0x0001;
constexpr uint16_t PowerDown = 0x0002;
constexpr uint16_t SelfTest = 0x0004;
constexpr uint16_t FactoryReset = 0x0008;
constexpr uint16_t ClearStatus = 0x0010;
constexpr uint16_t FlashTest = 0x0020;
constexpr uint16_t SoftwareReset = 0x0080;
constexpr uint16_t ClearBuffers = 0x0100;
constexpr uint16_t CaptureStartStop = 0x0800;
constexpr uint16_t Backup = 0x1000;
constexpr uint16_t Restore = 0x2000;
} // namespace command

constexpr int kBufferSamples = 1024;

// Capture time in seconds by product and averaging exponent (0..10, the data-sheet times); an
// event capture that also writes to flash takes longer. Extended captures take three times as long.
double CaptureSeconds(int product, int avgExponent, bool flashOnEvent);

// Sensor faults on demand, named by the STATUS bit each one sets:
// SupplyLow / SupplyHigh   the supply sits below / above its range (low wins when both are given):
//                          seen at power-up, at the end of every capture and right after a clear
//                          status, so the bit stays while the supply is out of range;
// FlashUpdateFailure       every flash write fails (backup, factory reset, event write to flash);
// SpiCommFailure           a glitch on the bus at power-up and during every capture;
// PeriodViolation          every capture overruns its period;
// SelfTestFailure          the self-test fails, at power-up and at every self-test command;
// FlashMemoryFailure       the flash check fails, at power-up and at every flash test command.
// All but the supply bits are latched: a clear status removes them until the next occurrence.
constexpr uint16_t kSensorFaultBits = 0x007F;
// The supply a supply fault holds the sensor at.
constexpr double kFaultSupplyLow = 3.05;
constexpr double kFaultSupplyHigh = 3.70;

class SensorModel {
public:
    SensorModel(int product, const Clock& clock, uint16_t faults = 0);

    int Product() const { return product_; }
    double SampleRate() const;

    // One frame; returns the word shifted out during it.
    uint16_t Frame(uint16_t mosi);
    uint16_t PendingOut() const { return pendingOut_; }
    // A frame the sensor was not ready for: it shifts out `garbage`, is not taken in,
    // loses the pending answer, and STATUS reports an SPI communication failure.
    uint16_t MissedFrame(uint16_t garbage);

    // The word a read frame at this address answers: bytes addr and addr + 1 (so the
    // date bytes at odd addresses read as their own low byte).
    uint16_t ReadWord(int addr);
    // One write frame's byte; read-only bytes ignore it.
    void WriteByte(int addr, uint8_t value);
    // Direct access for tests and set-up, no actions. A live output or buffer set this
    // way keeps the value until the next reset.
    void Poke(int addr, uint16_t value);
    bool IsReadOnly(int addr) const;

    // Power-on: settings from the flash image (factory defaults if it was never written),
    // capture engine idle, status clear.
    void PowerOn();

    SignalModel& Signal() { return signal_; }
    const std::array<int16_t, kBufferSamples>& Buffer(int i) const { return buffers_[static_cast<size_t>(i)]; }

    // Lets time-driven state (captures, automatic and event modes) catch up with the clock.
    void Update();
    bool Capturing() const { return capturing_; }
    // Captures finished since power-up (tests count what a reader missed).
    int CapturesCompleted() const { return completed_; }
    bool Running() const { return autoRunning_ || armed_; }
    // Level of DIO pin 1 or 2 (true = high). DIO pin 1 is the board's busy line.
    bool PinLevel(int pin) const;
    // An outside level on a DIO pin used as input (GPIO input or capture trigger);
    // a trigger input starts a capture on its falling edge.
    void DriveInput(int pin, bool high);

    // Fault injection: STATUS fault bits (kSensorFaultBits) whose faults the sensor has from now on.
    void SetFaults(uint16_t bits) { faults_ = bits & kSensorFaultBits; }
    // Manual and extended captures sample the signal from the same moment every time, so two
    // processes (the CLI and a script, say) capture identical samples.
    void SetRepeatableCaptures(bool on) { repeatable_ = on; }
    uint16_t Faults() const { return faults_; }

private:
    enum class CaptureKind { Buffers, Extended, Event };

    uint16_t Word(int addr) const;
    void SetWord(int addr, uint16_t value);
    void SetStatus(uint16_t bits) { SetWord(reg::STATUS, Word(reg::STATUS) | bits); }
    void AfterWrite(int addr, uint8_t previous);
    void Command(uint16_t bits);
    void LoadFactoryDefaults();
    void CopySettings(const std::array<uint8_t, 128>& from);
    void BackupToFlash(bool withSettings);
    void StartStop();
    void StartCapture(double t, CaptureKind kind, double triggerTime);
    void CompleteCapture();
    bool ScanForTrigger(double until);
    int AvgExponent() const;
    int CaptureMode() const { return (Word(reg::CAPT_CTRL) >> 2) & 3; }
    int PreTriggerSamples() const { return 64 << ((Word(reg::CAPT_CTRL) >> 4) & 3); }
    double PeriodSeconds() const;
    double SamplePeriod() const;
    double AxisScale(int axis) const;
    int16_t NullCounts(int axis) const;
    // Sample counts of axis at time t as the capture engine delivers them.
    int16_t SampleCounts(int axis, double t, int avgExponent) const;
    int AlarmAxisTripped(int axis, int16_t counts) const;
    bool SystemAlarmTripped(double supply, double temperature) const;
    uint16_t SupplyCounts(double volts) const;
    uint16_t TemperatureCounts(double celsius) const;
    uint16_t LiveOutput(int addr);
    void CheckSupply(double volts);
    double SupplyVolts(double t) const;

    int product_;
    const Clock& clock_;
    SignalModel signal_;
    std::array<uint8_t, 128> mem_{};
    uint16_t pendingOut_ = 0;
    std::array<std::array<int16_t, kBufferSamples>, 3> buffers_{};
    std::array<bool, 128> frozen_{};

    struct Flash {
        bool settingsValid = false;
        bool buffersValid = false;
        std::array<uint8_t, 128> settings{};
        std::array<std::array<int16_t, kBufferSamples>, 3> buffers{};
    } flash_;

    bool capturing_ = false;
    CaptureKind kind_ = CaptureKind::Buffers;
    double captureStart_ = 0.0; // time of the first sample
    double captureEnd_ = 0.0;
    int captureAvg_ = 0;
    int captureAxis_ = 0;
    bool captureFlash_ = false;
    uint16_t eventBits_ = 0;
    bool autoRunning_ = false;
    double nextAutoStart_ = 0.0;
    bool armed_ = false;
    double scanFrom_ = 0.0;
    std::array<bool, 2> drivenHigh_{true, true};
    std::array<bool, 2> driven_{false, false};
    uint16_t faults_ = 0;
    bool repeatable_ = false;
    uint16_t endurance_ = 0; // flash writes, kept over resets
    int completed_ = 0;
};

} // namespace sim
