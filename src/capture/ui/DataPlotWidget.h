#pragma once
// The "Data Plot" frame: drawing surface, vertical scale and offsets, horizontal zoom/pan, cursor read-out.
#include "capture/PlotModel.h"
#include "ui/PlotView.h"

#include <QColor>
#include <QGroupBox>
#include <QImage>
#include <array>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QPainter;
class QFrame;
class QLabel;
class QPushButton;
class QScrollBar;

// The drawing surface: axes over the record's user coordinates, the traces as graphs, markers
// and the cursor's tracers.
class PlotSurface : public ui::PlotView {
public:
    explicit PlotSurface(QWidget* parent = nullptr);

    void SetScale(double left, double top, double right, double bottom);
    PlotModel::UserScale Scale() const;
    void Cls();
    // One graph through (i, values[i]) for i = first..last (clipped to `count`), named in the legend.
    void DrawTrace(const double* values, int count, int first, int last, const QColor& colour,
                   const QString& name = {});
    // The plot at this size from now on (benchmarks and tests without a window).
    void ResizeImage(const QSize& size) { resize(size); }
    // Traces drawn with at least two points.
    int StrokeCount() const;
    // How often the surface was cleared for a redraw.
    int ClearCount() const { return clears_; }

    // Vertical lines A and B at these x (none where empty).
    void SetMarkers(const std::array<std::optional<double>, 2>& markers);
    struct TracerPoint {
        double x, y;
        QColor colour;
    };
    // Dots on the traces at the cursor's sample (none: hidden).
    void ShowTracers(const std::vector<TracerPoint>& points);

    // Mouse position in user coordinates.
    std::function<void(double x, double y)> onMouseMove;

private:
    int clears_ = 0;
    std::array<QCPItemStraightLine*, 2> markerLines_{};
    std::array<QCPItemText*, 2> markerTexts_{};
    std::vector<QCPItemTracer*> tracers_;
};

class DataPlotWidget : public QGroupBox {
    Q_OBJECT
public:
    explicit DataPlotWidget(QWidget* parent = nullptr);

    // Redraws from the capture record; reads CAPT_CTRL to pick the normal or extended layout.
    void PlotCaptureData();
    void PlotCaptureDataExtendedMode();
    // Clears the drawing surface (start of a read-out).
    void ClearPlot();
    // The legend and cursor name of trace 0..2: the shown capture's own channel name.
    QString TraceName(int trace) const;
    // False, with the cursor read-out cleared, while no capture has been read whole.
    bool ShowsCapture();
    // Start values set by the main window's load.
    void SetStartValues();

    // Handlers (public so the window's tests can press and hold without a mouse).
    void cmdPlotScale_Click();
    void VSos_Change(int trace);
    void cmdHoffset_MouseDown(int16_t dir);
    void cmdHoffset_MouseUp();
    void cmdHscale_MouseDown(int16_t dir);
    void cmdHscale_MouseUp();
    void picture1_MouseMove(double x, double y);
    void RefreshEdgeLabels();
    // Sets the vertical full scale to one of the button's steps (others are ignored).
    void SetScaleCaption(const QString& caption);
    // Mouse and keyboard navigation; each redraws.
    void ZoomAt(double x, double factor);
    void ShowRange(double a, double b);
    void FitToRecord();
    // The value of trace `trace` (0..2) at sample `index` of the shown layout, without its offset.
    double TraceValue(int trace, int index) const;

    // Trace colours of the normal and extended layouts.
    static const std::array<QColor, 3> kNormalColours;
    static const std::array<QColor, 3> kExtendedColours;

    PlotModel::PlotWindow Plot;
    PlotModel::Traces Traces;

    PlotSurface* picture1 = nullptr;
    QPushButton* cmdPlotScale = nullptr;
    QLabel* Label3 = nullptr;
    // The vertical range shown (the axis itself carries the ticks).
    QLabel* lblpFS2 = nullptr;
    QLabel* lblnFS2 = nullptr;
    // The first and last sample shown (indexes 0 and 3; the axis carries the ticks).
    std::array<QLabel*, 4> lblPlotX{};
    QLabel* LbLPointCount = nullptr;
    QLabel* Label16 = nullptr;
    QPushButton* cmdHscaleNeg = nullptr;
    QPushButton* cmdHscalePos = nullptr;
    QLabel* Label15 = nullptr;
    QPushButton* cmdHoffsetNeg = nullptr;
    QPushButton* cmdHoffsetPos = nullptr;
    QCheckBox* ckXacc = nullptr;
    QCheckBox* ckADC0 = nullptr;
    QCheckBox* ckADC1 = nullptr;
    QFrame* LineXcolor = nullptr;
    QFrame* LineYcolor = nullptr;
    QFrame* LineZcolor = nullptr;
    QScrollBar* VSosX = nullptr;
    QScrollBar* VSosY = nullptr;
    QScrollBar* VSosZ = nullptr;
    QLabel* LblosX = nullptr;
    QLabel* LblosY = nullptr;
    QLabel* LblosZ = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblCursorX = nullptr;
    QLabel* lblCursorY = nullptr;
    QLabel* LbLReadingBuffer = nullptr;
    QPushButton* cmdFit = nullptr;
    // Horizontal axis in milliseconds at the capture's sample rate instead of sample numbers.
    QCheckBox* ckTimeAxis = nullptr;
    // Milliseconds per sample while the time axis is on (and the capture's rate known), else 0.
    double MsPerSample() const;

private:
    void BuildSurface();
    QWidget* BuildControlColumn();
    QLayout* BuildScaleRow(QWidget* side);
    QLayout* BuildTraceBoxes(QWidget* side);
    QLayout* BuildOffsetBars(QWidget* side);
    QLayout* BuildHorizontalControls(QWidget* side);
    QLayout* BuildCursorReadout(QWidget* side);
    void ConnectControls();
    void HOffsetLoop();
    void HScaleLoop();
    void SetSurfaceScale();
    void SetTraceControls(int trace, bool on);
    // The cursor read-out again at the last pointer position (a new capture, other traces).
    void RefreshCursor();
    void PanTo(double dx);
    int panStart_ = 0;
    std::optional<QPointF> cursor_;
    // Tick states of the normal layout, given back when an extended plot is left.
    std::optional<std::array<bool, 3>> normalTicks_;
};
