#include "analysis/ui/TrendWidget.h"
#include "ui/Ui.h"

#include <QComboBox>
#include <QSignalBlocker>
#include "capture/CaptureSettings.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
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

TrendWidget::TrendWidget(QWidget* parent) : QWidget(parent)
{
    cmdOpen = new QPushButton(QStringLiteral("Open Database..."));
    comboFigure = new QComboBox;
    comboFigure->addItems({QStringLiteral("Velocity RMS (mm/s)"), QStringLiteral("AC RMS"), QStringLiteral("Peak-peak"),
                           QStringLiteral("Crest factor"), QStringLiteral("Kurtosis"), QStringLiteral("Dominant (Hz)"),
                           QStringLiteral("Mean")});
    comboClass = new QComboBox;
    comboClass->addItems(monitor::MachineClassNames());
    comboCard = new QComboBox;
    comboCard->setEnabled(false);
    lblInfo = new QLabel(QStringLiteral("No monitoring database open"));
    canvas = new ui::PlotView(this);
    canvas->setMinimumSize(120, 80);
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("yyyy-MM-dd\nhh:mm:ss"));
    ticker->setDateTimeSpec(Qt::LocalTime);
    ticker->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
    canvas->xAxis->setTicker(ticker);
    canvas->xAxis->setLabel(QStringLiteral("Capture time"));
    canvas->legend->setVisible(true);
    canvas->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    canvas->onHover = [this](double x, double y) { Hover(QPoint(qRound(canvas->PixelX(x)), qRound(canvas->PixelY(y)))); };
    canvas->onClick = [this](double, Qt::MouseButton button, Qt::KeyboardModifiers, QPointF pixel) {
        if (button != Qt::LeftButton)
            return;
        if (const auto id = CaptureAt(pixel.toPoint()))
            LoadCapture(*id);
    };
    canvas->onWheel = [this](double t, double steps) {
        canvas->xAxis->scaleRange(std::pow(0.8, steps), t);
        canvas->Redraw();
    };
    canvas->onPan = [this](double dt) {
        canvas->xAxis->moveRange(dt - panned_);
        panned_ = dt;
        canvas->Redraw();
    };
    canvas->onPanStart = [this] { panned_ = 0; };
    canvas->onFit = [this] { Redraw(); };
    // Narrow enough for the main window's smallest size: the controls share one row, the text its own.
    lblInfo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* bar = new QHBoxLayout;
    bar->addWidget(cmdOpen);
    bar->addWidget(comboFigure);
    bar->addWidget(comboClass);
    bar->addStretch(1);
    // The card choice shares the text's row, so the window gets no wider for it.
    auto* info = new QHBoxLayout;
    info->addWidget(comboCard);
    info->addWidget(lblInfo, 1);
    auto* v = new QVBoxLayout(this);
    v->addLayout(bar);
    v->addLayout(info);
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
    connect(comboFigure, &QComboBox::currentIndexChanged, this, &TrendWidget::Redraw);
    connect(comboClass, &QComboBox::currentIndexChanged, this, &TrendWidget::Redraw);
    connect(comboCard, &QComboBox::currentIndexChanged, this, &TrendWidget::ChooseCard);
    Redraw();
}

namespace {
// How the card choice names a card: slot and name as the monitor stored them.
QString CardLabel(const monitor::StoredCapture& c)
{
    if (c.cardSlot < 0)
        return c.cardName.isEmpty() ? QStringLiteral("No card recorded") : c.cardName;
    return QStringLiteral("Card %1 (%2)").arg(c.cardSlot).arg(c.cardName.isEmpty() ? QStringLiteral("-") : c.cardName);
}
} // namespace

void TrendWidget::ChooseCard(int index)
{
    const QString wanted = comboCard->itemText(index);
    captures_.clear();
    for (const auto& c : all_)
        if (CardLabel(c) == wanted)
            captures_.push_back(c);
    times_.clear();
    times_.reserve(captures_.size());
    for (const auto& c : captures_)
        times_.push_back(c.timeUtc.toMSecsSinceEpoch() / 1000.0);
    int complete = 0;
    for (const auto& c : captures_)
        complete += c.complete;
    lblInfo->setText(QStringLiteral("%1 captures (%2 lost)").arg(captures_.size()).arg(captures_.size() - complete));
    Redraw();
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
    all_ = store_->Captures();
    // Stored in the order taken; a clock set back must not break the search by time.
    std::stable_sort(all_.begin(), all_.end(), [](const auto& a, const auto& b) { return a.timeUtc < b.timeUtc; });
    // A run over several cards: the user picks whose trend to see.
    QStringList cards;
    for (const auto& c : all_)
        if (const QString label = CardLabel(c); !cards.contains(label))
            cards << label;
    std::sort(cards.begin(), cards.end());
    {
        const QSignalBlocker quiet(comboCard);
        comboCard->clear();
        comboCard->addItems(cards);
        comboCard->setEnabled(cards.size() > 1);
    }
    ChooseCard(0);
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
    const auto& figures = captures_[index].figures;
    const double v = size_t(channel) < figures.size() ? Figure(figures[size_t(channel)]) : std::nan("");
    return {canvas->PixelX(times_[index]), std::isnan(v) ? v : canvas->PixelY(v)};
}

size_t TrendWidget::NearestIndex(double t) const
{
    const auto it = std::lower_bound(times_.begin(), times_.end(), t);
    size_t i = static_cast<size_t>(it - times_.begin());
    if (i >= times_.size())
        return times_.size() - 1;
    if (i > 0 && t - times_[i - 1] < times_[i] - t)
        --i;
    return i;
}

std::optional<qint64> TrendWidget::CaptureAt(const QPoint& pos) const
{
    if (captures_.empty())
        return std::nullopt;
    return captures_[NearestIndex(canvas->CoordX(pos.x()))].id;
}

void TrendWidget::Hover(const QPoint& pos)
{
    if (captures_.empty())
        return;
    const auto& c = captures_[NearestIndex(canvas->CoordX(pos.x()))];
    QStringList lines{QLocale().toString(c.timeUtc.toLocalTime(), QLocale::ShortFormat)};
    if (!c.complete)
        lines << QStringLiteral("lost: %1").arg(c.lossReason);
    for (const auto& f : c.figures) {
        const double v = Figure(f);
        lines << QStringLiteral("%1: %2 (zone %3)").arg(f.name, std::isnan(v) ? QStringLiteral("-") : QLocale().toString(v, 'g', 4), f.zone);
    }
    QToolTip::showText(canvas->mapToGlobal(pos), lines.join(QLatin1Char('\n')), canvas);
}

void TrendWidget::Redraw()
{
    canvas->clearGraphs();
    canvas->clearItems();
    const auto [lo, hi] = Range();
    canvas->yAxis->setRange(lo, hi);
    canvas->yAxis->setLabel(comboFigure->currentText());
    if (times_.empty()) {
        const double now = QDateTime::currentSecsSinceEpoch();
        canvas->xAxis->setRange(now - 3600, now);
    } else {
        // Half a minute either side, so a single capture still has a time span.
        canvas->xAxis->setRange(times_.front() - 30, times_.back() + 30);
    }
    // Severity zones behind velocity.
    if (comboFigure->currentIndex() == kVelocity)
        if (const auto m = monitor::FindMachineClass(comboClass->currentText())) {
            double from = lo;
            for (int z = 0; z < 4; ++z) {
                const double to = z < 3 ? std::min(m->bounds[size_t(z)], hi) : hi;
                auto* band = new QCPItemRect(canvas);
                band->setLayer(QStringLiteral("background"));
                band->setPen(Qt::NoPen);
                band->setBrush(kZoneColours[size_t(z)]);
                band->topLeft->setTypeX(QCPItemPosition::ptAxisRectRatio);
                band->bottomRight->setTypeX(QCPItemPosition::ptAxisRectRatio);
                band->topLeft->setCoords(0, to);
                band->bottomRight->setCoords(1, from);
                auto* name = new QCPItemText(canvas);
                name->setText(QStringLiteral("Zone %1").arg(QChar(u'A' + z)));
                name->setColor(QColor(90, 90, 90));
                name->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
                name->position->setCoords(0.995, to);
                name->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
                name->setClipToAxisRect(true);
                from = to;
            }
        }
    // One graph per channel, gaps at lost captures and unknown figures; the lost ones marked apart.
    const size_t channels = captures_.empty() ? 0 : std::max_element(captures_.begin(), captures_.end(), [](const auto& a, const auto& b) {
                                                      return a.figures.size() < b.figures.size();
                                                  })->figures.size();
    const bool dots = captures_.size() <= 2000;
    for (size_t ch = 0; ch < std::min<size_t>(channels, 3); ++ch) {
        QVector<QCPGraphData> data;
        data.reserve(static_cast<int>(captures_.size()));
        QString name;
        for (size_t i = 0; i < captures_.size(); ++i) {
            const auto& f = captures_[i].figures;
            const double v = captures_[i].complete && ch < f.size() ? Figure(f[ch]) : std::nan("");
            if (name.isEmpty() && ch < f.size())
                name = f[ch].name;
            data.append(QCPGraphData(times_[i], v));
        }
        QCPGraph* g = canvas->addGraph();
        g->setName(name);
        g->setPen(QPen(kChannelColours[ch], dots ? 1.5 : 1.0));
        if (dots)
            g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 4));
        g->data()->set(data, true);
    }
    QVector<QCPGraphData> lost;
    for (size_t i = 0; i < captures_.size(); ++i)
        if (!captures_[i].complete)
            lost.append(QCPGraphData(times_[i], lo));
    if (!lost.isEmpty()) {
        QCPGraph* g = canvas->addGraph();
        g->setName(QStringLiteral("Lost capture"));
        g->setLineStyle(QCPGraph::lsNone);
        g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, QPen(QColor(90, 90, 90), 1.5), Qt::NoBrush, 8));
        g->data()->set(lost, true);
    }
    canvas->Redraw();
}
