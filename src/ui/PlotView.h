#pragma once
// The plot views' common ground on QCustomPlot: ticks that never overprint one another, and a
// mouse that tells a click (markers) from a drag (pan, rubber band) by movement.
#include <qcustomplot.h>

#include <functional>

class QRubberBand;

namespace ui {

// Ticks at 1, 2 or 5 times a power of ten of the shown unit (a unit is `perUnit` coordinates),
// as many as fit along the axis with their labels apart. Set by PlotView before every replot.
class NiceTicker : public QCPAxisTicker {
public:
    void generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision,
                  QVector<double>& ticks, QVector<double>* subTicks, QVector<QString>* tickLabels) override;
    double perUnit = 1;
    // The most ticks the axis has room for; chosen by FitTicks.
    int maxTicks = 5;
};

// The most ticks over lo..hi (in shown units) whose labels, `extent(label)` pixels each along an
// axis `lengthPx` long, keep at least `gapPx` apart.
int FitTickCount(double lo, double hi, double lengthPx, const std::function<double(const QString&)>& extent,
                 double gapPx);

class PlotView : public QCustomPlot {
    Q_OBJECT
public:
    explicit PlotView(QWidget* parent = nullptr);

    // Axis coordinates of a widget pixel and back.
    double CoordX(double px) const { return xAxis->pixelToCoord(px); }
    double CoordY(double py) const { return yAxis->pixelToCoord(py); }
    double PixelX(double x) const { return xAxis->coordToPixel(x); }
    double PixelY(double y) const { return yAxis->coordToPixel(y); }

    // Ticks sized to the axes now, then drawn at once.
    void Redraw();
    // Uses a NiceTicker on `axis` (the default for both axes).
    static NiceTicker* Ticker(QCPAxis* axis);

    // Mouse, in axis coordinates. A press and release within a few pixels is a click; a larger
    // movement is a drag: a plain left drag pans, a Shift+left or right drag is a rubber band.
    std::function<void(double x, double y)> onHover;
    std::function<void(double x, Qt::MouseButton button, Qt::KeyboardModifiers mods, QPointF pixel)> onClick;
    std::function<void()> onPanStart;
    std::function<void(double dx)> onPan; // coordinates moved since the press
    std::function<void(double x1, double x2)> onBand;
    std::function<void(double x, double steps)> onWheel;
    std::function<void()> onFit;

    static constexpr int kDragThreshold = 4;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void FitTicks();
    enum class Drag { None, Pending, Pan, Band };
    Drag drag_ = Drag::None;
    Qt::MouseButton button_ = Qt::NoButton;
    Qt::KeyboardModifiers mods_;
    QPointF press_;
    QRubberBand* band_ = nullptr;
};

} // namespace ui
