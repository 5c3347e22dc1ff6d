#include "sim/SignalModel.h"
#include "sim/VirtualSensor.h"
#include <cmath>

namespace sim {

namespace {
constexpr double kPi = 3.14159265358979323846;

uint64_t Mix(uint64_t x)
{
    // splitmix64 finaliser: a good hash of the sample index.
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

double Unit(uint64_t bits) { return (static_cast<double>(bits >> 11) + 0.5) / 9007199254740992.0; }

// Mean of sin(w * (t + j / fs) + phase) over j = 0..n-1.
double AveragedSine(double w, double t, double phase, int n, double fs)
{
    const double step = w / fs;
    const double centre = w * t + phase + step * (n - 1) / 2.0;
    if (n <= 1)
        return std::sin(w * t + phase);
    const double den = n * std::sin(step / 2.0);
    if (std::fabs(den) < 1e-12)
        return std::sin(centre);
    return std::sin(centre) * std::sin(n * step / 2.0) / den;
}

double ImpactAt(const Impacts& im, double t)
{
    if (im.amplitude == 0.0 || t < im.first)
        return 0.0;
    double tau = t - im.first;
    if (im.period > 0.0)
        tau = std::fmod(tau, im.period);
    if (tau > 12.0 * im.decay)
        return 0.0;
    return im.amplitude * std::exp(-tau / im.decay) * std::sin(2.0 * kPi * im.freqHz * tau);
}
} // namespace

SignalModel SignalModel::Default(int product)
{
    SignalModel m;
    AxisSignal& x = m.axis[0];
    x.offset = 0.06;
    x.tones = {{1210.0, 1.5, 0.0}, {3630.0, 0.3, 1.1}};
    x.impacts = {0.7, 2.0, 2.5, 3400.0, 0.004};
    x.noise = 0.03;
    if (product == kProduct31470) {
        // Auxiliary ADC inputs: a slow analogue signal and a nearly steady level.
        AxisSignal& a0 = m.axis[1];
        a0.offset = 1.2;
        a0.tones = {{520.0, 0.8, 0.4}};
        a0.noise = 0.02;
        AxisSignal& a1 = m.axis[2];
        a1.offset = 0.6;
        a1.tones = {{175.0, 0.1, 2.0}};
        a1.noise = 0.02;
    } else {
        AxisSignal& y = m.axis[1];
        y.offset = -0.04;
        y.tones = {{790.0, 1.0, 0.7}, {2370.0, 0.2, 0.2}};
        y.noise = 0.03;
        AxisSignal& z = m.axis[2];
        z.offset = 1.0; // gravity
        z.tones = {{2450.0, 0.6, 1.9}, {330.0, 0.25, 0.3}};
        z.noise = 0.03;
    }
    return m;
}

SignalModel SignalModel::Quiet()
{
    SignalModel m;
    m.supplyNoise = 0.0;
    m.temperatureNoise = 0.0;
    return m;
}

double SignalModel::Gaussian(uint64_t stream, int64_t index) const
{
    const uint64_t base = Mix(seed ^ Mix(stream) ^ Mix(static_cast<uint64_t>(index)));
    const double u1 = Unit(base);
    const double u2 = Unit(Mix(base));
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
}

double SignalModel::Averaged(int axisIndex, double t, int n, double fs) const
{
    const AxisSignal& a = axis[static_cast<size_t>(axisIndex)];
    double v = a.offset;
    for (const Tone& tone : a.tones)
        v += tone.amplitude * AveragedSine(2.0 * kPi * tone.freqHz, t, tone.phase, n, fs);
    if (a.impacts.amplitude != 0.0)
        v += ImpactAt(a.impacts, t + (n - 1) / (2.0 * fs));
    if (a.noise > 0.0) {
        // One draw with the spread of the mean of n independent samples.
        const int64_t index = std::llround(t * fs);
        v += a.noise / std::sqrt(static_cast<double>(n)) *
             Gaussian(static_cast<uint64_t>(axisIndex + 1) * 0x1000 + static_cast<uint64_t>(n), index);
    }
    return v;
}

double SignalModel::Supply(double t) const
{
    return supplyVolts + supplyNoise * Gaussian(0x51, std::llround(t * 1000.0));
}

double SignalModel::Temperature(double t) const
{
    return temperatureC + temperatureNoise * Gaussian(0x7E, std::llround(t * 1000.0));
}

} // namespace sim
