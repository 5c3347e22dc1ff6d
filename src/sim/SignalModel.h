#pragma once
// What the virtual sensor's axes feel: per axis a static offset, a few sinusoids,
// decaying impacts and seeded noise, all deterministic functions of time.
#include <array>
#include <cstdint>
#include <vector>

namespace sim {

struct Tone {
    double freqHz = 0.0;
    double amplitude = 0.0; // engineering units (g)
    double phase = 0.0;     // radians
};

// Decaying rings: A * exp(-tau / decay) * sin(2 pi f tau) after each start time
// first, first + period, ... (period 0: only one).
struct Impacts {
    double first = 0.0;
    double period = 0.0;
    double amplitude = 0.0;
    double freqHz = 0.0;
    double decay = 0.01;
};

struct AxisSignal {
    double offset = 0.0;
    std::vector<Tone> tones;
    Impacts impacts;
    double noise = 0.0; // standard deviation of one raw sample
};

class SignalModel {
public:
    // Buffer 1..3 of the product: X, Y, Z on 31473; X, auxiliary ADC 0 and 1 on 31470.
    std::array<AxisSignal, 3> axis;
    uint64_t seed = 0x5EB0A7C4ULL;
    double supplyVolts = 3.30;
    double supplyNoise = 0.002;
    double temperatureC = 25.0;
    double temperatureNoise = 0.05;
    // Added to every acceleration axis while MSC_CTRL's self-test bit is on.
    double selfTestDeflection = 0.5;

    // A running machine: different dominant frequencies per axis, gravity on Z and
    // an impact on X every two seconds.
    static SignalModel Default(int product);
    // Only offsets, no tones, impacts or noise.
    static SignalModel Quiet();

    // Mean of n consecutive raw samples, the first at time t, taken at rate fs.
    double Averaged(int axisIndex, double t, int n, double fs) const;
    // Supply volts and degrees Celsius measured at time t (with their noise).
    double Supply(double t) const;
    double Temperature(double t) const;

private:
    double Gaussian(uint64_t stream, int64_t index) const;
};

} // namespace sim
