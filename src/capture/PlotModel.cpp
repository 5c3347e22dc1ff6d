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

void BuildNormalTraces(Traces& t, double offsetX, double offsetY, double offsetZ)
{
    using namespace CaptureRecord;
    for (int i = 0; i <= 1023; ++i) {
        t.PlotX[i] = offsetX + BufValue1[i];
        t.PlotY[i] = offsetY + BufValue2[i];
        t.PlotZ[i] = offsetZ + BufValue3[i];
    }
}

void BuildExtendedTrace(Traces& t, double offset)
{
    using namespace CaptureRecord;
    for (int i = 0; i <= 1023; ++i) {
        t.PlotExt[i] = offset + BufValue1[i];
        t.PlotExt[i + 1024] = offset + BufValue2[i];
        t.PlotExt[i + 2048] = offset + BufValue3[i];
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
