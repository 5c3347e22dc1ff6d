#include "analysis/ui/AnalysisPanelWidget.h"
#include "shell/SaveFile.h"
#include <QBuffer>
#include "analysis/Export.h"
#include "analysis/SampleRate.h"
#include "analysis/ui/AmplitudeSpectrumWidget.h"
#include "capture/ui/DataPlotWidget.h"
#include "capture/PlotModel.h"
#include "ui/Ui.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QVBoxLayout>

#include <QFileInfo>
#include <QLocale>
#include <cmath>

namespace {

// Draws the time-plot markers over the plot surface without taking its mouse events.
class MarkerOverlay : public QWidget {
public:
    MarkerOverlay(PlotSurface* surface, const std::array<std::optional<double>, 2>* markers)
        : QWidget(surface), surface_(surface), markers_(markers)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        resize(surface->size());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        for (int i = 0; i < 2; ++i) {
            const auto& m = (*markers_)[static_cast<size_t>(i)];
            if (!m)
                continue;
            const QPointF pt = PlotModel::UserToPixel(surface_->Scale(), *m, 0, width(), height());
            p.setPen(QPen(QColor(120, 0, 160), 1, i == 0 ? Qt::SolidLine : Qt::DashLine));
            p.drawLine(QPointF(pt.x(), 0), QPointF(pt.x(), height()));
            p.drawText(QPointF(pt.x() + 3, 12), i == 0 ? QStringLiteral("A") : QStringLiteral("B"));
        }
    }

private:
    PlotSurface* surface_;
    const std::array<std::optional<double>, 2>* markers_;
};

// Numbers on screen in the system's format, without grouping.
QString Loc(double v, char format, int precision)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(v, format, precision);
}

QString Cell(double v)
{
    if (std::isnan(v))
        return QStringLiteral("-");
    return Loc(v, 'g', 4);
}

bool ReportFailure(bool ok, const QString& path, const QString& error)
{
    if (!ok)
        ui::MessageBox(QStringLiteral("Could not write %1: %2").arg(path, error), MsgIcon::Critical);
    return ok;
}

} // namespace

AnalysisPanelWidget::AnalysisPanelWidget(QWidget* parent) : QGroupBox(QStringLiteral("Analysis"), parent)
{
    tblStats = new QTableWidget(0, 8, this);
    tblStats->setHorizontalHeaderLabels(StatsHeaders(QStringLiteral("g")));
    tblStats->verticalHeader()->hide();
    tblStats->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every figure column as wide as its header; the channel column takes what is left.
    tblStats->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblStats->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    tblStats->setMaximumHeight(110);

    ckCounts = new QCheckBox(QStringLiteral("Counts (raw)"), this);
    connect(ckCounts, &QCheckBox::toggled, this, [this] { Refresh(); });
    lblTimeMarkers = new QLabel(this);
    lblTimeMarkers->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* row = new QHBoxLayout;
    row->addWidget(ckCounts);
    row->addSpacing(12);
    row->addWidget(lblTimeMarkers, 1);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    v->addWidget(tblStats);
    v->addLayout(row);

    actExportPng = new QAction(QStringLiteral("Export Plot as &PNG..."), this);
    actExportSvg = new QAction(QStringLiteral("Export Plot as &SVG..."), this);
    actExportCsv = new QAction(QStringLiteral("Export Capture as &CSV..."), this);
    actCopyPlot = new QAction(QStringLiteral("&Copy Plot"), this);
    askSavePath = [this](const QString& caption, const QString& filter) {
        return QFileDialog::getSaveFileName(this, caption, QString(), filter);
    };
    const auto plot = [this]() -> QWidget* { return currentPlot ? currentPlot() : nullptr; };
    connect(actExportPng, &QAction::triggered, this, [this, plot] {
        SaveWithDialog(QStringLiteral("Export Plot"), QStringLiteral("PNG image (*.png)"),
                       [plot](const QString& p) {
                           QString error;
                           return ReportFailure(ExportPng(plot(), p, &error), p, error);
                       });
    });
    connect(actExportSvg, &QAction::triggered, this, [this, plot] {
        SaveWithDialog(QStringLiteral("Export Plot"), QStringLiteral("SVG drawing (*.svg)"),
                       [plot](const QString& p) {
                           QString error;
                           return ReportFailure(ExportSvg(plot(), p, &error), p, error);
                       });
    });
    connect(actExportCsv, &QAction::triggered, this, [this] {
        SaveWithDialog(QStringLiteral("Export Capture"), QStringLiteral("CSV file (*.csv)"),
                       [this](const QString& p) { return ExportCsv(p); });
    });
    connect(actCopyPlot, &QAction::triggered, this, [plot] { CopyToClipboard(plot()); });

    UpdateTimeMarkerText();
}

QStringList AnalysisPanelWidget::StatsHeaders(const QString& unit)
{
    return {QStringLiteral("Channel"),
            QStringLiteral("Mean (%1)").arg(unit),
            QStringLiteral("AC RMS (%1)").arg(unit),
            QStringLiteral("Peak-peak (%1)").arg(unit),
            QStringLiteral("Crest factor"),
            QStringLiteral("Kurtosis"),
            QStringLiteral("Dominant (Hz)"),
            QStringLiteral("Velocity RMS (mm/s)")};
}

analysis::RecordView AnalysisPanelWidget::CurrentView() const
{
    analysis::RecordView v = recordView ? recordView() : analysis::RecordView{};
    v.raw = ckCounts->isChecked();
    return v;
}

void AnalysisPanelWidget::Refresh()
{
    const analysis::RecordView view = CurrentView();
    const double fs = analysis::SampleRate(view.product, view.avgExponent);
    const std::vector<analysis::Channel> channels = analysis::RecordChannels(view, CaptureRecord::Last);
    stats_ = analysis::ChannelsStats(channels, view, fs, CaptureRecord::Last);
    FillTable(channels);
    tblStats->setHorizontalHeaderLabels(StatsHeaders(analysis::UnitName(view)));
    if (spectrum_)
        spectrum_->SetRecord(view);
    UpdateTimeMarkerText();
}

void AnalysisPanelWidget::FillTable(const std::vector<analysis::Channel>& channels)
{
    tblStats->setRowCount(static_cast<int>(channels.size()));
    for (int r = 0; r < static_cast<int>(channels.size()); ++r) {
        const auto& s = stats_[static_cast<size_t>(r)];
        const QStringList cells = {channels[static_cast<size_t>(r)].name, Cell(s.mean), Cell(s.acRms),
                                   Cell(s.peakToPeak), Cell(s.crestFactor), Cell(s.kurtosis),
                                   Loc(s.dominantHz, 'f', 1), Cell(s.velocityRms)};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
            if (c == 7)
                item->setToolTip(s.velocityNote); // why "-", or what may have folded into the figure
            tblStats->setItem(r, c, item);
        }
    }
}

void AnalysisPanelWidget::AttachTimePlot(PlotSurface* surface)
{
    timePlot_ = surface;
    timeOverlay_ = new MarkerOverlay(surface, &timeMarkers_);
    surface->installEventFilter(this);
}

bool AnalysisPanelWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == timePlot_) {
        if (event->type() == QEvent::Resize && timeOverlay_) {
            timeOverlay_->resize(timePlot_->size());
        } else if (event->type() == QEvent::MouseButtonPress) {
            auto* e = static_cast<QMouseEvent*>(event);
            const QPointF u = PlotModel::PixelToUser(timePlot_->Scale(), e->position().x(), e->position().y(),
                                                     timePlot_->width(), timePlot_->height());
            if (e->button() == Qt::LeftButton)
                SetTimeMarker(0, std::round(u.x()));
            else if (e->button() == Qt::RightButton)
                SetTimeMarker(1, std::round(u.x()));
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void AnalysisPanelWidget::SetTimeMarker(int i, double sample)
{
    if (i < 0 || i > 1)
        return;
    timeMarkers_[static_cast<size_t>(i)] = sample;
    UpdateTimeMarkerText();
    if (timeOverlay_)
        timeOverlay_->update();
}

void AnalysisPanelWidget::UpdateTimeMarkerText()
{
    const auto& a = timeMarkers_[0];
    const auto& b = timeMarkers_[1];
    QString t = QStringLiteral("Time markers (left/right click on the plot): A %1  B %2")
                    .arg(a ? Loc(*a, 'f', 0) : QStringLiteral("-"), b ? Loc(*b, 'f', 0) : QStringLiteral("-"));
    if (a && b) {
        const analysis::RecordView view = CurrentView();
        const auto d = analysis::TimeMarkerDelta(*a, *b, analysis::SampleRate(view.product, view.avgExponent));
        t += QStringLiteral("  \u0394 %1 samples, %2 s, %3 Hz")
                 .arg(QString::number(d.samples), Loc(d.seconds, 'g', 4),
                      d.hz > 0 ? Loc(d.hz, 'g', 5) : QStringLiteral("-"));
    }
    lblTimeMarkers->setText(t);
}

namespace {
// The size a plot is drawn at: what its drawing surface shows on screen (with room for axes).
QSize PlotSize(QWidget* plot)
{
    if (auto* spectrum = qobject_cast<SpectrumWidget*>(plot))
        return spectrum->canvas->size().expandedTo(QSize(320, 200));
    if (auto* time = qobject_cast<DataPlotWidget*>(plot))
        return (time->picture1->size() + QSize(60, 40)).expandedTo(QSize(320, 200));
    return plot->size();
}

// Draws the plot alone with its own painter: no buttons, boxes or scroll bars.
bool DrawPlot(QWidget* plot, QPainter& p, const QSize& size)
{
    if (auto* spectrum = qobject_cast<SpectrumWidget*>(plot))
        spectrum->canvas->Render(p, size);
    else if (auto* time = qobject_cast<DataPlotWidget*>(plot))
        time->Render(p, size);
    else
        plot->render(&p);
    return true;
}
} // namespace

QImage AnalysisPanelWidget::PlotImage(QWidget* plot)
{
    if (!plot)
        return {};
    const QSize size = PlotSize(plot);
    const qreal dpr = plot->devicePixelRatioF();
    QImage img(size * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::white);
    QPainter p(&img);
    DrawPlot(plot, p, size);
    return img;
}

// Images are made in memory and saved whole, so a failed save names the system's reason.
bool AnalysisPanelWidget::ExportPng(QWidget* plot, const QString& path, QString* error)
{
    if (!plot)
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return PlotImage(plot).save(&buffer, "PNG") && SaveWholeFile(path, bytes, error);
}

bool AnalysisPanelWidget::ExportSvg(QWidget* plot, const QString& path, QString* error)
{
    if (!plot)
        return false;
    auto* spectrum = qobject_cast<SpectrumWidget*>(plot);
    const QSize size = PlotSize(plot);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator gen;
    gen.setOutputDevice(&buffer);
    gen.setSize(size);
    gen.setViewBox(QRect(QPoint(0, 0), size));
    gen.setTitle(spectrum ? QStringLiteral("Spectrum") : QStringLiteral("Data Plot"));
    QPainter p;
    if (!p.begin(&gen))
        return false;
    DrawPlot(plot, p, size); // as vectors
    return p.end() && SaveWholeFile(path, bytes, error);
}

void AnalysisPanelWidget::CopyToClipboard(QWidget* plot)
{
    if (plot)
        QApplication::clipboard()->setImage(PlotImage(plot));
}

bool AnalysisPanelWidget::ExportCsv(const QString& path)
{
    QString error;
    if (analysis::WriteCaptureCsv(path, CurrentView(), CaptureRecord::Last, &error))
        return true;
    ui::MessageBox(QStringLiteral("Could not write %1: %2").arg(path, error), MsgIcon::Critical);
    return false;
}

void AnalysisPanelWidget::SaveWithDialog(const QString& caption, const QString& filter,
                                         const std::function<bool(const QString&)>& save)
{
    QString path = askSavePath ? askSavePath(caption, filter) : QString();
    if (path.isEmpty())
        return;
    // A name typed without an extension gets the one of the chosen format.
    const qsizetype star = filter.indexOf(QLatin1String("*."));
    if (QFileInfo(path).suffix().isEmpty() && star >= 0)
        path += filter.mid(star + 1, filter.indexOf(QLatin1Char(')'), star) - star - 1);
    save(path);
}
