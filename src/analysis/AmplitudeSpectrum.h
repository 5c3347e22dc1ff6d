#pragma once
// One-sided amplitude spectrum of a sampled record (KISS FFT), with the window's amplitude
// correction, and the velocity RMS of an acceleration record.
#include <QString>
#include <vector>

namespace analysis {

enum class Window { Hann, FlatTop, Rectangular };

// "Hann", "Flat-top", "Rectangular" (the order of the enum).
QString WindowName(Window w);

constexpr double kStandardGravity = 9.80665; // m/s^2 per g
// The band the velocity RMS and the severity zones are taken over, Hz.
constexpr double kVelocityBandLow = 10.0;
constexpr double kVelocityBandHigh = 1000.0;

struct Spectrum {
    double sampleRate = 0;  // Hz
    int length = 0;         // N samples transformed
    double resolution = 0;  // delta f = fs / N
    Window window = Window::Hann;
    // Equivalent noise bandwidth of the window in bins (1 rectangular, 1.5 Hann, ~3.77 flat-top).
    double noiseBandwidthBins = 1;
    // Peak amplitude per bin in the record's unit; bin k is at k * resolution, k = 0..N/2.
    std::vector<double> amplitude;
    // Largest bin above DC (-1 when there is none).
    int peakBin = -1;
    // The dominant tone between the bins: for Hann and rectangular windows interpolated from the
    // peak bin and its larger neighbour (exact for a single sine); flat-top reads the bin as it is.
    double peakFrequency = 0;
    double peakAmplitude = 0;

    double Frequency(int bin) const { return bin * resolution; }
    double PeakFrequency() const { return peakFrequency; }
    double PeakAmplitude() const { return peakAmplitude; }
    // Bin nearest to frequency f, clamped to the spectrum.
    int BinAt(double f) const;
};

// Window-weighted mean (sum(w x) / sum(w)) removed, so that an offset of any size leaves the
// lowest bins empty; window applied, amplitudes scaled so that a sine centred on a bin reads its
// peak amplitude. An odd count drops the last sample (the real transform needs an even length);
// fewer than 4 samples give an empty spectrum.
Spectrum ComputeSpectrum(const double* samples, int count, double sampleRate, Window window = Window::Hann);
inline Spectrum ComputeSpectrum(const std::vector<double>& samples, double sampleRate, Window window = Window::Hann)
{
    return ComputeSpectrum(samples.data(), static_cast<int>(samples.size()), sampleRate, window);
}

// Velocity RMS in mm/s over [fLow, fHigh] Hz of an acceleration record in g, sampled at sampleRate
// with `averaged` consecutive sensor samples averaged into each one (the sensor's boxcar, whose
// response is divided out). Each bin's power is counted at the frequency its phase says it came
// from, so a tone is integrated at its own frequency and the band edges are sharp to a tenth of a
// bin. Whether the record can hold the band is VelocityCoverage's question (Statistics.h). NaN for
// fewer than 4 samples.
double VelocityRms(const double* samples, int count, double sampleRate, int averaged = 1,
                   double fLow = kVelocityBandLow, double fHigh = kVelocityBandHigh);

} // namespace analysis
