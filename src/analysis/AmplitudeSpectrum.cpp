#include "analysis/AmplitudeSpectrum.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>

namespace analysis {

namespace {

struct FftConfig {
    kiss_fftr_cfg cfg = nullptr;
    ~FftConfig() { kiss_fftr_free(cfg); }
};

// Plans are reused: the record lengths are few (1024, 3072).
kiss_fftr_cfg PlanFor(int n)
{
    thread_local std::map<int, std::unique_ptr<FftConfig>> plans;
    auto& p = plans[n];
    if (!p) {
        p = std::make_unique<FftConfig>();
        p->cfg = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    }
    return p->cfg;
}

double WindowValue(Window w, int i, int n)
{
    const double x = 2.0 * std::numbers::pi * i / n; // periodic form: exact bin-centred sums
    switch (w) {
    case Window::Hann:
        return 0.5 - 0.5 * std::cos(x);
    case Window::FlatTop:
        // Five-term flat-top: scalloping loss below 0.01 dB.
        return 0.21557895 - 0.41663158 * std::cos(x) + 0.277263158 * std::cos(2 * x)
            - 0.083578947 * std::cos(3 * x) + 0.006947368 * std::cos(4 * x);
    case Window::Rectangular:
        break;
    }
    return 1.0;
}

struct WindowTable {
    std::vector<float> w;
    double sum = 0, sumSquares = 0;
};

const WindowTable& TableFor(Window window, int n)
{
    thread_local std::map<std::pair<int, int>, WindowTable> tables;
    WindowTable& t = tables[{static_cast<int>(window), n}];
    if (t.w.empty()) {
        t.w.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const double v = WindowValue(window, i, n);
            t.w[static_cast<size_t>(i)] = static_cast<float>(v);
            t.sum += v;
            t.sumSquares += v * v;
        }
    }
    return t;
}

// Where the tone sits between the peak bin k and its larger neighbour: the ratio of the two bins
// fixes the offset d (0..1 bin) for a known window shape, and the offset the scalloping loss.
void InterpolatePeak(Spectrum& s)
{
    const int k = s.peakBin;
    if (k < 0)
        return;
    const auto a = [&](int i) { return i >= 0 && i < static_cast<int>(s.amplitude.size()) ? s.amplitude[static_cast<size_t>(i)] : 0.0; };
    const double ak = a(k);
    s.peakFrequency = s.Frequency(k);
    s.peakAmplitude = ak;
    if (ak <= 0 || s.window == Window::FlatTop || k == 0 || k + 1 >= static_cast<int>(s.amplitude.size()))
        return;
    const int side = a(k + 1) >= a(k - 1) ? 1 : -1;
    const double ratio = a(k + side) / ak;
    double d = 0, gain = 1;
    constexpr double pi = std::numbers::pi;
    if (s.window == Window::Hann) {
        d = (2 * ratio - 1) / (ratio + 1);
        if (d <= 0)
            return;
        gain = pi * d * (1 - d * d) / std::sin(pi * d);
    } else {
        d = ratio / (1 + ratio);
        if (d <= 0)
            return;
        gain = pi * d / std::sin(pi * d);
    }
    s.peakFrequency = (k + side * d) * s.resolution;
    s.peakAmplitude = ak * gain;
}

} // namespace

QString WindowName(Window w)
{
    switch (w) {
    case Window::Hann:
        return QStringLiteral("Hann");
    case Window::FlatTop:
        return QStringLiteral("Flat-top");
    case Window::Rectangular:
        return QStringLiteral("Rectangular");
    }
    return {};
}

int Spectrum::BinAt(double f) const
{
    if (amplitude.empty() || resolution <= 0)
        return 0;
    const long k = std::lround(f / resolution);
    return static_cast<int>(std::clamp<long>(k, 0, static_cast<long>(amplitude.size()) - 1));
}

Spectrum ComputeSpectrum(const double* samples, int count, double sampleRate, Window window)
{
    Spectrum s;
    s.sampleRate = sampleRate;
    s.window = window;
    const int n = count & ~1;
    if (n < 4 || sampleRate <= 0)
        return s;
    s.length = n;
    s.resolution = sampleRate / n;

    double mean = 0;
    for (int i = 0; i < n; ++i)
        mean += samples[i];
    mean /= n;

    const WindowTable& wt = TableFor(window, n);
    s.noiseBandwidthBins = n * wt.sumSquares / (wt.sum * wt.sum);
    std::vector<kiss_fft_scalar> in(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        in[static_cast<size_t>(i)] = static_cast<kiss_fft_scalar>((samples[i] - mean)) * wt.w[static_cast<size_t>(i)];
    const int bins = n / 2 + 1;
    std::vector<kiss_fft_cpx> out(static_cast<size_t>(bins));
    kiss_fftr(PlanFor(n), in.data(), out.data());

    // Coherent gain: a bin-centred sine of amplitude a gives |X| = a * sum(w) / 2.
    const double scale = 2.0 / wt.sum;
    s.amplitude.resize(static_cast<size_t>(bins));
    double best = -1;
    for (int k = 0; k < bins; ++k) {
        const kiss_fft_cpx c = out[static_cast<size_t>(k)];
        double a = std::hypot(static_cast<double>(c.r), static_cast<double>(c.i)) * scale;
        if (k == 0 || k == bins - 1)
            a *= 0.5; // DC and Nyquist have no mirror image
        s.amplitude[static_cast<size_t>(k)] = a;
        if (k > 0 && a > best) {
            best = a;
            s.peakBin = k;
        }
    }
    InterpolatePeak(s);
    return s;
}

double VelocityRms(const Spectrum& s, double fLow, double fHigh)
{
    if (s.amplitude.empty())
        return 0.0;
    double power = 0;
    for (size_t k = 1; k < s.amplitude.size(); ++k) {
        const double f = s.Frequency(static_cast<int>(k));
        if (f < fLow || f > fHigh)
            continue;
        // Peak acceleration (m/s^2) to RMS velocity (mm/s).
        const double v = s.amplitude[k] * kStandardGravity / (2.0 * std::numbers::pi * f) / std::numbers::sqrt2 * 1000.0;
        power += v * v;
    }
    return std::sqrt(power / s.noiseBandwidthBins);
}

} // namespace analysis
