#pragma once
// Per-channel statistics of a capture record and the record's channels as the plot shows them.
#include "analysis/AmplitudeSpectrum.h"
#include "capture/CaptureRecord.h"

#include <QString>
#include <QStringList>
#include <limits>
#include <vector>

namespace analysis {

struct ChannelStats {
    double mean = 0;
    double acRms = 0;       // RMS with the mean removed
    double peakToPeak = 0;
    double crestFactor = 0; // largest deviation from the mean / AC RMS (0 for a flat record)
    double kurtosis = 0;    // fourth moment / variance^2: 1.5 sine, 3 Gaussian, 1 square
    double dominantHz = 0;
    double dominantAmplitude = 0;
    // mm/s over 10..1000 Hz; NaN for channels that are not acceleration in g, and for records that
    // cannot hold the band (VelocityCoverage).
    double velocityRms = std::numeric_limits<double>::quiet_NaN();
    // For an acceleration channel: why velocityRms is NaN, or what else may be in it (vibration
    // folded in from above the record's Nyquist frequency); empty otherwise.
    QString velocityNote;
};

// What the record holds and how to read it.
struct RecordView {
    int product = 31473;
    int avgExponent = 0;
    bool extended = false;    // the three buffers are one axis in a row
    int extendedAxis = 0;     // 0 X, 1 Y, 2 Z
    bool raw = false;         // counts (BufRaw) instead of g (BufValue)
};

// Whether `count` samples from `product` at averaging 2^avgExponent hold the velocity band well
// enough to report it (within 5 % for a tone anywhere in 10..1000 Hz): its lower edge at least 1.75
// bins above 0 Hz and its upper edge 2 bins below the Nyquist frequency. `note` is one sentence for
// the user: the averaging that would do and why this one does not, or, for a record that holds
// the band, that averaging has lowered the Nyquist frequency so higher vibration folds into it.
struct VelocityCoverage {
    bool covered = false;
    QString note;
};
VelocityCoverage CoverageOf(int product, int avgExponent, int count);

// `acceleration`: the samples are acceleration in g, so the velocity RMS applies, if the record as
// `view` says it was taken (product, averaging) holds the band.
ChannelStats ComputeStats(const double* samples, int count, const RecordView& view, bool acceleration,
                          Window window = Window::Hann);
// The same, with product and averaging told by the sample rate (each rate belongs to one pair); a
// rate neither sensor gives has no velocity.
ChannelStats ComputeStats(const double* samples, int count, double sampleRate, bool acceleration,
                          Window window = Window::Hann);

struct Channel {
    QString name;          // "X acc", "Y acc", "Z acc" ("ADC 0", "ADC 1" on 31470)
    int buffer = 0;        // 0..2: colour and tick box of the plot; the axis in extended mode
    bool acceleration = true;
    std::vector<double> samples;
};

// The name of buffer 0..2 of a normal-mode capture of `product`: "X acc", "Y acc", "Z acc"
// ("X acc", "ADC 0", "ADC 1" on 31470).
QString BufferName(int product, int buffer);

// How a capture record is to be read: product, averaging and layout as it was taken.
RecordView ViewOfRecord(const CaptureRecord::Record& record);

// The capture record's channels: three of 1024 samples, or one of 3072 in extended mode.
std::vector<Channel> RecordChannels(const RecordView& view, const CaptureRecord::Record& record);
// Statistics of `channels`, taken as `view` of `record`. Velocity is a physical quantity: for a
// view in counts it comes from the same channels in g.
std::vector<ChannelStats> ChannelsStats(const std::vector<Channel>& channels, const RecordView& view,
                                        double sampleRate,
                                        const CaptureRecord::Record& record);
// "g" or "counts".
QString UnitName(const RecordView& view);

// Dominant frequency and amplitude per channel (Hann window), for reports.
struct PeakSummary {
    QString name;
    double hz = 0;
    double amplitude = 0;
};
std::vector<PeakSummary> DominantPeaks(const RecordView& view, const CaptureRecord::Record& record);
// One line per channel: "X acc: 1210.0 Hz, 1.488 g".
QStringList PeakLines(const std::vector<PeakSummary>& peaks, const QString& unit);

// Two markers on a record: their distance in samples, in seconds and its reciprocal in Hz
// (0 Hz when they coincide).
struct MarkerDelta {
    double samples = 0;
    double seconds = 0;
    double hz = 0;
};
MarkerDelta TimeMarkerDelta(double sampleA, double sampleB, double sampleRate);

} // namespace analysis
