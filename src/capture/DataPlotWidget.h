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

    // What the surface shows now (background plus strokes).
    const QImage& Image() const { return image_; }
    // Renders into an image of this size from now on (benchmarks and screenshots without a window).
    void ResizeImage(const QSize& size);
    int StrokeCount() const { return static_cast<int>(strokes_.size()); }
    // How often the surface was cleared for a redraw.
    int ClearCount() const { return clears_; }

    // Mouse position in user coordinates.
    std::function<void(double x, double y)> onMouseMove;

    static constexpr QRgb kBackground = 0xFFFFFFFF;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    struct Stroke {
        QColor colour;
        const double* values; // the caller's array, kept alive by the caller
        int count, first, last;
    };
    void RenderAll();
    void RenderStroke(const Stroke& s);

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

private:
    void BuildControls();
    void HOffsetLoop();
    void HScaleLoop();
    void SetSurfaceScale();
    void SetTraceControls(int trace, bool on);
};
