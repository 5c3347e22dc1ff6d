#include "capture/ui/DataPlotWidget.h"
#include "analysis/Statistics.h"
#include "capture/CaptureRecord.h"
#include "capture/CaptureSettings.h"
#include "shell/Numbers.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// PlotSurface

PlotSurface::PlotSurface(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::WheelFocus);
    setToolTip(QStringLiteral("Wheel: zoom   Drag: pan   Shift+drag or right-drag: zoom to range   Home: fit"));
}

void PlotSurface::SetGrid(std::vector<double> xs, std::vector<double> ys)
{
    gridX_ = std::move(xs);
    gridY_ = std::move(ys);
}

void PlotSurface::RenderBackground()
{
    image_.fill(kBackground);
    if (gridX_.empty() && gridY_.empty())
        return;
    const QSizeF logical = image_.deviceIndependentSize();
    const int w = qRound(logical.width());
    const int h = qRound(logical.height());
    QPainter p(&image_);
    DrawGrid(p, w, h);
}

void PlotSurface::DrawGrid(QPainter& p, int w, int h) const
{
    QPen pen{QColor::fromRgb(kGrid)};
    pen.setCosmetic(true);
    p.setPen(pen);
    for (double x : gridX_) {
        const double px = PlotModel::UserToPixel(scale_, x, 0, w, h).x();
        p.drawLine(QPointF(px, 0), QPointF(px, h));
    }
    for (double y : gridY_) {
        const double py = PlotModel::UserToPixel(scale_, 0, y, w, h).y();
        p.drawLine(QPointF(0, py), QPointF(w, py));
    }
}

void PlotSurface::SetScale(double left, double top, double right, double bottom)
{
    scale_ = {left, top, right, bottom};
}

void PlotSurface::Cls()
{
    ++clears_;
    strokes_.clear();
    if (!image_.isNull())
        RenderBackground();
    update();
}

void PlotSurface::DrawTrace(const double* values, int count, int first, int last, const QColor& colour)
{
    strokes_.push_back({colour, values, count, first, last});
    RenderStroke(strokes_.back());
    update();
}

void PlotSurface::ResizeImage(const QSize& size)
{
    const double dpr = devicePixelRatioF();
    image_ = QImage(size * dpr, QImage::Format_ARGB32_Premultiplied);
    image_.setDevicePixelRatio(dpr);
    RenderAll();
}

void PlotSurface::RenderAll()
{
    if (image_.isNull())
        return;
    RenderBackground();
    for (const Stroke& s : strokes_)
        RenderStroke(s);
}

void PlotSurface::RenderStroke(const Stroke& s)
{
    if (image_.isNull())
        return;
    const QSizeF logical = image_.deviceIndependentSize();
    const int w = qRound(logical.width());
    const int h = qRound(logical.height());
    PlotModel::MapTrace(s.values, s.count, s.first, s.last, scale_, w, h, points_);
    if (points_.size() < 2)
        return; // a single point draws nothing
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(s.colour);
    pen.setCosmetic(true);
    pen.setWidthF(1.0);
    p.setPen(pen);
    p.drawPolyline(points_.data(), static_cast<int>(points_.size()));
}

void PlotSurface::RenderTo(QPainter& p, const QRectF& area) const
{
    p.save();
    p.translate(area.topLeft());
    p.setClipRect(QRectF(QPointF(0, 0), area.size()));
    const int w = qRound(area.width());
    const int h = qRound(area.height());
    DrawGrid(p, w, h);
    p.setRenderHint(QPainter::Antialiasing, true);
    std::vector<QPointF> points;
    for (const Stroke& s : strokes_) {
        PlotModel::MapTrace(s.values, s.count, s.first, s.last, scale_, w, h, points);
        if (points.size() < 2)
            continue;
        QPen pen(s.colour);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
    p.restore();
}

void PlotSurface::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (image_.isNull())
        p.fillRect(rect(), QColor::fromRgb(kBackground));
    else
        p.drawImage(0, 0, image_);
    if (drag_ == Drag::Band) {
        const QRectF band(QPointF(std::min(pressX_, bandX_), 0), QPointF(std::max(pressX_, bandX_), height()));
        p.fillRect(band, QColor(80, 120, 220, 50));
    }
    // The border belongs to the widget, not to the drawing.
    p.setPen(QColor(150, 150, 150));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

double PlotSurface::UserX(double px) const { return PlotModel::PixelToUser(scale_, px, 0, width(), height()).x(); }

void PlotSurface::mousePressEvent(QMouseEvent* e)
{
    pressX_ = bandX_ = e->position().x();
    const bool band = e->button() == Qt::RightButton ||
                      (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier));
    if (band) {
        drag_ = Drag::Band;
    } else if (e->button() == Qt::LeftButton) {
        drag_ = Drag::Pan;
        setCursor(Qt::ClosedHandCursor);
        if (onPanStart)
            onPanStart();
    }
}

void PlotSurface::mouseReleaseEvent(QMouseEvent* e)
{
    const Drag was = drag_;
    drag_ = Drag::None;
    unsetCursor();
    // A click without a real drag is no zoom.
    if (was == Drag::Band && std::abs(e->position().x() - pressX_) >= 4 && onBand)
        onBand(UserX(pressX_), UserX(e->position().x()));
    update();
}

void PlotSurface::wheelEvent(QWheelEvent* e)
{
    const double steps = e->angleDelta().y() / 120.0;
    if (steps != 0 && onWheel)
        onWheel(UserX(e->position().x()), steps);
    e->accept();
}

void PlotSurface::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Home && onFit) {
        onFit();
        return;
    }
    QWidget::keyPressEvent(e);
}

void PlotSurface::resizeEvent(QResizeEvent*) { ResizeImage(size()); }

void PlotSurface::mouseMoveEvent(QMouseEvent* e)
{
    if (drag_ == Drag::Pan && onPan) {
        onPan(UserX(pressX_) - UserX(e->position().x()));
    } else if (drag_ == Drag::Band) {
        bandX_ = e->position().x();
        update();
    }
    if (!onMouseMove)
        return;
    const QPointF u = PlotModel::PixelToUser(scale_, e->position().x(), e->position().y(), width(), height());
    onMouseMove(u.x(), u.y());
}

// ---------------------------------------------------------------------------------------------
// DataPlotWidget

const std::array<QColor, 3> DataPlotWidget::kNormalColours = {QColor(50, 50, 205), QColor(50, 175, 50),
                                                              QColor(255, 50, 50)};
const std::array<QColor, 3> DataPlotWidget::kExtendedColours = {QColor(0, 0, 120), QColor(0, 120, 0),
                                                                QColor(120, 0, 0)};

namespace {
// An axis beside the plot: the label widgets placed by onResize, and painted tick marks with
// their texts at fractions 0..1 along it (top to bottom when vertical).
class AxisStrip : public QWidget {
public:
    AxisStrip(Qt::Orientation o, QWidget* parent) : QWidget(parent), orientation(o) {}
    std::function<void()> onResize;
    struct Mark {
        double at;
        QString text; // empty: tick only
    };
    std::vector<Mark> marks;
    Qt::Orientation orientation;

protected:
    void resizeEvent(QResizeEvent*) override
    {
        if (onResize)
            onResize();
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(palette().color(QPalette::WindowText));
        const QFontMetrics fm(font());
        for (const Mark& m : marks) {
            if (orientation == Qt::Horizontal) {
                const int x = qRound(m.at * (width() - 1));
                p.drawLine(x, 0, x, 4);
                const int tw = fm.horizontalAdvance(m.text);
                p.drawText(std::clamp(x - tw / 2, 0, std::max(0, width() - tw)), 7 + fm.ascent(), m.text);
            } else {
                const int y = qRound(m.at * (height() - 1));
                p.drawLine(width() - 5, y, width() - 1, y);
                const int tw = fm.horizontalAdvance(m.text);
                p.drawText(width() - 8 - tw, y + fm.ascent() / 2 - 1, m.text);
            }
        }
    }
};

QFrame* LegendLine(const QColor& c, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setFixedSize(24, 3);
    f->setAutoFillBackground(true);
    QPalette pal = f->palette();
    pal.setColor(QPalette::Window, c);
    f->setPalette(pal);
    return f;
}

QFrame* Tick(QWidget* parent, Qt::Orientation o)
{
    auto* f = new QFrame(parent);
    f->setFrameShape(o == Qt::Vertical ? QFrame::VLine : QFrame::HLine);
    f->setFrameShadow(QFrame::Plain);
    if (o == Qt::Vertical)
        f->setFixedSize(1, 6);
    else
        f->setFixedSize(6, 1);
    return f;
}
} // namespace

DataPlotWidget::DataPlotWidget(QWidget* parent) : QGroupBox(QStringLiteral("Data Plot"), parent)
{
    BuildControls();
}

void DataPlotWidget::BuildControls()
{
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);

    // Vertical axis labels.
    auto* yAxis = new AxisStrip(Qt::Vertical, this);
    yAxis_ = yAxis;
    auto* yl = new QVBoxLayout(yAxis);
    yl->setContentsMargins(0, 0, 0, 0);
    lblpFS2 = new QLabel(yAxis);
    LbLYmid = new QLabel(QStringLiteral("Ymid"), yAxis);
    lblnFS2 = new QLabel(yAxis);
    LineYmid = Tick(yAxis, Qt::Horizontal);
    auto* mid = new QHBoxLayout;
    mid->addStretch(1);
    mid->addWidget(LbLYmid);
    mid->addWidget(LineYmid);
    for (QLabel* l : {lblpFS2, lblnFS2})
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    yl->addWidget(lblpFS2);
    yl->addStretch(1);
    yl->addLayout(mid);
    yl->addStretch(1);
    yl->addWidget(lblnFS2);

    picture1 = new PlotSurface(this);
    picture1->onMouseMove = [this](double x, double y) { picture1_MouseMove(x, y); };
    picture1->onWheel = [this](double x, double steps) { ZoomAt(x, std::pow(0.8, steps)); };
    picture1->onPanStart = [this] { panStart_ = Plot.PlotStart; };
    picture1->onPan = [this](double dx) {
        const int16_t before = Plot.PlotStart;
        Plot.PlotStart = static_cast<int16_t>(panStart_);
        PlotModel::PanBy(Plot, dx);
        if (Plot.PlotStart != before) {
            RefreshEdgeLabels();
            PlotCaptureData();
        }
    };
    picture1->onBand = [this](double a, double b) { ShowRange(a, b); };
    picture1->onFit = [this] { FitToRecord(); };

    // Horizontal axis labels.
    auto* strip = new AxisStrip(Qt::Horizontal, this);
    xStrip_ = strip;
    strip->setFixedHeight(26);
    for (int i : {0, 3, 4}) {
        LineX[i] = Tick(strip, Qt::Vertical);
        lblPlotX[i] = new QLabel(strip);
    }
    lblPlotX[0]->setText(QStringLiteral("0"));
    lblPlotX[3]->setText(QStringLiteral("1023"));
    lblPlotX[4]->setText(QStringLiteral("350"));
    strip->onResize = [this, strip] {
        const int w = strip->width();
        auto place = [&](int i, int x) {
            LineX[i]->move(x, 0);
            lblPlotX[i]->adjustSize();
            const int lw = lblPlotX[i]->width();
            lblPlotX[i]->move(std::clamp(x - lw / 2, 0, std::max(0, w - lw)), 7);
        };
        place(0, 0);
        const double span = std::max(1, Plot.PlotSpan);
        const double k = MsPerSample();
        const double mid = LeadingNumber(lblPlotX[4]->text()) / (k > 0 ? k : 1.0);
        place(4, qRound((w - 1) * std::clamp((mid - Plot.PlotStart) / span, 0.0, 1.0)));
        place(3, w - 1);
    };

    LbLReadingBuffer = new QLabel(QStringLiteral("Reading Capture Buffer"), this);
    QFont bold = LbLReadingBuffer->font();
    bold.setBold(true);
    LbLReadingBuffer->setFont(bold);
    LbLReadingBuffer->hide();

    // Control column.
    auto* side = new QWidget(this);
    auto* sl = new QVBoxLayout(side);
    sl->setContentsMargins(0, 0, 0, 0);

    auto* scaleRow = new QHBoxLayout;
    Label3 = new QLabel(QStringLiteral("Scale(g)"), side);
    cmdPlotScale = new QPushButton(side);
    cmdPlotScale->setMinimumWidth(48);
    scaleRow->addWidget(Label3);
    scaleRow->addWidget(cmdPlotScale);
    scaleRow->addStretch(1);
    sl->addLayout(scaleRow);

    auto* traces = new QGridLayout;
    ckXacc = new QCheckBox(QStringLiteral("X acc"), side);
    ckADC0 = new QCheckBox(QStringLiteral("Y acc"), side);
    ckADC1 = new QCheckBox(QStringLiteral("Z acc"), side);
    LineXcolor = LegendLine(QColor(0, 0, 192), side);
    LineYcolor = LegendLine(QColor(0, 192, 0), side);
    LineZcolor = LegendLine(QColor(192, 0, 0), side);
    const std::array<QCheckBox*, 3> boxes{ckXacc, ckADC0, ckADC1};
    const std::array<QFrame*, 3> legends{LineXcolor, LineYcolor, LineZcolor};
    for (int i = 0; i < 3; ++i) {
        traces->addWidget(legends[i], i, 0);
        traces->addWidget(boxes[i], i, 1);
    }
    sl->addLayout(traces);

    auto* offsets = new QGridLayout;
    auto* osTitle = new QLabel(QStringLiteral("Offset (g)"), side);
    offsets->addWidget(osTitle, 0, 0, 1, 3, Qt::AlignHCenter);
    std::array<QScrollBar*, 3> bars{};
    std::array<QLabel*, 3> barLabels{};
    for (int i = 0; i < 3; ++i) {
        bars[i] = new QScrollBar(Qt::Vertical, side);
        bars[i]->setRange(-50, 50);
        bars[i]->setValue(0);
        bars[i]->setInvertedAppearance(true); // up raises the trace
        bars[i]->setMinimumHeight(70);
        barLabels[i] = new QLabel(side);
        barLabels[i]->setAlignment(Qt::AlignCenter);
        barLabels[i]->setMinimumWidth(28);
        offsets->addWidget(bars[i], 1, i, Qt::AlignHCenter);
        offsets->addWidget(barLabels[i], 2, i);
        connect(bars[i], &QScrollBar::valueChanged, this, [this, i] { VSos_Change(i); });
    }
    VSosX = bars[0];
    VSosY = bars[1];
    VSosZ = bars[2];
    LblosX = barLabels[0];
    LblosY = barLabels[1];
    LblosZ = barLabels[2];
    sl->addLayout(offsets);

    auto* horz = new QGridLayout;
    Label16 = new QLabel(QStringLiteral("Horz. Scale"), side);
    cmdHscaleNeg = new QPushButton(QStringLiteral("-"), side);
    cmdHscalePos = new QPushButton(QStringLiteral("+"), side);
    Label15 = new QLabel(QStringLiteral("Horz. Offset"), side);
    cmdHoffsetNeg = new QPushButton(QStringLiteral("-"), side);
    cmdHoffsetPos = new QPushButton(QStringLiteral("+"), side);
    for (QPushButton* b : {cmdHscaleNeg, cmdHscalePos, cmdHoffsetNeg, cmdHoffsetPos})
        b->setFixedWidth(28);
    horz->addWidget(Label16, 0, 0);
    horz->addWidget(cmdHscaleNeg, 0, 1);
    horz->addWidget(cmdHscalePos, 0, 2);
    horz->addWidget(Label15, 1, 0);
    horz->addWidget(cmdHoffsetNeg, 1, 1);
    horz->addWidget(cmdHoffsetPos, 1, 2);
    auto* pcTitle = new QLabel(QStringLiteral("Points"), side);
    LbLPointCount = new QLabel(QStringLiteral("PointCount"), side);
    horz->addWidget(pcTitle, 2, 0);
    horz->addWidget(LbLPointCount, 2, 1, 1, 2);
    cmdFit = new QPushButton(QStringLiteral("Fit"), side);
    cmdFit->setToolTip(QStringLiteral("Show the whole capture (Home)"));
    horz->addWidget(cmdFit, 3, 0);
    ckTimeAxis = new QCheckBox(QStringLiteral("ms"), side);
    ckTimeAxis->setToolTip(QStringLiteral("Time axis in milliseconds"));
    horz->addWidget(ckTimeAxis, 3, 1, 1, 2);
    sl->addLayout(horz);

    auto* cursor = new QGridLayout;
    Label4 = new QLabel(QStringLiteral("Cursor"), side);
    Label5 = new QLabel(QStringLiteral("sample"), side);
    Label1 = new QLabel(QStringLiteral("value"), side);
    lblCursorX = new QLabel(side);
    lblCursorY = new QLabel(side);
    cursor->addWidget(Label4, 0, 0, 1, 2);
    cursor->addWidget(Label5, 1, 0);
    cursor->addWidget(lblCursorX, 1, 1);
    cursor->addWidget(Label1, 2, 0);
    cursor->addWidget(lblCursorY, 2, 1);
    sl->addLayout(cursor);
    sl->addStretch(1);

    grid->addWidget(yAxis, 0, 0);
    grid->addWidget(picture1, 0, 1);
    grid->addWidget(strip, 1, 1);
    grid->addWidget(LbLReadingBuffer, 2, 1, Qt::AlignLeft);
    grid->addWidget(side, 0, 2, 3, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);

    connect(cmdPlotScale, &QPushButton::clicked, this, &DataPlotWidget::cmdPlotScale_Click);
    connect(cmdFit, &QPushButton::clicked, this, &DataPlotWidget::FitToRecord);
    connect(cmdHoffsetPos, &QPushButton::pressed, this, [this] { cmdHoffset_MouseDown(1); });
    connect(cmdHoffsetNeg, &QPushButton::pressed, this, [this] { cmdHoffset_MouseDown(-1); });
    connect(cmdHoffsetPos, &QPushButton::released, this, &DataPlotWidget::cmdHoffset_MouseUp);
    connect(cmdHoffsetNeg, &QPushButton::released, this, &DataPlotWidget::cmdHoffset_MouseUp);
    connect(cmdHscalePos, &QPushButton::pressed, this, [this] { cmdHscale_MouseDown(1); });
    connect(cmdHscaleNeg, &QPushButton::pressed, this, [this] { cmdHscale_MouseDown(-1); });
    connect(cmdHscalePos, &QPushButton::released, this, &DataPlotWidget::cmdHscale_MouseUp);
    connect(cmdHscaleNeg, &QPushButton::released, this, &DataPlotWidget::cmdHscale_MouseUp);
    for (QCheckBox* b : boxes)
        connect(b, &QCheckBox::clicked, this, &DataPlotWidget::PlotCaptureData);
    connect(ckTimeAxis, &QCheckBox::toggled, this, [this] {
        RefreshEdgeLabels();
        UpdateTicks();
    });
}

double DataPlotWidget::MsPerSample() const
{
    const double rate = CaptureRecord::Last.sampleRate;
    return ckTimeAxis->isChecked() && rate > 0 ? 1000.0 / rate : 0.0;
}

void DataPlotWidget::SetStartValues()
{
    cmdPlotScale->setText(QStringLiteral("7"));
    lblpFS2->setText(cmdPlotScale->text());
    lblnFS2->setText(PlotModel::NegatedCaption(cmdPlotScale->text()));
    LbLYmid->setText(QStringLiteral("0"));
    picture1->SetScale(1, 7, 1024, -7);
    ckXacc->setChecked(true);
    LblosX->setText(QString::number(VSosX->value()));
    LblosY->setText(QString::number(VSosY->value()));
    LblosZ->setText(QString::number(VSosZ->value()));
    Plot = PlotModel::PlotWindow{};
    RefreshEdgeLabels();
}

void DataPlotWidget::ClearPlot() { picture1->Cls(); }

void DataPlotWidget::RefreshEdgeLabels()
{
    const PlotModel::EdgeTexts t = PlotModel::EdgeLabels(Plot);
    if (const double k = MsPerSample(); k > 0) {
        const double step = PlotModel::NiceTicks(0, Plot.PlotSpan * k, 10).step / 10;
        lblPlotX[0]->setText(PlotModel::TickText(Plot.PlotStart * k, step));
        lblPlotX[3]->setText(PlotModel::TickText((Plot.PlotStart + Plot.PlotSpan) * k, step));
    } else {
        lblPlotX[0]->setText(t.left);
        lblPlotX[3]->setText(t.right);
    }
    LbLPointCount->setText(t.pointCount);
    for (int i : {0, 3}) {
        lblPlotX[i]->adjustSize();
        if (auto* strip = static_cast<AxisStrip*>(lblPlotX[i]->parentWidget()); strip && strip->onResize)
            strip->onResize();
    }
}

void DataPlotWidget::SetSurfaceScale()
{
    picture1->SetScale(Plot.PlotStart, LeadingNumber(lblpFS2->text(), QLocale::c()),
                       Plot.PlotStart + Plot.PlotSpan, LeadingNumber(lblnFS2->text(), QLocale::c()));
    UpdateTicks();
}

void DataPlotWidget::UpdateTicks()
{
    const PlotModel::UserScale& sc = picture1->Scale();
    auto* strip = static_cast<AxisStrip*>(xStrip_);
    auto* yAxis = static_cast<AxisStrip*>(yAxis_);
    const QFontMetrics fm(font());

    // Horizontal: the tick nearest the middle goes to lblPlotX(4); the others are painted where
    // they keep clear of the three labels.
    const int stripWidth = std::max(2, strip->width());
    const int maxX = std::max(2, stripWidth / (fm.horizontalAdvance(QStringLiteral("00000")) * 2));
    // Ticks in the axis' unit (samples or ms); `perUnit` samples to one unit.
    const double k = MsPerSample();
    if (k > 0)
        RefreshEdgeLabels(); // a new capture may come at another rate
    const double perUnit = k > 0 ? 1.0 / k : 1.0;
    const double lo = sc.left / perUnit, hi = sc.right / perUnit;
    const PlotModel::Ticks xt = PlotModel::NiceTicks(lo, hi, maxX);
    const double span = hi - lo;
    double middle = (lo + hi) / 2;
    if (!xt.values.empty())
        middle = *std::min_element(xt.values.begin(), xt.values.end(), [&](double a, double b) {
            return std::abs(a - (lo + hi) / 2) < std::abs(b - (lo + hi) / 2);
        });
    lblPlotX[4]->setText(PlotModel::TickText(middle, xt.step));
    strip->marks.clear();
    const double clear = (fm.horizontalAdvance(QStringLiteral("00000")) + 4.0) / stripWidth;
    const double midAt = span > 0 ? (middle - lo) / span : 0.5;
    std::vector<double> gridX;
    for (double v : xt.values) {
        const double at = span > 0 ? (v - lo) / span : 0.0;
        const bool free = at > clear && at < 1 - clear && std::abs(at - midAt) > clear;
        if (v != middle)
            strip->marks.push_back({at, free ? PlotModel::TickText(v, xt.step) : QString()});
        gridX.push_back(v * perUnit);
    }
    if (strip->onResize)
        strip->onResize();
    strip->update();

    // Vertical: the full-scale and middle labels stay; the ticks between are painted.
    const PlotModel::Ticks yt = PlotModel::NiceTicks(sc.bottom, sc.top, 8);
    yAxis->marks.clear();
    const double height = sc.top - sc.bottom;
    const double yClear = (fm.height() + 2.0) / std::max(2, yAxis->height());
    for (double v : yt.values) {
        const double at = height != 0 ? (sc.top - v) / height : 0.5;
        const bool free = at > yClear && at < 1 - yClear && std::abs(at - 0.5) > yClear;
        if (v != 0)
            yAxis->marks.push_back({at, free ? PlotModel::TickText(v, yt.step) : QString()});
    }
    yAxis->update();
    picture1->SetGrid(gridX, yt.values);
}

void DataPlotWidget::Render(QPainter& p, const QSize& size) const
{
    const QFontMetrics fm(p.font());
    const double left = fm.horizontalAdvance(QStringLiteral("-000.0")) + 10;
    const double bottom = fm.height() * 2 + 8;
    const QRectF area(left, 8, std::max(1.0, size.width() - left - 12), std::max(1.0, size.height() - bottom - 8));
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    picture1->RenderTo(p, area);

    const PlotModel::UserScale& sc = picture1->Scale();
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(area);
    const double k = MsPerSample();
    const double perUnit = k > 0 ? 1.0 / k : 1.0;
    const PlotModel::Ticks xt =
        PlotModel::NiceTicks(sc.left / perUnit, sc.right / perUnit, std::max(2, int(area.width() / 90)));
    for (double v : xt.values) {
        const double x = area.left() + (v * perUnit - sc.left) / (sc.right - sc.left) * area.width();
        p.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 4));
        p.drawText(QRectF(x - 40, area.bottom() + 5, 80, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   PlotModel::TickText(v, xt.step));
    }
    const PlotModel::Ticks yt = PlotModel::NiceTicks(sc.bottom, sc.top, std::max(2, int(area.height() / 50)));
    for (double v : yt.values) {
        const double y = area.top() + (sc.top - v) / (sc.top - sc.bottom) * area.height();
        p.drawLine(QPointF(area.left() - 4, y), QPointF(area.left(), y));
        p.drawText(QRectF(0, y - fm.height() / 2.0, left - 6, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   PlotModel::TickText(v, yt.step));
    }
    p.drawText(QRectF(area.left(), area.bottom() + 5 + fm.height(), area.width(), fm.height()), Qt::AlignHCenter,
               k > 0 ? QStringLiteral("Time (ms)") : QStringLiteral("Sample"));

    // Legend of the traces drawn, top right inside the plot.
    const bool extended = Plot.PlotMaxIndex == PlotModel::kExtendedMaxIndex;
    const std::array<QCheckBox*, 3> boxes{ckXacc, ckADC0, ckADC1};
    double y = area.top() + 6;
    for (int t = 0; t < 3; ++t) {
        if (!boxes[static_cast<size_t>(t)]->isChecked() || !CaptureRecord::Last.Holds())
            continue;
        const QString name = TraceName(t);
        const double x = area.right() - fm.horizontalAdvance(name) - 34;
        p.setPen(QPen(extended ? kExtendedColours[static_cast<size_t>(t)] : kNormalColours[static_cast<size_t>(t)], 2));
        p.drawLine(QPointF(x, y + fm.height() / 2.0), QPointF(x + 20, y + fm.height() / 2.0));
        p.setPen(Qt::black);
        p.drawText(QPointF(x + 26, y + fm.ascent()), name);
        y += fm.height() + 2;
    }
}

QImage DataPlotWidget::RenderImage(const QSize& size) const
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    Render(p, size);
    return img;
}

void DataPlotWidget::ZoomAt(double x, double factor)
{
    PlotModel::ZoomAbout(Plot, x, factor);
    RefreshEdgeLabels();
    PlotCaptureData();
}

void DataPlotWidget::ShowRange(double a, double b)
{
    PlotModel::ShowRange(Plot, a, b);
    RefreshEdgeLabels();
    PlotCaptureData();
}

void DataPlotWidget::FitToRecord()
{
    PlotModel::Fit(Plot);
    RefreshEdgeLabels();
    PlotCaptureData();
}

double DataPlotWidget::TraceValue(int trace, int index) const
{
    const auto& v = CaptureRecord::Last.value;
    if (Plot.PlotMaxIndex == PlotModel::kExtendedMaxIndex)
        return v[static_cast<size_t>(index / 1024)][static_cast<size_t>(index % 1024)];
    return v[static_cast<size_t>(trace)][static_cast<size_t>(std::clamp(index, 0, 1023))];
}

void DataPlotWidget::SetTraceControls(int trace, bool on)
{
    const std::array<QFrame*, 3> legends{LineXcolor, LineYcolor, LineZcolor};
    const std::array<QCheckBox*, 3> boxes{ckXacc, ckADC0, ckADC1};
    const std::array<QLabel*, 3> labels{LblosX, LblosY, LblosZ};
    const std::array<QScrollBar*, 3> bars{VSosX, VSosY, VSosZ};
    legends[trace]->setVisible(on);
    boxes[trace]->setEnabled(on);
    labels[trace]->setEnabled(on);
    bars[trace]->setEnabled(on);
}

void DataPlotWidget::PlotCaptureData()
{
    // The mode the shown capture was taken in, as read with it: the sensor may be set otherwise now.
    if (CaptureSettings::DecodeCaptCtrl(CaptureRecord::Last.captCtrl).mode == 3) {
        PlotCaptureDataExtendedMode();
        return;
    }
    if (PlotModel::EnterNormalLayout(Plot))
        RefreshEdgeLabels();
    for (int i = 0; i < 3; ++i)
        SetTraceControls(i, true);
    PlotModel::BuildNormalTraces(Traces, VSosX->value(), VSosY->value(), VSosZ->value());
    ui::PumpEvents();

    SetSurfaceScale();
    LbLYmid->setText(QStringLiteral("0"));
    picture1->Cls();
    if (!ShowsCapture())
        return;
    const int first = Plot.PlotStart;
    const int last = Plot.PlotStart + Plot.PlotSpan;
    const std::array<const double*, 3> arrays{Traces.PlotX.data(), Traces.PlotY.data(), Traces.PlotZ.data()};
    const std::array<QCheckBox*, 3> boxes{ckXacc, ckADC0, ckADC1};
    for (int t = 0; t < 3; ++t) {
        if (boxes[t]->isChecked())
            picture1->DrawTrace(arrays[t], 1024, first, last, kNormalColours[t]);
    }
}

QString DataPlotWidget::TraceName(int trace) const
{
    // Named as the shown capture's product names its buffers, whatever the window is set to.
    const CaptureRecord::Record& r = CaptureRecord::Last;
    if (r.Holds() && CaptureSettings::DecodeCaptCtrl(r.captCtrl).mode != 3)
        return analysis::BufferName(r.product, trace);
    const std::array<const QCheckBox*, 3> boxes{ckXacc, ckADC0, ckADC1};
    return boxes[static_cast<size_t>(std::clamp(trace, 0, 2))]->text();
}

bool DataPlotWidget::ShowsCapture()
{
    // Nothing read yet (or only lost captures): an empty plot, not three made-up flat traces.
    if (CaptureRecord::Last.Holds())
        return true;
    lblCursorX->clear();
    lblCursorY->clear();
    return false;
}

void DataPlotWidget::PlotCaptureDataExtendedMode()
{
    if (PlotModel::EnterExtendedLayout(Plot))
        RefreshEdgeLabels();
    for (int i = 0; i < 3; ++i)
        SetTraceControls(i, false);
    for (QCheckBox* b : {ckXacc, ckADC0, ckADC1})
        b->setChecked(false);

    const int axis = CaptureSettings::DecodeCaptCtrl(CaptureRecord::Last.captCtrl).axis;
    QColor colour(0, 0, 0);
    double offset = 0;
    if (axis <= 2) {
        const std::array<QCheckBox*, 3> boxes{ckXacc, ckADC0, ckADC1};
        const std::array<QScrollBar*, 3> bars{VSosX, VSosY, VSosZ};
        SetTraceControls(axis, true);
        boxes[axis]->setChecked(true);
        colour = kExtendedColours[axis];
        offset = bars[axis]->value();
    } else {
        ui::MessageBox(QStringLiteral("unknown capt_ctrl axis sub PlotCaptureDataExtendedMode"));
    }
    PlotModel::BuildExtendedTrace(Traces, offset);

    SetSurfaceScale();
    LbLYmid->setText(QStringLiteral("0"));
    picture1->Cls();
    if (!ShowsCapture())
        return;
    picture1->DrawTrace(Traces.PlotExt.data(), 3072, Plot.PlotStart, Plot.PlotStart + Plot.PlotSpan, colour);
}

void DataPlotWidget::cmdPlotScale_Click()
{
    cmdPlotScale->setText(PlotModel::NextScaleCaption(cmdPlotScale->text()));
    lblpFS2->setText(cmdPlotScale->text());
    lblnFS2->setText(PlotModel::NegatedCaption(cmdPlotScale->text()));
    LbLYmid->setText(QStringLiteral("0"));
    PlotCaptureData();
}

void DataPlotWidget::SetScaleCaption(const QString& caption)
{
    if (PlotModel::NextScaleCaption(caption) == caption)
        return;
    cmdPlotScale->setText(caption);
    lblpFS2->setText(caption);
    lblnFS2->setText(PlotModel::NegatedCaption(caption));
}

void DataPlotWidget::VSos_Change(int trace)
{
    const std::array<QLabel*, 3> labels{LblosX, LblosY, LblosZ};
    const std::array<QScrollBar*, 3> bars{VSosX, VSosY, VSosZ};
    labels[trace]->setText(QString::number(bars[trace]->value()));
    PlotCaptureData();
}

void DataPlotWidget::cmdHoffset_MouseDown(int16_t dir)
{
    Plot.HOffsetDir = dir;
    HOffsetLoop();
}

void DataPlotWidget::cmdHoffset_MouseUp() { Plot.HOffsetDir = 0; }

void DataPlotWidget::cmdHscale_MouseDown(int16_t dir)
{
    Plot.HScaleDir = dir;
    HScaleLoop();
}

void DataPlotWidget::cmdHscale_MouseUp() { Plot.HScaleDir = 0; }

// No timer: the step rate is the redraw rate; the button's release is seen while pumping.
void DataPlotWidget::HOffsetLoop()
{
    do {
        PlotModel::HOffsetStep(Plot);
        RefreshEdgeLabels();
        PlotCaptureData();
        ui::PumpEvents();
    } while (Plot.HOffsetDir != 0);
}

void DataPlotWidget::HScaleLoop()
{
    do {
        PlotModel::HScaleStep(Plot);
        RefreshEdgeLabels();
        PlotCaptureData();
        ui::PumpEvents();
    } while (Plot.HScaleDir != 0);
}

void DataPlotWidget::picture1_MouseMove(double x, double y)
{
    if (!CaptureRecord::Last.Holds())
        return;
    // The read-out is of the traces at the sample under the mouse, not of the mouse's height.
    const int index = PlotModel::SampleAt(x, Plot.PlotMaxIndex);
    const double k = MsPerSample();
    lblCursorX->setText(k > 0 ? QStringLiteral("%1\n%2 ms").arg(index).arg(QLocale().toString(index * k, 'f', 3))
                              : QString::number(index));
    const std::array<QCheckBox*, 3> boxes{ckXacc, ckADC0, ckADC1};
    QStringList lines;
    for (int t = 0; t < 3; ++t) {
        if (boxes[t]->isChecked())
            lines << QStringLiteral("%1: %2").arg(TraceName(t), PlotModel::CursorValueText(TraceValue(t, index)));
    }
    lblCursorY->setText(lines.isEmpty() ? PlotModel::CursorYText(y) : lines.join(QLatin1Char('\n')));
}
