#pragma once
// Waveform plot arithmetic: the visible window over the record, the vertical scale cycle,
// the trace arrays and the cursor read-out. No widgets, so all of it can be driven directly.
#include "capture/CaptureRecord.h"
#include <QPointF>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace PlotModel {

constexpr int16_t kNormalMaxIndex = 1023;   // 1024 samples per buffer
constexpr int16_t kExtendedMaxIndex = 3071; // the three buffers joined
constexpr int16_t kHOffsetStep = 20;

// The horizontal window; the press-and-hold controls keep
// PlotMinStart <= PlotStart <= PlotMaxStart and PlotStart + PlotSpan <= PlotMaxIndex.
struct PlotWindow {
    int16_t PlotMaxIndex = kNormalMaxIndex;
    int16_t PlotStart = 0;
    int16_t PlotMinStart = 0;
    int16_t PlotMaxStart = 0;
    int32_t PlotSpan = kNormalMaxIndex;
    int16_t PlotMinSpan = 20;
    int16_t PlotMaxSpan = kNormalMaxIndex;
    int16_t HOffsetDir = 0;
    int16_t HScaleDir = 0;
};

// Window bookkeeping at the start of a normal / extended redraw. Both return true when the
// layout changed, which resets the window to the whole record (the edge labels then need a refresh).
bool EnterNormalLayout(PlotWindow& w);
bool EnterExtendedLayout(PlotWindow& w);

// One pass of the press-and-hold loops: moves or resizes the window and clamps it; a clamp
// clears the direction, which ends the loop.
void HOffsetStep(PlotWindow& w);
void HScaleStep(PlotWindow& w);

// Mouse navigation. Each keeps the press-and-hold invariant (start and span inside the record,
// span at least PlotMinSpan) and recomputes PlotMaxStart.
// Span times `factor`, with sample `centre` staying where it was on the screen.
void ZoomAbout(PlotWindow& w, double centre, double factor);
// Moves the window by `samples` (positive: later samples come into view).
void PanBy(PlotWindow& w, double samples);
// Shows samples a..b (either order), as a rubber band chose them.
void ShowRange(PlotWindow& w, double a, double b);
// The whole record.
void Fit(PlotWindow& w);

// Tick positions for lo..hi: steps of 1, 2 or 5 times a power of ten, at most about `maxTicks`.
struct Ticks {
    double step = 1;
    std::vector<double> values;
};
Ticks NiceTicks(double lo, double hi, int maxTicks);
// A tick value in the system locale with as many decimals as its step needs.
QString TickText(double value, double step);

// Sample index under user x, clamped to 0..maxIndex.
int SampleAt(double x, int maxIndex);
// A trace value for the cursor read-out, in the system locale.
QString CursorValueText(double value);

struct EdgeTexts {
    QString left;       // lblPlotX(0)
    QString right;      // lblPlotX(3)
    QString pointCount; // LbLPointCount
};
EdgeTexts EdgeLabels(const PlotWindow& w);

// Vertical full scale: 120, 70, 30, 15, 7, 3, 1.5 and round again. A caption that is not a step stays.
QString NextScaleCaption(const QString& caption);
QString NegatedCaption(const QString& caption);

// Cursor read-out: sample index rounded to an integer, value rounded to one decimal ("0.0").
QString CursorXText(double x);
QString CursorYText(double y);

// Trace arrays with the vertical offsets added.
struct Traces {
    std::array<double, 1025> PlotX{};
    std::array<double, 1025> PlotY{};
    std::array<double, 1025> PlotZ{};
    std::array<double, 3072> PlotExt{};
};
// From the capture record's buffers 1, 2, 3.
void BuildNormalTraces(Traces& t, const CaptureRecord::Record& record, double offsetX, double offsetY, double offsetZ);
// The record's three buffers one after another as one trace.
void BuildExtendedTrace(Traces& t, const CaptureRecord::Record& record, double offset);

// User coordinates of the drawing surface; the vertical axis grows upward when top > bottom.
struct UserScale {
    double left = 1;
    double top = 7;
    double right = 1024;
    double bottom = -7;
};
// Pixel position of a user point on a surface of width x height pixels (the edges map to the
// first and last pixel rows and columns).
QPointF UserToPixel(const UserScale& s, double x, double y, int width, int height);
QPointF PixelToUser(const UserScale& s, double px, double py, int width, int height);
// Points (i, values[i]) for i = first..last, clipped to the array, in pixels.
void MapTrace(const double* values, int count, int first, int last, const UserScale& s, int width,
              int height, std::vector<QPointF>& out);

} // namespace PlotModel
