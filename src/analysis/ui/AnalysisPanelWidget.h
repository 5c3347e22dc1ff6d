#pragma once
// Statistics table under the plot, the two time-plot markers, and the export / copy actions
// for the plot on show and the capture record.
#include "analysis/Statistics.h"

#include <QGroupBox>
#include <QImage>
#include <array>
#include <functional>
#include <optional>

class PlotSurface;
class QAction;
class QCheckBox;
class QLabel;
class QTableWidget;
class SpectrumWidget;

class AnalysisPanelWidget : public QGroupBox {
    Q_OBJECT
public:
    explicit AnalysisPanelWidget(QWidget* parent = nullptr);

    // Where the record description comes from (product, averaging, layout) and which plot is
    // on show; set by the window that holds the panel.
    std::function<analysis::RecordView()> recordView;
    std::function<QWidget*()> currentPlot;
    // Asks for a file name to save to (empty: cancelled); replaceable so tests need no dialog.
    std::function<QString(const QString& caption, const QString& filter)> askSavePath;

    void SetSpectrum(SpectrumWidget* spectrum) { spectrum_ = spectrum; }
    // Clicks on the time plot place the markers (left A, right B); its own mouse handling stays.
    void AttachTimePlot(PlotSurface* surface);

    // Recomputes statistics and the spectrum from the capture record.
    void Refresh();
    analysis::RecordView CurrentView() const;
    const std::vector<analysis::ChannelStats>& Stats() const { return stats_; }

    // Time-plot markers in samples.
    void SetTimeMarker(int i, double sample);
    std::optional<double> TimeMarker(int i) const { return timeMarkers_[static_cast<size_t>(i)]; }

    // Export of a view's plot by the plotting library's renderer, with the capture's product,
    // mode and time above it: at `size`, else at its size on screen. PDF and SVG are vectors.
    static bool ExportPng(QWidget* view, const QString& path, QString* error = nullptr, QSize size = {});
    static bool ExportSvg(QWidget* view, const QString& path, QString* error = nullptr, QSize size = {});
    static bool ExportPdf(QWidget* view, const QString& path, QString* error = nullptr, QSize size = {});
    static void CopyToClipboard(QWidget* plot);
    // The plot alone (what the exports and the copy hold).
    static QImage PlotImage(QWidget* view, QSize size = {});
    bool ExportCsv(const QString& path);

    QTableWidget* tblStats = nullptr;
    QCheckBox* ckCounts = nullptr;
    QLabel* lblTimeMarkers = nullptr;
    QAction* actExportPng = nullptr;
    QAction* actExportSvg = nullptr;
    QAction* actExportPdf = nullptr;
    QAction* actExportCsv = nullptr;
    QAction* actCopyPlot = nullptr;

    // Column captions of the statistics table.
    static QStringList StatsHeaders(const QString& unit);

protected:
    void changeEvent(QEvent* e) override;

private:
    void FillTable(const std::vector<analysis::Channel>& channels);
    // The table's size: all its rows and columns show, whatever the fonts and figures.
    void FitTable();
    void UpdateTimeMarkerText();
    void SaveWithDialog(const QString& caption, const QString& filter, const std::function<bool(const QString&)>& save);

    SpectrumWidget* spectrum_ = nullptr;
    PlotSurface* timePlot_ = nullptr;
    std::vector<analysis::ChannelStats> stats_;
    std::array<std::optional<double>, 2> timeMarkers_{};
};
