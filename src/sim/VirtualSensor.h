#pragma once
// The virtual sensor: the register file of either product behind a full-duplex SPI
// slave, with the capture engine that fills its buffers.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace sim {

// One 16-bit frame as it crossed the bus.
struct SpiFrame {
    uint16_t mosi = 0;
    uint16_t miso = 0;
    double start = 0.0;    // bus time of the frame's first clock (seconds, BusNow's line)
    bool tooSoon = false;  // came before the sensor was ready again
};

// Seconds on the bus's own time line (real time; not the capture engine's clock).
double BusNow();

// The sensor needs this long between the end of one frame and the start of the next;
// a frame that comes sooner is not taken in and the word the next frame shifts out is
// garbage. Off unless switched on with SetMinFrameGap (InstallFromEnvironment does).
constexpr double kMinFrameGapSeconds = 16e-6;

// Seconds on an arbitrary, monotonic time line.
using Clock = std::function<double()>;

// A clock that only moves when told to, for tests.
class ManualClock {
public:
    double Now() const { return now_; }
    void Advance(double seconds) { now_ += seconds; }
    void Set(double seconds) { now_ = seconds; }
    // A Clock reading this object (which must outlive its users).
    Clock AsClock() const
    {
        return [this] { return now_; };
    }

private:
    double now_ = 0.0;
};

constexpr int kProduct31470 = 31470;
constexpr int kProduct31473 = 31473;

class SensorModel;
class SignalModel;

class VirtualSensor {
public:
    // 31470 or 31473 fixes the product; 0 asks `productSource` at every access (anything
    // but 31470 counts as 31473; no source: 31473).
    explicit VirtualSensor(int product = 0, std::function<int()> productSource = {});
    ~VirtualSensor();
    VirtualSensor(const VirtualSensor&) = delete;
    VirtualSensor& operator=(const VirtualSensor&) = delete;

    // One full-duplex frame: returns what the sensor shifted out while `mosi` came in.
    uint16_t Transfer(uint16_t mosi);
    // The same with the frame's place on the bus time line, for the minimum gap.
    uint16_t Transfer(uint16_t mosi, double start, double end);
    // A frame in two halves, for a master that clocks the answer in bit by bit: the
    // word the sensor will shift out, then the word it took in.
    uint16_t BeginFrame(double start);
    uint16_t EndFrame(uint16_t mosi, double end);
    // 0 switches the check off.
    void SetMinFrameGap(double seconds) { minFrameGap_ = seconds; }
    double MinFrameGap() const { return minFrameGap_; }
    // The word the next frame will shift out if it comes in time.
    uint16_t PendingOut();

    const std::vector<SpiFrame>& Frames() const { return frames_; }
    void ClearFrames() { frames_.clear(); }
    // The log keeps at most this many frames (older half dropped when exceeded).
    void SetFrameLogLimit(size_t frames) { frameLogLimit_ = frames; }

    // Test access beside the bus: the 16-bit word a read at byteAddr would answer, and
    // setting it without side effects (CAPT_BUF* set the sample at CAPT_PNTR).
    uint16_t Peek(int byteAddr);
    void Poke(int byteAddr, uint16_t value);

    // The product the sensor answers as right now.
    int Product() const;
    // Back to power-on state (registers, capture engine, flash image kept).
    void PowerOn();

    void SetClock(Clock clock);
    double Now() const;

    // Level of the board's busy line (DIO pin 1; with the power-on set-up it is low
    // while a capture runs).
    bool BusyLineHigh();

    // Sensor faults (STATUS fault bits, see SensorModel.h) of both products' models from now on;
    // a model that powers up later finds them at its power-up.
    void SetFaults(uint16_t statusBits);

    // What the current product's axes feel (set-up for tests and demos).
    SignalModel& Signal();

    // The model of the current product (capture engine and signal set-up).
    SensorModel& Model();

private:
    SensorModel& ModelFor(int product);

    int fixedProduct_ = 0;
    std::function<int()> productSource_;
    uint16_t faults_ = 0;
    std::array<std::unique_ptr<SensorModel>, 2> models_;
    std::vector<SpiFrame> frames_;
    size_t frameLogLimit_ = 4'000'000;
    double minFrameGap_ = 0.0;
    double lastFrameEnd_ = -1.0;
    uint32_t garbageSeed_ = 0x2545F491u;
    bool tooSoon_ = false;
    uint16_t outWord_ = 0;
    double frameStart_ = 0.0;
    Clock clock_;
};

} // namespace sim
