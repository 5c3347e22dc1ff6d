#include "ui/PlotView.h"
#include "capture/PlotModel.h"

#include <QRubberBand>
#include <cmath>

namespace ui {

void NiceTicker::generate(const QCPRange& range, const QLocale&, QChar, int, QVector<double>& ticks,
                          QVector<double>* subTicks, QVector<QString>* tickLabels)
{
    const PlotModel::Ticks t = PlotModel::NiceTicks(range.lower / perUnit, range.upper / perUnit, maxTicks);
    ticks.clear();
    if (tickLabels)
        tickLabels->clear();
    for (double v : t.values) {
        ticks.append(v * perUnit);
        if (tickLabels)
            tickLabels->append(PlotModel::TickText(v, t.step));
    }
    if (subTicks)
        subTicks->clear();
}

int FitTickCount(double lo, double hi, double lengthPx, const std::function<double(const QString&)>& extent,
                 double gapPx)
{
    if (!(hi > lo) || lengthPx <= 0)
        return 1;
    for (int n = std::clamp(static_cast<int>(lengthPx / 8), 1, 40); n > 1; --n) {
        const PlotModel::Ticks t = PlotModel::NiceTicks(lo, hi, n);
        double widest = 0;
        for (double v : t.values)
            widest = std::max(widest, extent(PlotModel::TickText(v, t.step)));
        // Neighbouring labels are centred a step apart.
        if (t.step / (hi - lo) * lengthPx >= widest + gapPx)
            return n;
    }
    return 1;
}

PlotView::PlotView(QWidget* parent) : QCustomPlot(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::WheelFocus);
    setMinimumSize(200, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    for (QCPAxis* a : {xAxis, yAxis}) {
        a->setTicker(QSharedPointer<NiceTicker>::create());
        a->grid()->setPen(QPen(QColor(225, 225, 225), 0, Qt::SolidLine));
        a->grid()->setZeroLinePen(QPen(QColor(170, 170, 170), 0, Qt::SolidLine));
    }
    legend->setFont(QFont(font().family(), std::max(7, font().pointSize() - 1)));
    legend->setBrush(QColor(255, 255, 255, 220));
    band_ = new QRubberBand(QRubberBand::Rectangle, this);
}

NiceTicker* PlotView::Ticker(QCPAxis* axis) { return dynamic_cast<NiceTicker*>(axis->ticker().data()); }

void PlotView::FitTicks()
{
    // Room for half an edge label beyond the top of the y axis and the right end of the x axis.
    const QFontMetrics xfm(xAxis->tickLabelFont());
    const QFontMetrics yfm(yAxis->tickLabelFont());
    axisRect()->setMinimumMargins(QMargins(0, yfm.height() / 2 + 2, xfm.horizontalAdvance(QStringLiteral("-00000")) / 2 + 2, 0));
    const QMargins m = axisRect()->margins();
    const double width = std::max(1, viewport().width() - m.left() - m.right());
    const double height = std::max(1, viewport().height() - m.top() - m.bottom());
    if (NiceTicker* t = Ticker(xAxis)) {
        const QFontMetricsF fm(xAxis->tickLabelFont());
        t->maxTicks = FitTickCount(xAxis->range().lower / t->perUnit, xAxis->range().upper / t->perUnit, width,
                                   [&](const QString& s) { return fm.horizontalAdvance(s); }, fm.horizontalAdvance("0") * 2);
    }
    if (NiceTicker* t = Ticker(yAxis)) {
        const QFontMetricsF fm(yAxis->tickLabelFont());
        t->maxTicks = FitTickCount(yAxis->range().lower / t->perUnit, yAxis->range().upper / t->perUnit, height,
                                   [&](const QString&) { return fm.height(); }, fm.height() * 0.8);
    }
}

void PlotView::Redraw()
{
    // A plot never shown (exports, tests, benchmarks) has had no resize event to size its viewport.
    if (viewport().size() != size())
        setViewport(rect());
    FitTicks();
    replot();
    // The margins follow the labels: once more if they moved, so the counts fit the final axes.
    const QMargins before = axisRect()->margins();
    FitTicks();
    if (axisRect()->margins() != before)
        replot();
}

void PlotView::resizeEvent(QResizeEvent* e)
{
    QCustomPlot::resizeEvent(e);
    Redraw();
}

void PlotView::mousePressEvent(QMouseEvent* e)
{
    press_ = e->position();
    button_ = e->button();
    mods_ = e->modifiers();
    drag_ = Drag::Pending;
}

void PlotView::mouseMoveEvent(QMouseEvent* e)
{
    const QPointF pos = e->position();
    if (drag_ == Drag::Pending && (pos - press_).manhattanLength() >= kDragThreshold) {
        const bool band = button_ == Qt::RightButton || (button_ == Qt::LeftButton && (mods_ & Qt::ShiftModifier));
        if (band) {
            drag_ = Drag::Band;
        } else if (button_ == Qt::LeftButton || button_ == Qt::MiddleButton) {
            drag_ = Drag::Pan;
            setCursor(Qt::ClosedHandCursor);
            if (onPanStart)
                onPanStart();
        }
    }
    if (drag_ == Drag::Pan && onPan) {
        onPan(CoordX(press_.x()) - CoordX(pos.x()));
    } else if (drag_ == Drag::Band) {
        const QRect area = axisRect()->rect();
        band_->setGeometry(QRect(QPoint(int(std::min(press_.x(), pos.x())), area.top()),
                                 QPoint(int(std::max(press_.x(), pos.x())), area.bottom())));
        band_->show();
    }
    if (onHover)
        onHover(CoordX(pos.x()), CoordY(pos.y()));
}

void PlotView::mouseReleaseEvent(QMouseEvent* e)
{
    const Drag was = drag_;
    drag_ = Drag::None;
    band_->hide();
    unsetCursor();
    if (was == Drag::Pending && e->button() == button_) {
        if (onClick)
            onClick(CoordX(press_.x()), button_, mods_, press_);
    } else if (was == Drag::Band && onBand) {
        onBand(CoordX(press_.x()), CoordX(e->position().x()));
    }
}

void PlotView::mouseDoubleClickEvent(QMouseEvent*)
{
    drag_ = Drag::None;
    if (onFit)
        onFit();
}

void PlotView::wheelEvent(QWheelEvent* e)
{
    const double steps = e->angleDelta().y() / 120.0;
    if (steps != 0 && onWheel)
        onWheel(CoordX(e->position().x()), steps);
    e->accept();
}

void PlotView::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Home && onFit) {
        onFit();
        return;
    }
    QCustomPlot::keyPressEvent(e);
}

} // namespace ui
