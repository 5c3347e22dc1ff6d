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
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// PlotSurface

PlotSurface::PlotSurface(QWidget* parent) : ui::PlotView(parent)
{
    setToolTip(QStringLiteral("Wheel: zoom   Drag: pan   Shift+drag or right-drag: zoom to range   Home: fit\n"
                              "Click: marker A   Right click: marker B"));
    xAxis->setLabel(QStringLiteral("Sample"));
    yAxis->setLabel(QStringLiteral("Acceleration (g)"));
    legend->setVisible(true);
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    onHover = [this](double x, double y) {
        if (onMouseMove)
            onMouseMove(x, y);
    };
    for (int i = 0; i < 2; ++i) {
        const QPen pen(QColor(120, 0, 160), 1, i == 0 ? Qt::SolidLine : Qt::DashLine);
        markerLines_[i] = new QCPItemStraightLine(this);
        markerLines_[i]->setPen(pen);
        markerTexts_[i] = new QCPItemText(this);
        markerTexts_[i]->setText(i == 0 ? QStringLiteral("A") : QStringLiteral("B"));
        markerTexts_[i]->setColor(pen.color());
        markerTexts_[i]->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        markerTexts_[i]->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        markerLines_[i]->setVisible(false);
        markerTexts_[i]->setVisible(false);
    }
    SetScale(1, 7, 1024, -7);
}

void PlotSurface::SetScale(double left, double top, double right, double bottom)
{
    xAxis->setRange(left, right);
    yAxis->setRange(std::min(top, bottom), std::max(top, bottom));
}

PlotModel::UserScale PlotSurface::Scale() const
{
    return {xAxis->range().lower, yAxis->range().upper, xAxis->range().upper, yAxis->range().lower};
}

void PlotSurface::Cls()
{
    ++clears_;
    clearGraphs();
    ShowTracers({});
}

void PlotSurface::DrawTrace(const double* values, int count, int first, int last, const QColor& colour,
                            const QString& name)
{
    first = std::max(first, 0);
    last = std::min(last, count - 1);
    QVector<double> keys, data;
    for (int i = first; i <= last; ++i) {
        keys.append(i);
        data.append(values[i]);
    }
    QCPGraph* g = addGraph();
    g->setPen(QPen(colour, 1.0));
    g->setName(name);
    g->setData(keys, data, true);
    g->setAdaptiveSampling(true);
}

int PlotSurface::StrokeCount() const
{
    int n = 0;
    for (int i = 0; i < graphCount(); ++i)
        n += graph(i)->dataCount() >= 2;
    return n;
}

void PlotSurface::SetMarkers(const std::array<std::optional<double>, 2>& markers)
{
    for (size_t i = 0; i < 2; ++i) {
        const bool on = markers[i].has_value();
        markerLines_[i]->setVisible(on);
        markerTexts_[i]->setVisible(on);
        if (on) {
            markerLines_[i]->point1->setCoords(*markers[i], 0);
            markerLines_[i]->point2->setCoords(*markers[i], 1);
            markerTexts_[i]->position->setCoords(*markers[i], 0.02);
        }
    }
    replot();
}

void PlotSurface::ShowTracers(const std::vector<TracerPoint>& points)
{
    while (tracers_.size() < points.size()) {
        auto* t = new QCPItemTracer(this);
        t->setStyle(QCPItemTracer::tsCircle);
        t->setSize(7);
        tracers_.push_back(t);
    }
    for (size_t i = 0; i < tracers_.size(); ++i) {
        tracers_[i]->setVisible(i < points.size());
        if (i < points.size()) {
            tracers_[i]->position->setCoords(points[i].x, points[i].y);
            tracers_[i]->setPen(QPen(points[i].colour, 1.5));
        }
    }
    replot(QCustomPlot::rpQueuedReplot);
}

// ---------------------------------------------------------------------------------------------
// DataPlotWidget

const std::array<QColor, 3> DataPlotWidget::kNormalColours = {QColor(50, 50, 205), QColor(50, 175, 50),
                                                              QColor(255, 50, 50)};
const std::array<QColor, 3> DataPlotWidget::kExtendedColours = {QColor(0, 0, 120), QColor(0, 120, 0),
                                                                QColor(120, 0, 0)};

namespace {
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
} // namespace

DataPlotWidget::DataPlotWidget(QWidget* parent) : QGroupBox(QStringLiteral("Data Plot"), parent)
{
    BuildSurface();
    QWidget* side = BuildControlColumn();
    LbLReadingBuffer = new QLabel(QStringLiteral("Reading Capture Buffer"), this);
    QFont bold = LbLReadingBuffer->font();
    bold.setBold(true);
    LbLReadingBuffer->setFont(bold);
    LbLReadingBuffer->hide();

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    grid->addWidget(picture1, 0, 0);
    grid->addWidget(LbLReadingBuffer, 1, 0, Qt::AlignLeft);
    grid->addWidget(side, 0, 1, 2, 1);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(0, 1);
    ConnectControls();
}

void DataPlotWidget::BuildSurface()
{
    picture1 = new PlotSurface(this);
    picture1->onMouseMove = [this](double x, double y) { picture1_MouseMove(x, y); };
    picture1->onWheel = [this](double x, double steps) { ZoomAt(x, std::pow(0.8, steps)); };
    picture1->onPanStart = [this] { panStart_ = Plot.PlotStart; };
    picture1->onPan = [this](double dx) { PanTo(dx); };
    picture1->onBand = [this](double a, double b) { ShowRange(a, b); };
    picture1->onFit = [this] { FitToRecord(); };
}

QWidget* DataPlotWidget::BuildControlColumn()
{
    auto* side = new QWidget(this);
    auto* sl = new QVBoxLayout(side);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->addLayout(BuildScaleRow(side));
    sl->addLayout(BuildTraceBoxes(side));
    sl->addLayout(BuildOffsetBars(side));
    sl->addLayout(BuildHorizontalControls(side));
    sl->addLayout(BuildCursorReadout(side));
    sl->addStretch(1);
    return side;
}

QLayout* DataPlotWidget::BuildScaleRow(QWidget* side)
{
    auto* grid = new QGridLayout;
    Label3 = new QLabel(QStringLiteral("Scale(g)"), side);
    cmdPlotScale = new QPushButton(side);
    cmdPlotScale->setMinimumWidth(48);
    // Not shown: the y axis itself labels the range; they keep the full scale for the redraw.
    lblnFS2 = new QLabel(side);
    lblpFS2 = new QLabel(side);
    lblnFS2->hide();
    lblpFS2->hide();
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(cmdPlotScale, 0, 1);
    return grid;
}

QLayout* DataPlotWidget::BuildTraceBoxes(QWidget* side)
{
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
    return traces;
}

QLayout* DataPlotWidget::BuildOffsetBars(QWidget* side)
{
    auto* offsets = new QGridLayout;
    offsets->addWidget(new QLabel(QStringLiteral("Offset (g)"), side), 0, 0, 1, 3, Qt::AlignHCenter);
    std::array<QScrollBar*, 3> bars{};
    std::array<QLabel*, 3> barLabels{};
    for (int i = 0; i < 3; ++i) {
        bars[i] = new QScrollBar(Qt::Vertical, side);
        bars[i]->setRange(-50, 50);
        bars[i]->setValue(0);
        bars[i]->setInvertedAppearance(true); // up raises the trace
        bars[i]->setMinimumHeight(48);
        barLabels[i] = new QLabel(side);
        barLabels[i]->setAlignment(Qt::AlignCenter);
        barLabels[i]->setMinimumWidth(28);
        offsets->addWidget(bars[i], 1, i, Qt::AlignHCenter);
        offsets->addWidget(barLabels[i], 2, i);
    }
    VSosX = bars[0];
    VSosY = bars[1];
    VSosZ = bars[2];
    LblosX = barLabels[0];
    LblosY = barLabels[1];
    LblosZ = barLabels[2];
    return offsets;
}

QLayout* DataPlotWidget::BuildHorizontalControls(QWidget* side)
{
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
    LbLPointCount = new QLabel(QStringLiteral("PointCount"), side);
    horz->addWidget(new QLabel(QStringLiteral("Points"), side), 2, 0);
    horz->addWidget(LbLPointCount, 2, 1, 1, 2);
    lblPlotX[0] = new QLabel(side);
    lblPlotX[3] = new QLabel(side);
    auto* shown = new QHBoxLayout;
    shown->addWidget(lblPlotX[0]);
    shown->addWidget(new QLabel(QStringLiteral("to"), side));
    shown->addWidget(lblPlotX[3]);
    shown->addStretch(1);
    horz->addWidget(new QLabel(QStringLiteral("Shown"), side), 3, 0);
    horz->addLayout(shown, 3, 1, 1, 2);
    cmdFit = new QPushButton(QStringLiteral("Fit"), side);
    cmdFit->setToolTip(QStringLiteral("Show the whole capture (Home)"));
    horz->addWidget(cmdFit, 4, 0);
    ckTimeAxis = new QCheckBox(QStringLiteral("ms"), side);
    ckTimeAxis->setToolTip(QStringLiteral("Time axis in milliseconds"));
    horz->addWidget(ckTimeAxis, 4, 1, 1, 2);
    return horz;
}

QLayout* DataPlotWidget::BuildCursorReadout(QWidget* side)
{
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
    return cursor;
}

void DataPlotWidget::ConnectControls()
{
    const std::array<QScrollBar*, 3> bars{VSosX, VSosY, VSosZ};
    for (int i = 0; i < 3; ++i)
        connect(bars[i], &QScrollBar::valueChanged, this, [this, i] { VSos_Change(i); });
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
    for (QCheckBox* b : {ckXacc, ckADC0, ckADC1})
        connect(b, &QCheckBox::clicked, this, &DataPlotWidget::PlotCaptureData);
    connect(ckTimeAxis, &QCheckBox::toggled, this, [this] {
        RefreshEdgeLabels();
        PlotCaptureData();
    });
}

void DataPlotWidget::PanTo(double dx)
{
    const int16_t before = Plot.PlotStart;
    Plot.PlotStart = static_cast<int16_t>(panStart_);
    PlotModel::PanBy(Plot, dx);
    if (Plot.PlotStart != before) {
        RefreshEdgeLabels();
        PlotCaptureData();
    }
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
    picture1->SetScale(1, 7, 1024, -7);
    ckXacc->setChecked(true);
    LblosX->setText(QString::number(VSosX->value()));
    LblosY->setText(QString::number(VSosY->value()));
    LblosZ->setText(QString::number(VSosZ->value()));
    Plot = PlotModel::PlotWindow{};
    RefreshEdgeLabels();
}

void DataPlotWidget::ClearPlot()
{
    picture1->Cls();
    picture1->Redraw();
}

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
}

void DataPlotWidget::SetSurfaceScale()
{
    picture1->SetScale(Plot.PlotStart, LeadingNumber(lblpFS2->text(), QLocale::c()),
                       Plot.PlotStart + Plot.PlotSpan, LeadingNumber(lblnFS2->text(), QLocale::c()));
    // Samples on the axis, or milliseconds at the shown capture's rate (ticks at whole ms steps).
    const double k = MsPerSample();
    ui::PlotView::Ticker(picture1->xAxis)->perUnit = k > 0 ? 1.0 / k : 1.0;
    picture1->xAxis->setLabel(k > 0 ? QStringLiteral("Time (ms)") : QStringLiteral("Sample"));
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
    const std::array<QCheckBox*, 3> boxes{ckXacc, ckADC0, ckADC1};
    // Back from an extended plot: the traces ticked before it are ticked again.
    if (normalTicks_) {
        for (size_t i = 0; i < 3; ++i)
            boxes[i]->setChecked((*normalTicks_)[i]);
        normalTicks_.reset();
    }
    for (int i = 0; i < 3; ++i)
        SetTraceControls(i, true);
    PlotModel::BuildNormalTraces(Traces, CaptureRecord::Last, VSosX->value(), VSosY->value(), VSosZ->value());
    ui::PumpEvents();

    SetSurfaceScale();
    picture1->Cls();
    if (ShowsCapture()) {
        const int first = Plot.PlotStart;
        const int last = Plot.PlotStart + Plot.PlotSpan;
        const std::array<const double*, 3> arrays{Traces.PlotX.data(), Traces.PlotY.data(), Traces.PlotZ.data()};
        for (int t = 0; t < 3; ++t) {
            if (boxes[t]->isChecked())
                picture1->DrawTrace(arrays[t], 1024, first, last, kNormalColours[t], TraceName(t));
        }
        RefreshCursor();
    }
    picture1->Redraw();
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
    if (!normalTicks_)
        normalTicks_ = std::array<bool, 3>{ckXacc->isChecked(), ckADC0->isChecked(), ckADC1->isChecked()};
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
    PlotModel::BuildExtendedTrace(Traces, CaptureRecord::Last, offset);

    SetSurfaceScale();
    picture1->Cls();
    if (ShowsCapture()) {
        picture1->DrawTrace(Traces.PlotExt.data(), 3072, Plot.PlotStart, Plot.PlotStart + Plot.PlotSpan, colour,
                            TraceName(std::min(axis, 2)));
        RefreshCursor();
    }
    picture1->Redraw();
}

void DataPlotWidget::cmdPlotScale_Click()
{
    cmdPlotScale->setText(PlotModel::NextScaleCaption(cmdPlotScale->text()));
    lblpFS2->setText(cmdPlotScale->text());
    lblnFS2->setText(PlotModel::NegatedCaption(cmdPlotScale->text()));
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
    cursor_ = QPointF(x, y);
    if (!CaptureRecord::Last.Holds())
        return;
    // The read-out is of the traces at the sample under the mouse, not of the mouse's height.
    const int index = PlotModel::SampleAt(x, Plot.PlotMaxIndex);
    const double k = MsPerSample();
    lblCursorX->setText(k > 0 ? QStringLiteral("%1\n%2 ms").arg(index).arg(QLocale().toString(index * k, 'f', 3))
                              : QString::number(index));
    const bool extended = Plot.PlotMaxIndex == PlotModel::kExtendedMaxIndex;
    const std::array<QCheckBox*, 3> boxes{ckXacc, ckADC0, ckADC1};
    const std::array<QScrollBar*, 3> bars{VSosX, VSosY, VSosZ};
    QStringList lines;
    std::vector<PlotSurface::TracerPoint> dots;
    for (int t = 0; t < 3; ++t) {
        if (!boxes[t]->isChecked())
            continue;
        const double v = TraceValue(t, index);
        lines << QStringLiteral("%1: %2").arg(TraceName(t), PlotModel::CursorValueText(v));
        dots.push_back({double(index), v + bars[t]->value(), extended ? kExtendedColours[t] : kNormalColours[t]});
    }
    lblCursorY->setText(lines.isEmpty() ? PlotModel::CursorYText(y) : lines.join(QLatin1Char('\n')));
    picture1->ShowTracers(dots);
}

void DataPlotWidget::RefreshCursor()
{
    if (cursor_)
        picture1_MouseMove(cursor_->x(), cursor_->y());
}
