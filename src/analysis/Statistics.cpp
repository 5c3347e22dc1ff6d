#include "analysis/Statistics.h"
#include "analysis/SampleRate.h"
#include "capture/CaptureRecord.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

// The band's lower edge in bins (sample rate / samples) at least: below that a tone near 10 Hz and
// its mirror image at -10 Hz share the Hann main lobe and its bins no longer point at its frequency
// (measured on tones at 10 Hz: -4.9 % at 1.5 bins, +1.2 % at 1.8 bins).
constexpr double kLowEdgeBins = 1.75;
// The band's upper edge clears the Nyquist frequency by the Hann main lobe, so that a 1000 Hz tone
// is not read together with its own mirror image (with none to spare, at a 1000 Hz Nyquist
// frequency, a 999.5 Hz tone reads up to 68 % low).
constexpr double kNyquistMarginBins = 2.0;

bool HoldsBand(double sampleRate, int count)
{
    const double bin = sampleRate / count;
    return kVelocityBandLow >= kLowEdgeBins * bin && sampleRate / 2 >= kVelocityBandHigh + kNyquistMarginBins * bin;
}

QString Hz(double f) { return QString::number(f, 'g', 6); }

// "16", "16 or 32", "4, 8 or 16".
QString Alternatives(const QStringList& items)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") + items.last();
}

ChannelStats ShapeStats(const double* x, int n, double sampleRate, Window window)
{
    ChannelStats st;
    if (n <= 0)
        return st;
    double sum = 0, lo = x[0], hi = x[0];
    for (int i = 0; i < n; ++i) {
        sum += x[i];
        lo = std::min(lo, x[i]);
        hi = std::max(hi, x[i]);
    }
    st.mean = sum / n;
    st.peakToPeak = hi - lo;
    double m2 = 0, m4 = 0, dev = 0;
    for (int i = 0; i < n; ++i) {
        const double d = x[i] - st.mean;
        m2 += d * d;
        m4 += d * d * d * d;
        dev = std::max(dev, std::abs(d));
    }
    m2 /= n;
    m4 /= n;
    st.acRms = std::sqrt(m2);
    // A record flat to rounding has no shape to speak of.
    const bool flat = st.acRms <= 1e-12 * std::max(1.0, std::abs(st.mean));
    st.crestFactor = flat ? 0.0 : dev / st.acRms;
    st.kurtosis = flat ? 0.0 : m4 / (m2 * m2);

    const Spectrum s = ComputeSpectrum(x, n, sampleRate, window);
    if (!flat && s.peakBin >= 0) {
        st.dominantHz = s.PeakFrequency();
        st.dominantAmplitude = s.PeakAmplitude();
    }
    return st;
}

void AddVelocity(ChannelStats& st, const double* x, int n, int product, int avgExponent)
{
    const VelocityCoverage c = CoverageOf(product, avgExponent, n);
    st.velocityNote = c.note;
    if (c.covered)
        st.velocityRms = VelocityRms(x, n, SampleRate(product, avgExponent), 1 << std::clamp(avgExponent, 0, 10));
}

} // namespace

VelocityCoverage CoverageOf(int product, int avgExponent, int count)
{
    avgExponent = std::clamp(avgExponent, 0, 10);
    const double fs = SampleRate(product, avgExponent);
    VelocityCoverage c;
    if (count >= 4 && HoldsBand(fs, count)) {
        c.covered = true;
        if (avgExponent > 0) {
            const double sensorNyquist = InternalSampleRate(product) / 2;
            c.note = QStringLiteral("Averaging %1 lowers the Nyquist frequency to %2 Hz: vibration between %2 and "
                                    "%3 Hz folds to lower frequencies and can add to the velocity.")
                         .arg(QString::number(1 << avgExponent), Hz(fs / 2), Hz(sensorNyquist));
        }
        return c;
    }
    QStringList fits;
    for (int e = 0; e <= 10; ++e)
        if (count >= 4 && HoldsBand(SampleRate(product, e), count))
            fits << QString::number(1 << e);
    const QString needs = fits.isEmpty() ? QStringLiteral("No averaging makes %1 samples hold the band").arg(count)
                                         : QStringLiteral("Needs averaging %1").arg(Alternatives(fits));
    if (count < 4) {
        c.note = needs + QLatin1Char('.');
    } else if (kVelocityBandLow < kLowEdgeBins * fs / count) {
        c.note = QStringLiteral("%1: at this record's %2 Hz sample rate its %3 samples last %4 ms, too short for "
                                "the band's %5 Hz lower edge (%6 ms needed).")
                     .arg(needs, Hz(fs), QString::number(count), QString::number(1000.0 * count / fs, 'f', 1),
                          Hz(kVelocityBandLow), QString::number(1000.0 * kLowEdgeBins / kVelocityBandLow, 'f', 0));
    } else {
        c.note = QStringLiteral("%1: this record's %2 Hz sample rate holds frequencies up to %3 Hz, %4 the band's "
                                "%5 Hz upper edge.")
                     .arg(needs, Hz(fs), Hz(fs / 2),
                          fs / 2 < kVelocityBandHigh ? QStringLiteral("below") : QStringLiteral("too close to"),
                          Hz(kVelocityBandHigh));
    }
    return c;
}

ChannelStats ComputeStats(const double* x, int n, const RecordView& view, bool acceleration, Window window)
{
    ChannelStats st = ShapeStats(x, n, SampleRate(view.product, view.avgExponent), window);
    if (acceleration)
        AddVelocity(st, x, n, view.product, view.avgExponent);
    return st;
}

ChannelStats ComputeStats(const double* x, int n, double sampleRate, bool acceleration, Window window)
{
    ChannelStats st = ShapeStats(x, n, sampleRate, window);
    if (!acceleration)
        return st;
    int product = 0, avgExponent = 0;
    if (SourceOfSampleRate(sampleRate, &product, &avgExponent))
        AddVelocity(st, x, n, product, avgExponent);
    else
        st.velocityNote = QStringLiteral("Neither sensor samples at %1 Hz, so the averaging the velocity depends "
                                         "on is unknown.")
                              .arg(Hz(sampleRate));
    return st;
}

RecordView ViewOfRecord(const CaptureRecord::Record& record)
{
    RecordView v;
    v.product = record.product == 31470 ? 31470 : 31473;
    v.avgExponent = record.avgExponent;
    v.extended = record.Extended();
    v.extendedAxis = record.ExtendedAxis();
    return v;
}

QString BufferName(int product, int buffer)
{
    static const char* const kTri[3] = {"X acc", "Y acc", "Z acc"};
    static const char* const kSingle[3] = {"X acc", "ADC 0", "ADC 1"};
    const size_t b = static_cast<size_t>(std::clamp(buffer, 0, 2));
    return QString::fromLatin1(product == 31470 ? kSingle[b] : kTri[b]);
}

std::vector<Channel> RecordChannels(const RecordView& view, const CaptureRecord::Record& record)
{
    const auto& source = view.raw ? record.raw : record.value;
    const std::array<const std::array<double, 1025>*, 3> buffers{&source[0], &source[1], &source[2]};
    const bool single = view.product == 31470;
    std::vector<Channel> out;
    if (view.extended) {
        Channel c;
        const int axis = std::clamp(view.extendedAxis, 0, 2);
        c.name = BufferName(31473, axis); // extended captures are the tri-axis sensor's
        c.buffer = axis;
        c.acceleration = !view.raw;
        c.samples.reserve(3072);
        for (const auto* b : buffers)
            c.samples.insert(c.samples.end(), b->begin(), b->begin() + 1024);
        out.push_back(std::move(c));
        return out;
    }
    for (int i = 0; i < 3; ++i) {
        Channel c;
        c.name = BufferName(view.product, i);
        c.buffer = i;
        // On the single-axis sensor buffers 2 and 3 are auxiliary ADC inputs, not acceleration.
        c.acceleration = !view.raw && (!single || i == 0);
        const auto* b = buffers[static_cast<size_t>(i)];
        c.samples.assign(b->begin(), b->begin() + 1024);
        out.push_back(std::move(c));
    }
    return out;
}

std::vector<ChannelStats> ChannelsStats(const std::vector<Channel>& channels, const RecordView& view,
                                        double sampleRate, const CaptureRecord::Record& record)
{
    auto velocity = [&view](ChannelStats& st, const Channel& c) {
        AddVelocity(st, c.samples.data(), static_cast<int>(c.samples.size()), view.product, view.avgExponent);
    };
    std::vector<ChannelStats> out;
    for (const Channel& c : channels) {
        out.push_back(ShapeStats(c.samples.data(), static_cast<int>(c.samples.size()), sampleRate, Window::Hann));
        if (c.acceleration)
            velocity(out.back(), c);
    }
    if (view.raw) {
        RecordView inG = view;
        inG.raw = false;
        const std::vector<Channel> g = RecordChannels(inG, record);
        for (size_t i = 0; i < out.size() && i < g.size(); ++i)
            if (g[i].acceleration)
                velocity(out[i], g[i]);
    }
    return out;
}

QString UnitName(const RecordView& view)
{
    return view.raw ? QStringLiteral("counts") : QStringLiteral("g");
}

std::vector<PeakSummary> DominantPeaks(const RecordView& view, const CaptureRecord::Record& record)
{
    const double fs = SampleRate(view.product, view.avgExponent);
    std::vector<PeakSummary> out;
    for (const Channel& c : RecordChannels(view, record)) {
        const Spectrum s = ComputeSpectrum(c.samples, fs, Window::Hann);
        out.push_back({c.name, s.PeakFrequency(), s.PeakAmplitude()});
    }
    return out;
}

QStringList PeakLines(const std::vector<PeakSummary>& peaks, const QString& unit)
{
    QStringList lines;
    for (const PeakSummary& p : peaks)
        lines << QStringLiteral("%1: %2 Hz, %3 %4")
                     .arg(p.name, QString::number(p.hz, 'f', 1), QString::number(p.amplitude, 'g', 4), unit);
    return lines;
}

MarkerDelta TimeMarkerDelta(double a, double b, double sampleRate)
{
    MarkerDelta d;
    d.samples = std::abs(b - a);
    d.seconds = sampleRate > 0 ? d.samples / sampleRate : 0.0;
    d.hz = d.seconds > 0 ? 1.0 / d.seconds : 0.0;
    return d;
}

} // namespace analysis
