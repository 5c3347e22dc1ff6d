#include "analysis/Statistics.h"
#include "analysis/SampleRate.h"
#include "capture/CaptureRecord.h"

#include <algorithm>
#include <cmath>

namespace analysis {

ChannelStats ComputeStats(const double* x, int n, double sampleRate, bool acceleration, Window window)
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
    if (acceleration)
        st.velocityRms = VelocityRms(s);
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

std::vector<Channel> RecordChannels(const RecordView& view, const CaptureRecord::Record& record)
{
    const auto& source = view.raw ? record.raw : record.value;
    const std::array<const std::array<double, 1025>*, 3> buffers{&source[0], &source[1], &source[2]};
    const bool single = view.product == 31470;
    static const char* const kTri[3] = {"X acc", "Y acc", "Z acc"};
    static const char* const kSingle[3] = {"X acc", "ADC 0", "ADC 1"};
    std::vector<Channel> out;
    if (view.extended) {
        Channel c;
        const int axis = std::clamp(view.extendedAxis, 0, 2);
        c.name = QString::fromLatin1(kTri[axis]);
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
        c.name = QString::fromLatin1(single ? kSingle[i] : kTri[i]);
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
    auto stats = [sampleRate](const Channel& c, bool acceleration) {
        return ComputeStats(c.samples.data(), static_cast<int>(c.samples.size()), sampleRate, acceleration);
    };
    std::vector<ChannelStats> out;
    for (const Channel& c : channels)
        out.push_back(stats(c, c.acceleration));
    if (view.raw) {
        RecordView inG = view;
        inG.raw = false;
        const std::vector<Channel> g = RecordChannels(inG, record);
        for (size_t i = 0; i < out.size() && i < g.size(); ++i)
            if (g[i].acceleration)
                out[i].velocityRms = stats(g[i], true).velocityRms;
    }
    return out;
}

QString UnitName(const RecordView& view)
{
    return view.raw ? QStringLiteral("counts") : QStringLiteral("g");
}

std::vector<PeakSummary> DominantPeaks(const RecordView& view)
{
    const double fs = SampleRate(view.product, view.avgExponent);
    std::vector<PeakSummary> out;
    for (const Channel& c : RecordChannels(view)) {
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
