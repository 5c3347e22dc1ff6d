#include "analysis/ui/AnalysisPanelWidget.h"
#include "shell/SaveFile.h"
#include <QBuffer>
#include "analysis/Export.h"
#include "analysis/SampleRate.h"
#include "analysis/ui/AmplitudeSpectrumWidget.h"
#include "capture/ui/DataPlotWidget.h"
#include "capture/PlotModel.h"
#include "capture/CaptureRecord.h"
#include "capture/CaptureSettings.h"
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
#include <QPdfWriter>
#include <QStyleOptionHeader>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QVBoxLayout>

#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

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

// Headers on two lines, the figure over its unit: the columns stay about as narrow as their
// numbers, so every column fits beside the side columns of a small screen.
class TwoLineHeader : public QHeaderView {
public:
    TwoLineHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) { setTextElideMode(Qt::ElideNone); }

    static QString Wrapped(const QString& text)
    {
        // Before the unit, else at the last space ("Crest factor").
        qsizetype at = text.lastIndexOf(QStringLiteral(" ("));
        if (at < 0)
            at = text.lastIndexOf(QLatin1Char(' '));
        return at < 0 ? text : text.left(at) + QLatin1Char('\n') + text.mid(at + 1);
    }

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override
    {
        QHeaderView::initStyleOptionForIndex(option, logicalIndex);
        option->text = Wrapped(model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString());
    }
    QSize sectionSizeFromContents(int logicalIndex) const override
    {
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.section = logicalIndex;
        option.text = Wrapped(model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString());
        return style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    }
};

bool ReportFailure(bool ok, const QString& path, const QString& error)
{
    if (!ok)
        ui::MessageBox(QStringLiteral("Could not write %1: %2").arg(path, error), MsgIcon::Critical);
    return ok;
}

} // namespace

AnalysisPanelWidget::AnalysisPanelWidget(QWidget* parent) : QGroupBox(parent)
{
    tblStats = new QTableWidget(0, 8, this);
    tblStats->setHorizontalHeader(new TwoLineHeader(tblStats));
    tblStats->setHorizontalHeaderLabels(StatsHeaders(QStringLiteral("g")));
    tblStats->verticalHeader()->hide();
    tblStats->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every figure column as wide as its header or figures; the channel column takes what is left.
    tblStats->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblStats->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    // The table is always as big as its rows and columns (FitTable): no scrolling.
    tblStats->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tblStats->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tblStats->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Rows as tight as the text: the table shares the window's height with the plot.
    tblStats->verticalHeader()->setMinimumSectionSize(fontMetrics().height() + 4);
    tblStats->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);

    ckCounts = new QCheckBox(QStringLiteral("Counts (raw)"), this);
    connect(ckCounts, &QCheckBox::toggled, this, [this] { Refresh(); });
    lblTimeMarkers = new QLabel(this);
    lblTimeMarkers->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* row = new QHBoxLayout;
    row->addWidget(ckCounts);
    row->addSpacing(12);
    row->addWidget(lblTimeMarkers, 1);
    // No title or frame of its own: the headers say what the table is, and the height goes to the plot.
    setFlat(true);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    v->addWidget(tblStats);
    v->addLayout(row);

    actExportPng = new QAction(QStringLiteral("Export Plot as &PNG..."), this);
    actExportSvg = new QAction(QStringLiteral("Export Plot as &SVG..."), this);
    actExportPdf = new QAction(QStringLiteral("Export Plot as P&DF..."), this);
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
    connect(actExportPdf, &QAction::triggered, this, [this, plot] {
        SaveWithDialog(QStringLiteral("Export Plot"), QStringLiteral("PDF document (*.pdf)"),
                       [plot](const QString& p) {
                           QString error;
                           return ReportFailure(ExportPdf(plot(), p, &error), p, error);
                       });
    });
    connect(actExportCsv, &QAction::triggered, this, [this] {
        SaveWithDialog(QStringLiteral("Export Capture"), QStringLiteral("CSV file (*.csv)"),
                       [this](const QString& p) { return ExportCsv(p); });
    });
    connect(actCopyPlot, &QAction::triggered, this, [plot] { CopyToClipboard(plot()); });

    UpdateTimeMarkerText();
    FitTable();
}

void AnalysisPanelWidget::FitTable()
{
    // Three rows (the channels of every capture mode) even before the first capture.
    const int rows = std::max(tblStats->rowCount(), 3);
    const int frame = 2 * tblStats->frameWidth();
    tblStats->setFixedHeight(tblStats->horizontalHeader()->sizeHint().height() +
                             rows * tblStats->verticalHeader()->defaultSectionSize() + frame);
    const QAbstractItemView* view = tblStats;
    int width = frame;
    for (int c = 0; c < tblStats->columnCount(); ++c)
        width += std::max(view->sizeHintForColumn(c), tblStats->horizontalHeader()->sectionSizeHint(c));
    tblStats->setMinimumWidth(width);
}

void AnalysisPanelWidget::changeEvent(QEvent* e)
{
    QGroupBox::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
        FitTable();
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
    FitTable();
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
    // A click places a marker; a drag (pan, rubber band) never does.
    surface->onClick = [this](double x, Qt::MouseButton button, Qt::KeyboardModifiers, QPointF) {
        if (button == Qt::LeftButton)
            SetTimeMarker(0, std::round(x));
        else if (button == Qt::RightButton)
            SetTimeMarker(1, std::round(x));
    };
}

void AnalysisPanelWidget::SetTimeMarker(int i, double sample)
{
    if (i < 0 || i > 1)
        return;
    timeMarkers_[static_cast<size_t>(i)] = sample;
    UpdateTimeMarkerText();
    if (timePlot_)
        timePlot_->SetMarkers(timeMarkers_);
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
// The plot widget inside a view.
QCustomPlot* PlotOf(QWidget* view)
{
    if (!view)
        return nullptr;
    if (auto* plot = qobject_cast<QCustomPlot*>(view))
        return plot;
    return view->findChild<QCustomPlot*>();
}

// The export's size: as chosen, else as the plot is on screen (never smaller than legible).
QSize ExportSize(QCustomPlot* plot, const QSize& chosen)
{
    return chosen.isValid() ? chosen : plot->size().expandedTo(QSize(320, 200));
}

// What the capture is, above the plot in the exports: product, mode, time.
QString CaptureTitle()
{
    const CaptureRecord::Record& r = CaptureRecord::Last;
    if (!r.Holds())
        return QStringLiteral("No capture");
    return QStringLiteral("%1, %2, %3")
        .arg(r.product)
        .arg(CaptureSettings::CaptureModeItems(r.product).value(r.modeIndex))
        .arg(QLocale().toString(r.time, QLocale::ShortFormat));
}

// Draws `plot` on `painter` over `size` with the capture's title above it; the plot on screen
// is left as it was.
void RenderWithTitle(QCustomPlot* plot, QCPPainter& painter, const QSize& size)
{
    plot->plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(plot, CaptureTitle(), QFont(plot->font().family(), 9));
    plot->plotLayout()->addElement(0, 0, title);
    const bool legend = plot->legend->visible();
    plot->legend->setVisible(plot->graphCount() > 0 || legend);
    plot->toPainter(&painter, size.width(), size.height());
    plot->plotLayout()->remove(title);
    plot->plotLayout()->simplify();
    plot->legend->setVisible(legend);
    plot->replot();
}
} // namespace

QImage AnalysisPanelWidget::PlotImage(QWidget* view, QSize size)
{
    QCustomPlot* plot = PlotOf(view);
    if (!plot)
        return {};
    size = ExportSize(plot, size);
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QCPPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    RenderWithTitle(plot, p, size);
    p.end();
    return img;
}

// Files are made in memory and saved whole, so a failed save names the system's reason.
bool AnalysisPanelWidget::ExportPng(QWidget* view, const QString& path, QString* error, QSize size)
{
    const QImage img = PlotImage(view, size);
    if (img.isNull())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return img.save(&buffer, "PNG") && SaveWholeFile(path, bytes, error);
}

bool AnalysisPanelWidget::ExportSvg(QWidget* view, const QString& path, QString* error, QSize size)
{
    QCustomPlot* plot = PlotOf(view);
    if (!plot)
        return false;
    size = ExportSize(plot, size);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator gen;
    gen.setOutputDevice(&buffer);
    gen.setSize(size);
    gen.setViewBox(QRect(QPoint(0, 0), size));
    gen.setTitle(CaptureTitle());
    QCPPainter p;
    if (!p.begin(&gen))
        return false;
    RenderWithTitle(plot, p, size); // as vectors
    return p.end() && SaveWholeFile(path, bytes, error);
}

bool AnalysisPanelWidget::ExportPdf(QWidget* view, const QString& path, QString* error, QSize size)
{
    QCustomPlot* plot = PlotOf(view);
    if (!plot)
        return false;
    size = ExportSize(plot, size);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setTitle(CaptureTitle());
        pdf.setCreator(QStringLiteral("Sensor Bench"));
        pdf.setResolution(96);
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setPageSize(QPageSize(QSizeF(size.width() / 96.0 * 72.0, size.height() / 96.0 * 72.0), QPageSize::Point));
        QCPPainter p;
        if (!p.begin(&pdf))
            return false;
        RenderWithTitle(plot, p, size); // as vectors
        p.end();
    }
    return SaveWholeFile(path, bytes, error);
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
