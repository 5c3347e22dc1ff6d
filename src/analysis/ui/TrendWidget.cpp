#include "analysis/ui/TrendWidget.h"
#include "ui/Ui.h"

#include <QComboBox>
#include "capture/CaptureSettings.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
const std::array<QColor, 3> kChannelColours{QColor(0, 0, 255), QColor(0, 160, 0), QColor(200, 0, 0)};
const std::array<QColor, 4> kZoneColours{QColor(200, 240, 200), QColor(240, 240, 190), QColor(250, 220, 180),
                                         QColor(250, 200, 200)};
enum FigureIndex { kVelocity, kAcRms, kPeakToPeak, kCrest, kKurtosis, kDominantHz, kMean };

std::optional<int> AskProduct(QWidget* parent, int count)
{
    bool ok = false;
    const QString item = QInputDialog::getItem(
        parent, QStringLiteral("Open Monitoring Database"),
        QStringLiteral("%1 captures of this database were stored without their sensor's scale.\n"
                       "Which product took them?").arg(count),
        {QStringLiteral("31470"), QStringLiteral("31473")}, 1, false, &ok);
    return ok ? std::optional<int>(item.toInt()) : std::nullopt;
}
} // namespace

class TrendWidget::Canvas : public QWidget {
public:
    explicit Canvas(TrendWidget* owner) : QWidget(owner), owner_(owner)
    {
        setMouseTracking(true);
        setMinimumSize(120, 80);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        owner_->Paint(p, size());
    }
    void mouseMoveEvent(QMouseEvent* e) override { owner_->Hover(e->position().toPoint()); }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (const auto id = owner_->CaptureAt(e->position().toPoint()))
            owner_->LoadCapture(*id);
    }

private:
    TrendWidget* owner_;
};

TrendWidget::TrendWidget(QWidget* parent) : QWidget(parent)
{
    cmdOpen = new QPushButton(QStringLiteral("Open Database..."));
    comboFigure = new QComboBox;
    comboFigure->addItems({QStringLiteral("Velocity RMS (mm/s)"), QStringLiteral("AC RMS"), QStringLiteral("Peak-peak"),
                           QStringLiteral("Crest factor"), QStringLiteral("Kurtosis"), QStringLiteral("Dominant (Hz)"),
                           QStringLiteral("Mean")});
    comboClass = new QComboBox;
    comboClass->addItems(monitor::MachineClassNames());
    lblInfo = new QLabel(QStringLiteral("No monitoring database open"));
    canvas = new Canvas(this);
    // Narrow enough for the main window's smallest size: the controls share one row, the text its own.
    lblInfo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* bar = new QHBoxLayout;
    bar->addWidget(cmdOpen);
    bar->addWidget(comboFigure);
    bar->addWidget(comboClass);
    bar->addStretch(1);
    auto* v = new QVBoxLayout(this);
    v->addLayout(bar);
    v->addWidget(lblInfo);
    v->addWidget(canvas, 1);
    askDatabasePath = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Open Monitoring Database"), QString(),
                                            QStringLiteral("Monitoring database (*.sqlite *.db);;All files (*)"));
    };
    connect(cmdOpen, &QPushButton::clicked, this, [this] {
        const QString path = askDatabasePath ? askDatabasePath() : QString();
        QString error;
        if (!path.isEmpty() && !OpenDatabase(path, &error))
            ui::MessageBox(QStringLiteral("Could not open %1: %2").arg(path, error), MsgIcon::Exclamation);
    });
    connect(comboFigure, &QComboBox::currentIndexChanged, canvas, qOverload<>(&QWidget::update));
    connect(comboClass, &QComboBox::currentIndexChanged, canvas, qOverload<>(&QWidget::update));
}

TrendWidget::~TrendWidget() = default;

bool TrendWidget::OpenDatabase(const QString& path, QString* error)
{
    auto store = std::make_unique<monitor::Store>();
    if (!store->Open(path, error))
        return false;
    if (const int unscaled = store->CapturesWithoutScale(); unscaled > 0) {
        const std::optional<int> product = askProduct ? askProduct(unscaled) : AskProduct(this, unscaled);
        if (!product) {
            if (error)
                *error = QStringLiteral("the product of its earlier captures was not given");
            return false;
        }
        const auto machine = monitor::FindMachineClass(comboClass->currentText());
        if (!store->AssignProduct(*product, machine.value_or(monitor::MachineClasses().front()), error))
            return false;
    }
    store_ = std::move(store);
    path_ = path;
    captures_ = store_->Captures();
    int complete = 0;
    for (const auto& c : captures_)
        complete += c.complete;
    lblInfo->setText(QStringLiteral("%1 captures (%2 lost)").arg(captures_.size()).arg(captures_.size() - complete));
    canvas->update();
    return true;
}

bool TrendWidget::LoadCapture(qint64 id)
{
    if (!store_)
        return false;
    const auto stored = store_->Capture(id);
    if (!stored || stored->samples.size() != 3072) {
        lblInfo->setText(QStringLiteral("Capture %1 has no waveform kept").arg(id));
        return false;
    }
    CaptureRecord::Last = monitor::RecordOf(*stored);
    lblInfo->setText(QStringLiteral("Capture %1 of %2 loaded").arg(id).arg(QLocale().toString(stored->timeUtc.toLocalTime())));
    if (onCaptureLoaded)
        onCaptureLoaded(QStringLiteral("capture %1 of %2 (%3, %4)")
                            .arg(id)
                            .arg(QFileInfo(path_).fileName())
                            .arg(CaptureRecord::Last.product)
                            .arg(CaptureSettings::CaptureModeItems(CaptureRecord::Last.product)
                                     .value(CaptureRecord::Last.modeIndex)));
    return true;
}

double TrendWidget::Figure(const monitor::ChannelFigures& f) const
{
    switch (comboFigure->currentIndex()) {
    case kAcRms: return f.stats.acRms;
    case kPeakToPeak: return f.stats.peakToPeak;
    case kCrest: return f.stats.crestFactor;
    case kKurtosis: return f.stats.kurtosis;
    case kDominantHz: return f.stats.dominantHz;
    case kMean: return f.stats.mean;
    default: return f.stats.velocityRms;
    }
}

QRectF TrendWidget::PlotArea(const QSize& size) const { return QRectF(50, 10, size.width() - 60, size.height() - 30); }

std::pair<double, double> TrendWidget::Range() const
{
    double hi = 0;
    for (const auto& c : captures_)
        for (const auto& f : c.figures)
            if (const double v = Figure(f); !std::isnan(v))
                hi = std::max(hi, v);
    if (comboFigure->currentIndex() == kVelocity)
        if (const auto m = monitor::FindMachineClass(comboClass->currentText()))
            hi = std::max(hi, m->bounds[2] * 1.2);
    return {0.0, hi > 0 ? hi * 1.05 : 1.0};
}

QPointF TrendWidget::PointOf(size_t index, int channel) const
{
    const QRectF area = PlotArea(canvas->size());
    const auto [lo, hi] = Range();
    const double x = captures_.size() < 2 ? area.center().x()
                                          : area.left() + area.width() * double(index) / double(captures_.size() - 1);
    const auto& figures = captures_[index].figures;
    const double v = size_t(channel) < figures.size() ? Figure(figures[size_t(channel)]) : std::nan("");
    return {x, area.bottom() - (v - lo) / (hi - lo) * area.height()};
}

std::optional<qint64> TrendWidget::CaptureAt(const QPoint& pos) const
{
    if (captures_.empty())
        return std::nullopt;
    size_t best = 0;
    for (size_t i = 1; i < captures_.size(); ++i)
        if (std::abs(PointOf(i, 0).x() - pos.x()) < std::abs(PointOf(best, 0).x() - pos.x()))
            best = i;
    return captures_[best].id;
}

void TrendWidget::Hover(const QPoint& pos)
{
    const auto id = CaptureAt(pos);
    if (!id)
        return;
    for (const auto& c : captures_) {
        if (c.id != *id)
            continue;
        QStringList lines{QLocale().toString(c.timeUtc.toLocalTime(), QLocale::ShortFormat)};
        if (!c.complete)
            lines << QStringLiteral("lost: %1").arg(c.lossReason);
        for (const auto& f : c.figures)
            lines << QStringLiteral("%1: %2 (zone %3)").arg(f.name, QLocale().toString(Figure(f), 'g', 4), f.zone);
        QToolTip::showText(canvas->mapToGlobal(pos), lines.join(QLatin1Char('\n')), canvas);
    }
}

void TrendWidget::Paint(QPainter& p, const QSize& size) const
{
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const QRectF area = PlotArea(size);
    const auto [lo, hi] = Range();
    auto yOf = [&](double v) { return area.bottom() - (v - lo) / (hi - lo) * area.height(); };
    // Severity zones behind velocity.
    if (comboFigure->currentIndex() == kVelocity)
        if (const auto m = monitor::FindMachineClass(comboClass->currentText())) {
            double from = lo;
            for (int z = 0; z < 4; ++z) {
                const double to = z < 3 ? m->bounds[size_t(z)] : hi;
                p.fillRect(QRectF(QPointF(area.left(), yOf(std::min(to, hi))), QPointF(area.right(), yOf(from))),
                           kZoneColours[size_t(z)]);
                p.drawText(QPointF(area.right() - 12, yOf(std::min(to, hi)) + 12), QString(QChar(u'A' + z)));
                from = to;
            }
        }
    p.setPen(Qt::gray);
    p.drawRect(area);
    p.drawText(QPointF(2, area.top() + 10), QLocale().toString(hi, 'g', 3));
    p.drawText(QPointF(2, area.bottom()), QLocale().toString(lo, 'g', 3));
    for (int ch = 0; ch < 3; ++ch) {
        p.setPen(QPen(kChannelColours[size_t(ch)], 1.5));
        std::optional<QPointF> last;
        for (size_t i = 0; i < captures_.size(); ++i) {
            const QPointF pt = PointOf(i, ch);
            if (!captures_[i].complete || std::isnan(pt.y())) {
                last.reset();
                continue;
            }
            if (last)
                p.drawLine(*last, pt);
            p.drawEllipse(pt, 2.5, 2.5);
            last = pt;
        }
    }
}
