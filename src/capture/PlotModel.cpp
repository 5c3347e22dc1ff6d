#include "capture/PlotModel.h"
#include "capture/CaptureRecord.h"
#include "shell/Numbers.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace PlotModel {

namespace {
const char* const kScaleSteps[] = {"120", "70", "30", "15", "7", "3", "1.5"};
constexpr int kScaleStepCount = 7;

void ResetToWholeRecord(PlotWindow& w, int16_t maxIndex)
{
    w.PlotMaxIndex = maxIndex;
    w.PlotSpan = maxIndex;
    w.PlotStart = 0;
}
} // namespace

bool EnterNormalLayout(PlotWindow& w)
{
    bool switched = false;
    if (w.PlotMaxIndex == kExtendedMaxIndex) {
        ResetToWholeRecord(w, kNormalMaxIndex);
        switched = true;
    }
    w.PlotMaxStart = static_cast<int16_t>(w.PlotMaxIndex - w.PlotSpan);
    w.PlotMaxSpan = w.PlotMaxIndex;
    if (w.PlotSpan > w.PlotMaxIndex)
        w.PlotSpan = w.PlotMaxIndex;
    if (w.PlotStart > w.PlotMaxIndex - 20)
        w.PlotStart = static_cast<int16_t>(w.PlotMaxIndex - 20);
    return switched;
}

bool EnterExtendedLayout(PlotWindow& w)
{
    bool switched = false;
    if (w.PlotMaxIndex == kNormalMaxIndex) {
        ResetToWholeRecord(w, kExtendedMaxIndex);
        switched = true;
    }
    w.PlotMaxStart = static_cast<int16_t>(w.PlotMaxIndex - w.PlotSpan);
    w.PlotMaxSpan = w.PlotMaxIndex;
    return switched;
}

void HOffsetStep(PlotWindow& w)
{
    w.PlotStart = static_cast<int16_t>(w.PlotStart + kHOffsetStep * w.HOffsetDir);
    if (w.PlotStart < w.PlotMinStart) {
        w.PlotStart = w.PlotMinStart;
        w.HOffsetDir = 0;
    }
    if (w.PlotStart > w.PlotMaxStart) {
        w.PlotStart = w.PlotMaxStart;
        w.HOffsetDir = 0;
    }
}

void HScaleStep(PlotWindow& w)
{
    if (w.HScaleDir > 0)
        w.PlotSpan = RoundHalfEven(w.PlotSpan * 1.03);
    if (w.HScaleDir < 0)
        w.PlotSpan = RoundHalfEven(w.PlotSpan - 0.03 * w.PlotSpan);
    if (w.PlotSpan < w.PlotMinSpan) {
        w.PlotSpan = w.PlotMinSpan;
        w.HScaleDir = 0;
    }
    if (w.PlotSpan > w.PlotMaxSpan) {
        w.PlotSpan = w.PlotMaxSpan;
        w.HScaleDir = 0;
    }
    w.PlotMaxStart = static_cast<int16_t>(w.PlotMaxIndex - w.PlotSpan);
    if (w.PlotStart > w.PlotMaxStart)
        w.PlotStart = w.PlotMaxStart;
    if (w.PlotStart + w.PlotSpan > w.PlotMaxIndex)
        w.PlotStart = static_cast<int16_t>(w.PlotMaxIndex - w.PlotSpan);
}

namespace {
void ClampWindow(PlotWindow& w)
{
    w.PlotSpan = std::clamp<int32_t>(w.PlotSpan, w.PlotMinSpan, w.PlotMaxIndex);
    w.PlotMaxSpan = w.PlotMaxIndex;
    w.PlotMaxStart = static_cast<int16_t>(w.PlotMaxIndex - w.PlotSpan);
    w.PlotStart = std::clamp(w.PlotStart, w.PlotMinStart, w.PlotMaxStart);
}
} // namespace

void ZoomAbout(PlotWindow& w, double centre, double factor)
{
    const double frac = w.PlotSpan > 0 ? std::clamp((centre - w.PlotStart) / w.PlotSpan, 0.0, 1.0) : 0.5;
    w.PlotSpan = std::clamp<int32_t>(static_cast<int32_t>(std::lround(w.PlotSpan * factor)), w.PlotMinSpan,
                                     w.PlotMaxIndex);
    w.PlotStart = static_cast<int16_t>(std::clamp<long>(std::lround(centre - frac * w.PlotSpan), -32768, 32767));
    ClampWindow(w);
}

void PanBy(PlotWindow& w, double samples)
{
    w.PlotStart = static_cast<int16_t>(std::clamp<long>(std::lround(w.PlotStart + samples), -32768, 32767));
    ClampWindow(w);
}

void ShowRange(PlotWindow& w, double a, double b)
{
    const double lo = std::max(0.0, std::min(a, b));
    const double hi = std::min<double>(w.PlotMaxIndex, std::max(a, b));
    w.PlotSpan = static_cast<int32_t>(std::lround(std::max(0.0, hi - lo)));
    if (w.PlotSpan < w.PlotMinSpan) // too narrow a band widens about its middle
        w.PlotStart = static_cast<int16_t>(std::lround((lo + hi) / 2 - w.PlotMinSpan / 2.0));
    else
        w.PlotStart = static_cast<int16_t>(std::lround(lo));
    ClampWindow(w);
}

void Fit(PlotWindow& w)
{
    w.PlotStart = 0;
    w.PlotSpan = w.PlotMaxIndex;
    ClampWindow(w);
}

Ticks NiceTicks(double lo, double hi, int maxTicks)
{
    Ticks t;
    if (hi < lo)
        std::swap(lo, hi);
    const double range = hi - lo;
    if (!(range > 0) || maxTicks < 1)
        return t;
    const double raw = range / maxTicks;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / mag;
    t.step = (norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10) * mag;
    const double eps = t.step * 1e-9;
    for (double v = std::ceil((lo - eps) / t.step) * t.step; v <= hi + eps; v += t.step)
        t.values.push_back(std::abs(v) < eps ? 0.0 : v);
    return t;
}

QString TickText(double value, double step)
{
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    const double r = std::abs(value) < step * 1e-6 ? 0.0 : value;
    return loc.toString(r, 'f', decimals);
}

int SampleAt(double x, int maxIndex) { return std::clamp(RoundHalfEven(x), 0, maxIndex); }

QString CursorValueText(double value)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    const double r = std::nearbyint(value * 1000.0) / 1000.0;
    return loc.toString(r == 0.0 ? 0.0 : r, 'f', 3);
}

EdgeTexts EdgeLabels(const PlotWindow& w)
{
    return {QString::number(w.PlotStart), QString::number(w.PlotStart + w.PlotSpan),
            QString::number(w.PlotSpan)};
}

QString NextScaleCaption(const QString& caption)
{
    for (int i = 0; i < kScaleStepCount; ++i) {
        if (caption == QLatin1String(kScaleSteps[i]))
            return QString::fromLatin1(kScaleSteps[(i + 1) % kScaleStepCount]);
    }
    return caption;
}

QString NegatedCaption(const QString& caption) { return QLatin1Char('-') + caption; }

QString CursorXText(double x) { return QString::number(RoundHalfEven(x)); }

QString CursorYText(double y)
{
    double r = std::nearbyint(y * 10.0) / 10.0;
    if (r == 0.0)
        r = 0.0; // no "-0.0"
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(r, 'f', 1);
}

void BuildNormalTraces(Traces& t, const CaptureRecord::Record& record, double offsetX, double offsetY, double offsetZ)
{
    const auto& v = record.value;
    for (int i = 0; i <= 1023; ++i) {
        t.PlotX[i] = offsetX + v[0][i];
        t.PlotY[i] = offsetY + v[1][i];
        t.PlotZ[i] = offsetZ + v[2][i];
    }
}

void BuildExtendedTrace(Traces& t, const CaptureRecord::Record& record, double offset)
{
    const auto& v = record.value;
    for (int i = 0; i <= 1023; ++i) {
        t.PlotExt[i] = offset + v[0][i];
        t.PlotExt[i + 1024] = offset + v[1][i];
        t.PlotExt[i + 2048] = offset + v[2][i];
    }
}

QPointF UserToPixel(const UserScale& s, double x, double y, int width, int height)
{
    const double sx = (s.right != s.left) ? (width - 1) / (s.right - s.left) : 0.0;
    const double sy = (s.bottom != s.top) ? (height - 1) / (s.bottom - s.top) : 0.0;
    return {(x - s.left) * sx, (y - s.top) * sy};
}

QPointF PixelToUser(const UserScale& s, double px, double py, int width, int height)
{
    const double fx = width > 1 ? px / (width - 1) : 0.0;
    const double fy = height > 1 ? py / (height - 1) : 0.0;
    return {s.left + fx * (s.right - s.left), s.top + fy * (s.bottom - s.top)};
}

void MapTrace(const double* values, int count, int first, int last, const UserScale& s, int width,
              int height, std::vector<QPointF>& out)
{
    out.clear();
    first = std::max(first, 0);
    last = std::min(last, count - 1);
    if (last < first)
        return;
    out.reserve(static_cast<size_t>(last - first + 1));
    const double sx = (s.right != s.left) ? (width - 1) / (s.right - s.left) : 0.0;
    const double sy = (s.bottom != s.top) ? (height - 1) / (s.bottom - s.top) : 0.0;
    // Far-off points are pulled in so the rasteriser never sees huge coordinates;
    // the segment's visible part is unchanged in practice at this distance.
    const double limit = 1.0e5;
    for (int i = first; i <= last; ++i) {
        const double py = std::clamp((values[i] - s.top) * sy, -limit, limit);
        out.emplace_back((i - s.left) * sx, py);
    }
}

} // namespace PlotModel
