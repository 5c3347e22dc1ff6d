#include "analysis/ui/AmplitudeSpectrumWidget.h"
#include "analysis/SampleRate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QLocale>
#include <cmath>

using analysis::Spectrum;

namespace {

constexpr double kLogFloorDb = -100.0; // shown range below the top of the log scale

// Numbers on screen in the system's format, without grouping.
QString Loc(double v, char format, int precision)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(v, format, precision);
}

QString Num(double v, int digits = 4) { return Loc(v, 'g', digits); }

QString HzText(double hz) { return Loc(hz, 'f', hz < 100 ? 2 : 1) + QStringLiteral(" Hz"); }

double Db(double a)
{
    return 20.0 * std::log10(std::max(a, 1e-12));
}

// Tick step of about `target` divisions over `range` (1, 2, 5 times a power of ten).
double NiceStep(double range, int target)
{
    if (range <= 0)
        return 1;
    const double raw = range / target;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * p)
            return m * p;
    return 10 * p;
}

} // namespace

SpectrumCanvas::SpectrumCanvas(SpectrumWidget* owner) : QWidget(owner), owner_(owner)
{
    setMouseTracking(true);
    setMinimumSize(240, 140);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
    setToolTip(QStringLiteral("Wheel: zoom in frequency   Middle-drag: pan   Double-click or Home: fit\n"
                              "Left/right click: marker A/B at the nearest peak (Shift: exactly there)"));
}

double SpectrumCanvas::FrequencyAt(double px, int width) const
{
    const double w = std::max(1, width - kLeft - kRight);
    const double lo = owner_->ViewLow(), hi = owner_->ViewHigh();
    return lo + std::clamp((px - kLeft) / w, 0.0, 1.0) * (hi - lo);
}

double SpectrumCanvas::PixelOf(double hz, int width) const
{
    const double lo = owner_->ViewLow(), hi = owner_->ViewHigh();
    const double w = std::max(1, width - kLeft - kRight);
    return kLeft + (hi > lo ? (hz - lo) / (hi - lo) : 0.0) * w;
}

void SpectrumCanvas::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    Render(p, size());
}

void SpectrumCanvas::Render(QPainter& p, const QSize& size) const
{
    const QRectF area(kLeft, kTop, std::max(1, size.width() - kLeft - kRight),
                      std::max(1, size.height() - kTop - kBottom));
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const auto& shown = owner_->Spectra();
    const bool log = owner_->LogScale();
    const QString unit = analysis::UnitName(owner_->Record());

    // Vertical range: from zero (or the log floor) to just above the largest bin.
    double top = 0;
    for (const auto& s : shown)
        for (size_t k = 1; k < s.spectrum.amplitude.size(); ++k)
            top = std::max(top, s.spectrum.amplitude[k]);
    double yLo = 0, yHi = top > 0 ? top * 1.1 : 1.0;
    if (log) {
        yHi = std::ceil(Db(top > 0 ? top : 1.0) / 10.0) * 10.0 + 10.0;
        yLo = yHi + kLogFloorDb;
    }
    const auto yPix = [&](double a) {
        const double v = log ? Db(a) : a;
        return area.bottom() - (std::clamp(v, yLo, yHi) - yLo) / (yHi - yLo) * area.height();
    };
    const double nyquist = owner_->SampleRate() / 2.0;

    // Grid and axis labels.
    p.setRenderHint(QPainter::Antialiasing, false);
    QFont f = p.font();
    f.setPointSizeF(8);
    p.setFont(f);
    const QPen grid(QColor(225, 225, 225));
    const QPen text(Qt::black);
    const double lo = owner_->ViewLow(), hi = owner_->ViewHigh();
    if (nyquist > 0 && hi > lo) {
        const double step = NiceStep(hi - lo, 8);
        for (double hz = std::ceil(lo / step - 1e-9) * step; hz <= hi + step * 1e-9; hz += step) {
            const double x = PixelOf(hz, size.width());
            p.setPen(grid);
            p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            p.setPen(text);
            p.drawText(QRectF(x - 40, area.bottom() + 2, 80, 14), Qt::AlignHCenter | Qt::AlignTop, Num(hz, 6));
        }
    }
    const double ystep = NiceStep(yHi - yLo, 5);
    for (double v = std::ceil(yLo / ystep) * ystep; v <= yHi + 1e-12; v += ystep) {
        const double y = area.bottom() - (v - yLo) / (yHi - yLo) * area.height();
        p.setPen(grid);
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(text);
        p.drawText(QRectF(0, y - 7, kLeft - 4, 14), Qt::AlignRight | Qt::AlignVCenter, Num(v, 4));
    }
    p.setPen(text);
    p.drawRect(area);
    p.drawText(QRectF(area.left(), area.bottom() + 16, area.width(), 16), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("Frequency (Hz)"));
    p.save();
    p.translate(10, area.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-80, -8, 160, 16), Qt::AlignCenter,
               log ? QStringLiteral("dB re 1 %1").arg(unit) : QStringLiteral("Amplitude (%1)").arg(unit));
    p.restore();

    // Traces, then the peak markers on top.
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setClipRect(area.adjusted(-1, -1, 1, 1));
    for (const auto& s : shown) {
        const auto& a = s.spectrum.amplitude;
        if (a.empty())
            continue;
        QPainterPath path;
        for (size_t k = 0; k < a.size(); ++k) {
            const QPointF pt(PixelOf(s.spectrum.Frequency(static_cast<int>(k)), size.width()), yPix(a[k]));
            if (k == 0)
                path.moveTo(pt);
            else
                path.lineTo(pt);
        }
        p.setPen(QPen(s.colour, 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    // Peak labels move down until they clear the ones already placed.
    std::vector<QRectF> labels;
    const QFontMetricsF lfm(p.font());
    for (const auto& s : shown) {
        if (s.spectrum.peakBin < 0)
            continue;
        // On the drawn peak bin; the label carries the interpolated frequency.
        const int k = s.spectrum.peakBin;
        if (s.spectrum.Frequency(k) < lo || s.spectrum.Frequency(k) > hi)
            continue; // zoomed away
        const QPointF pk(PixelOf(s.spectrum.Frequency(k), size.width()), yPix(s.spectrum.amplitude[static_cast<size_t>(k)]));
        QPolygonF tri;
        tri << QPointF(pk.x(), pk.y() - 2) << QPointF(pk.x() - 5, pk.y() - 11) << QPointF(pk.x() + 5, pk.y() - 11);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(s.colour);
        p.drawPolygon(tri);
        p.setPen(text);
        const QString label = HzText(s.spectrum.PeakFrequency());
        const QRectF r = FreeLabelPlace(
            QRectF(pk.x() + 7, pk.y() - 4 - lfm.ascent(), lfm.horizontalAdvance(label), lfm.height()), labels);
        labels.push_back(r);
        p.drawText(QPointF(r.left(), r.top() + lfm.ascent()), label);
    }
    // User markers: A solid, B dashed.
    static const char* const kNames[2] = {"A", "B"};
    for (int i = 0; i < 2; ++i) {
        const auto m = owner_->Marker(i);
        if (!m)
            continue;
        const double x = PixelOf(*m, size.width());
        p.setPen(QPen(QColor(120, 0, 160), 1, i == 0 ? Qt::SolidLine : Qt::DashLine));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.drawText(QPointF(x + 3, area.top() + 12), QString::fromLatin1(kNames[i]));
    }
}

QRectF SpectrumCanvas::FreeLabelPlace(QRectF wanted, const std::vector<QRectF>& placed)
{
    // Every step clears at least one label, so as many steps as labels always suffice.
    for (size_t step = 0; step <= placed.size(); ++step) {
        const auto clash = std::find_if(placed.begin(), placed.end(), [&](const QRectF& o) { return o.intersects(wanted); });
        if (clash == placed.end())
            break;
        wanted.moveTop(clash->bottom());
    }
    return wanted;
}

void SpectrumCanvas::mouseMoveEvent(QMouseEvent* e)
{
    owner_->CursorAt(FrequencyAt(e->position().x(), width()));
}

void SpectrumCanvas::mousePressEvent(QMouseEvent* e)
{
    double hz = FrequencyAt(e->position().x(), width());
    if (e->button() == Qt::MiddleButton) {
        panFrom_ = hz;
        return;
    }
    // Markers go to the nearest peak within a few pixels; Shift places them freely.
    if (!(e->modifiers() & Qt::ShiftModifier))
        hz = owner_->NearestPeak(hz, std::abs(FrequencyAt(e->position().x() + 8, width()) - FrequencyAt(e->position().x(), width())) + 1e-9);
    if (e->button() == Qt::LeftButton)
        owner_->SetMarker(0, hz);
    else if (e->button() == Qt::RightButton)
        owner_->SetMarker(1, hz);
}

void SpectrumCanvas::mouseReleaseEvent(QMouseEvent* e)
{
    if (panFrom_ && e->button() == Qt::MiddleButton) {
        owner_->PanFrequency(*panFrom_ - FrequencyAt(e->position().x(), width()));
        panFrom_.reset();
    }
}

void SpectrumCanvas::mouseDoubleClickEvent(QMouseEvent*) { owner_->FitFrequency(); }

void SpectrumCanvas::wheelEvent(QWheelEvent* e)
{
    const double steps = e->angleDelta().y() / 120.0;
    if (steps != 0)
        owner_->ZoomFrequency(FrequencyAt(e->position().x(), width()), std::pow(0.8, steps));
    e->accept();
}

void SpectrumCanvas::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Home) {
        owner_->FitFrequency();
        return;
    }
    QWidget::keyPressEvent(e);
}

SpectrumWidget::SpectrumWidget(QWidget* parent) : QWidget(parent)
{
    auto* top = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        ckChannel[static_cast<size_t>(i)] = new QCheckBox(this);
        ckChannel[static_cast<size_t>(i)]->setChecked(true);
        top->addWidget(ckChannel[static_cast<size_t>(i)]);
        connect(ckChannel[static_cast<size_t>(i)], &QCheckBox::toggled, this, [this] { Recompute(); });
    }
    top->addStretch(1);
    // The options on a row of their own, so the view stays narrow beside the side panels.
    auto* options = new QHBoxLayout;
    options->addWidget(new QLabel(QStringLiteral("Window"), this));
    cboWindow = new QComboBox(this);
    for (auto w : {analysis::Window::Hann, analysis::Window::FlatTop, analysis::Window::Rectangular})
        cboWindow->addItem(analysis::WindowName(w));
    options->addWidget(cboWindow);
    options->addWidget(new QLabel(QStringLiteral("Magnitude"), this));
    cboScale = new QComboBox(this);
    cboScale->addItems({QStringLiteral("Linear"), QStringLiteral("Log (dB)")});
    options->addWidget(cboScale);
    options->addStretch(1);
    lblResolution = new QLabel(this);
    top->addWidget(lblResolution);
    connect(cboWindow, &QComboBox::currentIndexChanged, this, [this] { Recompute(); });
    connect(cboScale, &QComboBox::currentIndexChanged, this, [this] { canvas->update(); });

    canvas = new SpectrumCanvas(this);

    auto* bottom = new QHBoxLayout;
    lblCursor = new QLabel(QStringLiteral("Cursor: -"), this);
    lblPeak = new QLabel(this);
    lblMarkers = new QLabel(QStringLiteral("Markers: left click A, right click B"), this);
    cmdClearMarkers = new QPushButton(QStringLiteral("Clear markers"), this);
    connect(cmdClearMarkers, &QPushButton::clicked, this, &SpectrumWidget::ClearMarkers);
    // Long read-outs are cut off rather than widening the window.
    for (QLabel* l : {lblCursor, lblPeak, lblMarkers, lblResolution})
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bottom->addWidget(lblMarkers, 1);
    bottom->addWidget(cmdClearMarkers);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    v->addLayout(top);
    v->addLayout(options);
    v->addWidget(canvas, 1);
    v->addWidget(lblPeak);
    v->addWidget(lblCursor);
    v->addLayout(bottom);

    UpdateChannelBoxes();
    Recompute();
}

QColor SpectrumWidget::ChannelColour(int buffer)
{
    static const QColor kColours[3] = {QColor(50, 50, 205), QColor(50, 175, 50), QColor(255, 50, 50)};
    return kColours[std::clamp(buffer, 0, 2)];
}

analysis::Window SpectrumWidget::CurrentWindow() const
{
    return static_cast<analysis::Window>(std::max(0, cboWindow->currentIndex()));
}

bool SpectrumWidget::LogScale() const
{
    return cboScale->currentIndex() == 1;
}

void SpectrumWidget::SetRecord(const analysis::RecordView& view)
{
    view_ = view;
    UpdateChannelBoxes();
    Recompute();
}

void SpectrumWidget::UpdateChannelBoxes()
{
    channels_ = analysis::RecordChannels(view_, CaptureRecord::Last);
    const bool single = view_.product == 31470;
    static const char* const kTri[3] = {"X acc", "Y acc", "Z acc"};
    static const char* const kSingle[3] = {"X acc", "ADC 0", "ADC 1"};
    for (int i = 0; i < 3; ++i) {
        QCheckBox* b = ckChannel[static_cast<size_t>(i)];
        b->setText(QString::fromLatin1(single ? kSingle[i] : kTri[i]));
        // The extended record is one axis: only its box applies.
        b->setEnabled(!view_.extended || i == view_.extendedAxis);
    }
}

void SpectrumWidget::Recompute()
{
    const double rate = analysis::SampleRate(view_.product, view_.avgExponent);
    if (rate != sampleRate_)
        viewLo_ = viewHi_ = 0; // another frequency axis: show all of it
    sampleRate_ = rate;
    shown_.clear();
    for (const auto& c : channels_) {
        if (!view_.extended && !ckChannel[static_cast<size_t>(c.buffer)]->isChecked())
            continue;
        shown_.push_back({c, analysis::ComputeSpectrum(c.samples, sampleRate_, CurrentWindow()), ChannelColour(c.buffer)});
    }
    const int n = channels_.empty() ? 0 : static_cast<int>(channels_.front().samples.size());
    lblResolution->setText(QStringLiteral("fs %1 Hz, N %2, \u0394f %3 Hz")
                               .arg(Num(sampleRate_, 6))
                               .arg(n)
                               .arg(Num(n > 0 ? sampleRate_ / n : 0.0, 4)));
    UpdatePeakText();
    UpdateMarkerText();
    canvas->update();
}

void SpectrumWidget::UpdatePeakText()
{
    QStringList parts;
    const QString unit = analysis::UnitName(view_);
    for (const auto& s : shown_)
        parts << QStringLiteral("%1 %2, %3 %4")
                     .arg(s.channel.name, HzText(s.spectrum.PeakFrequency()), Num(s.spectrum.PeakAmplitude()), unit);
    lblPeak->setText(QStringLiteral("Peak: ") + (parts.isEmpty() ? QStringLiteral("-") : parts.join(QStringLiteral("; "))));
}

void SpectrumWidget::CursorAt(double hz)
{
    if (shown_.empty()) {
        lblCursor->setText(QStringLiteral("Cursor: -"));
        return;
    }
    const int bin = shown_.front().spectrum.BinAt(hz);
    QStringList parts;
    const bool log = LogScale();
    const QString unit = analysis::UnitName(view_);
    for (const auto& s : shown_) {
        const double a = s.spectrum.amplitude.empty() ? 0.0 : s.spectrum.amplitude[static_cast<size_t>(bin)];
        parts << (log ? QStringLiteral("%1 %2 dB").arg(s.channel.name, Loc(std::round(Db(a) * 10) / 10 + 0.0, 'f', 1))
                      : QStringLiteral("%1 %2 %3").arg(s.channel.name, Num(a), unit));
    }
    lblCursor->setText(QStringLiteral("Cursor: %1  %2").arg(HzText(shown_.front().spectrum.Frequency(bin)),
                                                          parts.join(QStringLiteral(", "))));
}

void SpectrumWidget::SetMarker(int i, double hz)
{
    if (i < 0 || i > 1)
        return;
    double snapped = hz;
    if (!shown_.empty() && shown_.front().spectrum.resolution > 0)
        snapped = shown_.front().spectrum.Frequency(shown_.front().spectrum.BinAt(hz));
    markers_[static_cast<size_t>(i)] = snapped;
    UpdateMarkerText();
    canvas->update();
}

double SpectrumWidget::NearestPeak(double hz, double toleranceHz) const
{
    double best = hz;
    double bestDistance = toleranceHz;
    for (const auto& s : shown_) {
        const auto& a = s.spectrum.amplitude;
        double top = 0;
        for (size_t k = 1; k < a.size(); ++k)
            top = std::max(top, a[k]);
        // A peak is a local maximum that stands out of the floor, not a ripple of leakage.
        for (size_t k = 1; k + 1 < a.size(); ++k) {
            if (a[k] < a[k - 1] || a[k] < a[k + 1] || a[k] < 0.05 * top)
                continue;
            const double f = s.spectrum.Frequency(static_cast<int>(k));
            if (std::abs(f - hz) <= bestDistance) {
                bestDistance = std::abs(f - hz);
                best = f;
            }
        }
    }
    return best;
}

double SpectrumWidget::ViewLow() const { return viewHi_ > 0 ? viewLo_ : 0.0; }
double SpectrumWidget::ViewHigh() const { return viewHi_ > 0 ? viewHi_ : sampleRate_ / 2.0; }

void SpectrumWidget::ZoomFrequency(double hz, double factor)
{
    const double nyquist = sampleRate_ / 2.0;
    if (nyquist <= 0)
        return;
    const double lo = ViewLow(), hi = ViewHigh();
    const double frac = hi > lo ? std::clamp((hz - lo) / (hi - lo), 0.0, 1.0) : 0.5;
    // Never narrower than four bins, never wider than the whole spectrum.
    const double minSpan = 4.0 * sampleRate_ / 1024.0;
    const double span = std::clamp((hi - lo) * factor, minSpan, nyquist);
    viewLo_ = std::clamp(hz - frac * span, 0.0, nyquist - span);
    viewHi_ = viewLo_ + span;
    if (span >= nyquist)
        viewHi_ = 0;
    canvas->update();
}

void SpectrumWidget::PanFrequency(double hz)
{
    if (viewHi_ <= 0)
        return;
    const double span = viewHi_ - viewLo_;
    viewLo_ = std::clamp(viewLo_ + hz, 0.0, sampleRate_ / 2.0 - span);
    viewHi_ = viewLo_ + span;
    canvas->update();
}

void SpectrumWidget::FitFrequency()
{
    viewLo_ = viewHi_ = 0;
    canvas->update();
}

void SpectrumWidget::ClearMarkers()
{
    markers_ = {};
    UpdateMarkerText();
    canvas->update();
}

void SpectrumWidget::UpdateMarkerText()
{
    const auto& a = markers_[0];
    const auto& b = markers_[1];
    if (!a && !b) {
        lblMarkers->setText(QStringLiteral("Markers: left click A, right click B"));
        return;
    }
    QString t = QStringLiteral("A %1  B %2").arg(a ? HzText(*a) : QStringLiteral("-"), b ? HzText(*b) : QStringLiteral("-"));
    if (a && b) {
        const double df = std::abs(*b - *a);
        const int n = channels_.empty() ? 0 : static_cast<int>(channels_.front().samples.size());
        const double bins = n > 0 && sampleRate_ > 0 ? df / (sampleRate_ / n) : 0.0;
        t += QStringLiteral("  \u0394 %1 (%2 bins, period %3 s)")
                 .arg(HzText(df), Num(bins, 5), df > 0 ? Num(1.0 / df, 4) : QStringLiteral("-"));
    }
    lblMarkers->setText(t);
}
