#pragma once
// The "Data Plot" frame: drawing surface, vertical scale and offsets, horizontal zoom/pan, cursor read-out.
#include "capture/PlotModel.h"

#include <QColor>
#include <QGroupBox>
#include <QImage>
#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QPainter;
class QFrame;
class QLabel;
class QPushButton;
class QScrollBar;

// The drawing surface: user coordinates, clear, polylines. What is drawn is kept as a list of
// strokes and rendered into an image at once, so a resize can render it again.
class PlotSurface : public QWidget {
public:
    explicit PlotSurface(QWidget* parent = nullptr);

    void SetScale(double left, double top, double right, double bottom);
    const PlotModel::UserScale& Scale() const { return scale_; }
    void Cls();
    // One polyline through (i, values[i]) for i = first..last; `values` must outlive the stroke.
    void DrawTrace(const double* values, int count, int first, int last, const QColor& colour);

    // Grid and strokes drawn as vectors into `area` of any painter (exports).
    void RenderTo(QPainter& p, const QRectF& area) const;
    // What the surface shows now (background plus strokes).
    const QImage& Image() const { return image_; }
    // Renders into an image of this size from now on (benchmarks and screenshots without a window).
    void ResizeImage(const QSize& size);
    int StrokeCount() const { return static_cast<int>(strokes_.size()); }
    // How often the surface was cleared for a redraw.
    int ClearCount() const { return clears_; }

    // Light grid lines drawn under the traces, in user coordinates.
    void SetGrid(std::vector<double> xs, std::vector<double> ys);

    // Mouse position in user coordinates.
    std::function<void(double x, double y)> onMouseMove;
    // Navigation: wheel steps (positive: away from the user) at user x; a drag that pans by
    // `dx` user units since the press; a rubber band from x1 to x2; fit to the record.
    std::function<void(double x, double steps)> onWheel;
    std::function<void()> onPanStart;
    std::function<void(double dx)> onPan;
    std::function<void(double x1, double x2)> onBand;
    std::function<void()> onFit;

    static constexpr QRgb kGrid = 0xFFE6E6E6;

    static constexpr QRgb kBackground = 0xFFFFFFFF;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    struct Stroke {
        QColor colour;
        const double* values; // the caller's array, kept alive by the caller
        int count, first, last;
    };
    void RenderAll();
    void RenderBackground();
    // The light grid at the tick positions, on a w x h pixel area.
    void DrawGrid(QPainter& p, int w, int h) const;
    void RenderStroke(const Stroke& s);
    double UserX(double px) const;

    enum class Drag { None, Pan, Band };
    Drag drag_ = Drag::None;
    double pressX_ = 0, bandX_ = 0; // pixels
    std::vector<double> gridX_, gridY_;

    PlotModel::UserScale scale_;
    QImage image_;
    std::vector<Stroke> strokes_;
    int clears_ = 0;
    std::vector<QPointF> points_;
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

    // The plot alone (axes, ticks, grid, traces, legend) drawn by its own painter over `size`:
    // the exports and the clipboard copy, without the buttons around it.
    void Render(QPainter& p, const QSize& size) const;
    QImage RenderImage(const QSize& size) const;
    // Trace colours of the normal and extended layouts.
    static const std::array<QColor, 3> kNormalColours;
    static const std::array<QColor, 3> kExtendedColours;

    PlotModel::PlotWindow Plot;
    PlotModel::Traces Traces;

    PlotSurface* picture1 = nullptr;
    QPushButton* cmdPlotScale = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblpFS2 = nullptr;
    QLabel* LbLYmid = nullptr;
    QLabel* lblnFS2 = nullptr;
    QFrame* LineYmid = nullptr;
    std::array<QLabel*, 5> lblPlotX{}; // indexes 0, 3 and 4
    std::array<QFrame*, 5> LineX{};
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
    void BuildControls();
    void HOffsetLoop();
    void HScaleLoop();
    void SetSurfaceScale();
    void SetTraceControls(int trace, bool on);
    void UpdateTicks();
    QWidget* xStrip_ = nullptr;
    QWidget* yAxis_ = nullptr;
    int panStart_ = 0;
};
