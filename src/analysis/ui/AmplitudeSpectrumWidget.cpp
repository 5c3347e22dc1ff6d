#include "analysis/ui/AmplitudeSpectrumWidget.h"
#include "analysis/SampleRate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
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

} // namespace

SpectrumCanvas::SpectrumCanvas(SpectrumWidget* owner) : ui::PlotView(owner), owner_(owner)
{
    setMinimumSize(240, 140);
    setToolTip(QStringLiteral("Wheel: zoom in frequency   Drag: pan   Right-drag: zoom to range   Double-click or Home: fit\n"
                              "Left/right click: marker A/B at the nearest peak (Shift: exactly there)"));
    xAxis->setLabel(QStringLiteral("Frequency (Hz)"));
    legend->setVisible(true);
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    for (int i = 0; i < 2; ++i) {
        const QPen pen(QColor(120, 0, 160), 1, i == 0 ? Qt::SolidLine : Qt::DashLine);
        markerLines_[i] = new QCPItemStraightLine(this);
        markerLines_[i]->setPen(pen);
        markerTexts_[i] = new QCPItemText(this);
        markerTexts_[i]->setColor(pen.color());
        markerTexts_[i]->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        markerTexts_[i]->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    }
    onHover = [this](double hz, double) { owner_->CursorAt(hz); };
    onClick = [this](double hz, Qt::MouseButton button, Qt::KeyboardModifiers mods, QPointF pixel) {
        // Markers go to the nearest peak within a few pixels; Shift places them freely.
        if (!(mods & Qt::ShiftModifier))
            hz = owner_->NearestPeak(hz, std::abs(CoordX(pixel.x() + 8) - CoordX(pixel.x())) + 1e-9);
        if (button == Qt::LeftButton)
            owner_->SetMarker(0, hz);
        else if (button == Qt::RightButton)
            owner_->SetMarker(1, hz);
    };
    onWheel = [this](double hz, double steps) { owner_->ZoomFrequency(hz, std::pow(0.8, steps)); };
    onPan = [this](double dHz) {
        owner_->PanFrequency(dHz - panned_);
        panned_ = dHz;
    };
    onPanStart = [this] { panned_ = 0; };
    onBand = [this](double a, double b) {
        const double lo = std::min(a, b), hi = std::max(a, b);
        owner_->ZoomFrequency((lo + hi) / 2, (hi - lo) / std::max(1e-9, owner_->ViewHigh() - owner_->ViewLow()));
    };
    onFit = [this] { owner_->FitFrequency(); };
}

void SpectrumCanvas::Update()
{
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
    yAxis->setRange(yLo, yHi);
    yAxis->setLabel(log ? QStringLiteral("dB re 1 %1").arg(unit) : QStringLiteral("Amplitude (%1)").arg(unit));
    const double lo = owner_->ViewLow(), hi = owner_->ViewHigh();
    xAxis->setRange(lo, hi > lo ? hi : lo + 1);

    clearGraphs();
    for (QCPItemText* t : peakLabels_)
        removeItem(t);
    peakLabels_.clear();
    for (const auto& s : shown) {
        QVector<double> keys, values;
        for (size_t k = 0; k < s.spectrum.amplitude.size(); ++k) {
            keys.append(s.spectrum.Frequency(static_cast<int>(k)));
            values.append(log ? std::max(Db(s.spectrum.amplitude[k]), yLo) : s.spectrum.amplitude[k]);
        }
        QCPGraph* g = addGraph();
        g->setName(s.channel.name);
        g->setPen(QPen(s.colour, 1.0));
        g->setData(keys, values, true);
        if (s.spectrum.peakBin < 0)
            continue;
        // On the drawn peak bin; the label carries the interpolated frequency.
        const int k = s.spectrum.peakBin;
        auto* label = new QCPItemText(this);
        label->setText(QStringLiteral("\u25BC ") + HzText(s.spectrum.PeakFrequency()));
        label->setColor(s.colour.darker(130));
        label->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
        label->position->setCoords(s.spectrum.Frequency(k), values[k]);
        label->setClipToAxisRect(true);
        peakLabels_.push_back(label);
    }
    static const char* const kNames[2] = {"A", "B"};
    for (int i = 0; i < 2; ++i) {
        const auto m = owner_->Marker(i);
        // A marker zoomed out of view keeps its read-out below the plot, not a stray label at the edge.
        const bool inView = m && *m >= lo && *m <= hi;
        markerLines_[i]->setVisible(inView);
        markerTexts_[i]->setVisible(inView);
        if (!inView)
            continue;
        markerLines_[i]->point1->setCoords(*m, 0);
        markerLines_[i]->point2->setCoords(*m, 1);
        const auto a = owner_->AmplitudeAt(*m);
        markerTexts_[i]->setText(QStringLiteral("%1 %2\n%3").arg(QString::fromLatin1(kNames[i]), HzText(*m),
                                                                 a ? owner_->AmplitudeText(*a) : QStringLiteral("-")));
        markerTexts_[i]->position->setCoords(*m, 0.02 + 0.1 * i);
    }
    Redraw();
    PlacePeakLabels();
}

void SpectrumCanvas::PlacePeakLabels()
{
    // Labels move down until they clear the ones already placed.
    std::vector<QRectF> placed;
    const QFontMetricsF fm(font());
    bool moved = false;
    for (QCPItemText* label : peakLabels_) {
        const QPointF at = label->position->pixelPosition();
        const QRectF wanted(at.x(), at.y() - fm.height(), fm.horizontalAdvance(label->text()), fm.height());
        const QRectF r = FreeLabelPlace(wanted, placed);
        placed.push_back(r);
        if (r != wanted) {
            label->position->setPixelPosition(QPointF(r.left(), r.bottom()));
            moved = true;
        }
    }
    if (moved)
        replot();
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
    connect(cboScale, &QComboBox::currentIndexChanged, this, [this] {
        UpdateMarkerText();
        canvas->Update();
    });

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
    canvas->Update();
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
    canvas->Update();
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
    canvas->Update();
}

void SpectrumWidget::PanFrequency(double hz)
{
    if (viewHi_ <= 0)
        return;
    const double span = viewHi_ - viewLo_;
    viewLo_ = std::clamp(viewLo_ + hz, 0.0, sampleRate_ / 2.0 - span);
    viewHi_ = viewLo_ + span;
    canvas->Update();
}

void SpectrumWidget::FitFrequency()
{
    viewLo_ = viewHi_ = 0;
    canvas->Update();
}

void SpectrumWidget::ClearMarkers()
{
    markers_ = {};
    UpdateMarkerText();
    canvas->Update();
}

std::optional<double> SpectrumWidget::AmplitudeAt(double hz) const
{
    if (shown_.empty() || shown_.front().spectrum.amplitude.empty())
        return std::nullopt;
    const auto& sp = shown_.front().spectrum;
    const double a = sp.amplitude[static_cast<size_t>(sp.BinAt(hz))];
    return LogScale() ? Db(a) : a;
}

QString SpectrumWidget::AmplitudeText(double amplitude) const
{
    if (LogScale())
        return Loc(std::round(amplitude * 10) / 10 + 0.0, 'f', 1) + QStringLiteral(" dB");
    return Num(amplitude) + QLatin1Char(' ') + analysis::UnitName(view_);
}

void SpectrumWidget::UpdateMarkerText()
{
    const auto& a = markers_[0];
    const auto& b = markers_[1];
    if (!a && !b) {
        lblMarkers->setText(QStringLiteral("Markers: left click A, right click B"));
        return;
    }
    // Each marker's frequency and the first shown channel's amplitude there.
    const auto describe = [this](const std::optional<double>& m) {
        if (!m)
            return QStringLiteral("-");
        const auto amp = AmplitudeAt(*m);
        return amp ? QStringLiteral("%1, %2").arg(HzText(*m), AmplitudeText(*amp)) : HzText(*m);
    };
    QString t = QStringLiteral("A %1  B %2").arg(describe(a), describe(b));
    if (a && b) {
        const double df = std::abs(*b - *a);
        const int n = channels_.empty() ? 0 : static_cast<int>(channels_.front().samples.size());
        const double bins = n > 0 && sampleRate_ > 0 ? df / (sampleRate_ / n) : 0.0;
        t += QStringLiteral("  \u0394 %1 (%2 bins, period %3 s)")
                 .arg(HzText(df), Num(bins, 5), df > 0 ? Num(1.0 / df, 4) : QStringLiteral("-"));
        const auto aa = AmplitudeAt(*a), ab = AmplitudeAt(*b);
        if (aa && ab)
            t += QStringLiteral(", \u0394 %1").arg(LogScale() ? Loc(std::round((*ab - *aa) * 10) / 10 + 0.0, 'f', 1) + QStringLiteral(" dB")
                                                            : Num(*ab - *aa) + QLatin1Char(' ') + analysis::UnitName(view_));
    }
    lblMarkers->setText(t);
}
