#include "analysis/AmplitudeSpectrum.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
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

    // The plain mean of a record that is no whole number of periods is not its offset; what is
    // left of it the window spreads over the lowest bins. The weighted mean leaves bin 0 exactly 0.
    const WindowTable& wt = TableFor(window, n);
    double mean = 0;
    for (int i = 0; i < n; ++i)
        mean += wt.w[static_cast<size_t>(i)] * samples[i];
    mean /= wt.sum;
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

namespace {

// Gain of the sensor's average of `averaged` consecutive samples at internalRate, at f.
double BoxcarGain(double f, int averaged, double internalRate)
{
    const double x = std::numbers::pi * f / internalRate;
    const double den = averaged * std::sin(x);
    return averaged <= 1 || std::abs(den) < 1e-15 ? 1.0 : std::abs(std::sin(averaged * x) / den);
}

// Derivative of the periodic Hann window per sample: the second window of the reassignment.
const std::vector<float>& HannSlope(int n)
{
    thread_local std::map<int, std::vector<float>> tables;
    std::vector<float>& t = tables[n];
    if (t.empty()) {
        t.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            t[static_cast<size_t>(i)] = static_cast<float>(std::numbers::pi / n * std::sin(2.0 * std::numbers::pi * i / n));
    }
    return t;
}

} // namespace

double VelocityRms(const double* x, int count, double sampleRate, int averaged, double fLow, double fHigh)
{
    const int n = count & ~1;
    if (n < 4 || sampleRate <= 0 || averaged < 1)
        return std::numeric_limits<double>::quiet_NaN();
    constexpr double pi = std::numbers::pi;
    const WindowTable& wt = TableFor(Window::Hann, n);
    const std::vector<float>& slope = HannSlope(n);

    // First differences: an offset of any size drops out exactly, where a subtracted mean would
    // leave an error in the lowest bins that turns the phase of a tone near 10 Hz. The last
    // difference is left 0, where the window is 0 anyway.
    std::vector<kiss_fft_scalar> a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const size_t u = static_cast<size_t>(i);
        const double d = i + 1 < n ? x[i + 1] - x[i] : 0.0;
        a[u] = static_cast<kiss_fft_scalar>(d * wt.w[u]);
        b[u] = static_cast<kiss_fft_scalar>(d * slope[u]);
    }
    const int bins = n / 2 + 1;
    std::vector<kiss_fft_cpx> fa(static_cast<size_t>(bins)), fb(static_cast<size_t>(bins));
    kiss_fftr(PlanFor(n), a.data(), fa.data());
    kiss_fftr(PlanFor(n), b.data(), fb.data());

    const double resolution = sampleRate / n;
    const double internalRate = sampleRate * averaged;
    // A tone on a band edge scatters its bins over about a tenth of a bin either side of it.
    const double lo = fLow - 0.1 * resolution, hi = fHigh + 0.1 * resolution;
    double power = 0;
    for (int k = 1; k < bins; ++k) {
        const std::complex<double> h(fa[static_cast<size_t>(k)].r, fa[static_cast<size_t>(k)].i);
        const std::complex<double> dh(fb[static_cast<size_t>(k)].r, fb[static_cast<size_t>(k)].i);
        if (std::norm(h) <= 0)
            continue;
        // Reassignment: the phase slope across the window puts the bin's power at the frequency of
        // the tone it came from, so a tone is weighted by its own 1/(2 pi f), not by that of each
        // bin of its Hann lobe, and a 5 Hz tone's lobe stays out of the band.
        const double f = (k - n / (2 * pi) * std::imag(dh / h)) * resolution;
        if (f < lo || f > hi || f <= 0)
            continue;
        // Peak acceleration at f: undo the differencing and the sensor's averaging (up to 10 %
        // at 1000 Hz with 16 samples averaged at 64 kHz).
        const double gain = 2 * std::abs(std::sin(pi * f / sampleRate)) * BoxcarGain(f, averaged, internalRate);
        if (gain < 1e-9)
            continue;
        double g = std::abs(h) * 2.0 / wt.sum / gain;
        if (k == bins - 1)
            g *= 0.5; // the Nyquist bin has no mirror image
        // Peak acceleration (m/s^2) to RMS velocity (mm/s).
        const double v = g * kStandardGravity / (2.0 * pi * f) / std::numbers::sqrt2 * 1000.0;
        power += v * v;
    }
    const double noiseBandwidthBins = n * wt.sumSquares / (wt.sum * wt.sum);
    return std::sqrt(power / noiseBandwidthBins);
}

} // namespace analysis
