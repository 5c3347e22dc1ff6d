#pragma once
// The Trend tab: one figure per channel over the captures of a monitoring database, with the
// severity zones behind velocity; hovering shows a point's value, a click loads that capture.
#include "monitor/MonitorStore.h"
#include "monitor/Severity.h"
#include "ui/PlotView.h"

#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

class TrendWidget : public QWidget {
    Q_OBJECT
public:
    explicit TrendWidget(QWidget* parent = nullptr);
    ~TrendWidget() override;

    // Reads every capture's figures; false with the reason when the database cannot be opened.
    bool OpenDatabase(const QString& path, QString* error = nullptr);
    // Loads the capture with this id into the capture record and tells `onCaptureLoaded`.
    bool LoadCapture(qint64 id);
    // Capture shown at a point of the canvas (nearest in time), if any.
    std::optional<qint64> CaptureAt(const QPoint& canvasPos) const;
    // Where a capture's point of `channel` is drawn on the canvas.
    QPointF PointOf(size_t captureIndex, int channel) const;

    // The captures of the card chosen.
    const std::vector<monitor::StoredCapture>& Captures() const { return captures_; }
    // Shows the captures of the card at this index of comboCard.
    void ChooseCard(int index);

    // Told what is now in the capture record, e.g. "capture 3 of night.sqlite (31470, Manual)".
    std::function<void(const QString& source)> onCaptureLoaded;
    std::function<QString()> askDatabasePath;
    // A database written before captures kept their scale: which product its `count` such
    // captures came from (empty: not opened). Tests replace it.
    std::function<std::optional<int>(int count)> askProduct;

    QPushButton* cmdOpen = nullptr;
    QComboBox* comboFigure = nullptr;
    QComboBox* comboClass = nullptr;
    QComboBox* comboCard = nullptr;   // each card the database names
    QLabel* lblInfo = nullptr;
    ui::PlotView* canvas = nullptr;

    // Rebuilds the graphs for the figure and machine class chosen, and draws them.
    void Redraw();

private:
    double Figure(const monitor::ChannelFigures& f) const;
    void Hover(const QPoint& pos);
    std::pair<double, double> Range() const;
    // Index of the capture nearest in time to axis time `t` (seconds since the epoch).
    size_t NearestIndex(double t) const;

    std::unique_ptr<monitor::Store> store_;
    QString path_;
    std::vector<monitor::StoredCapture> all_;        // every capture, in time order
    // Those of the card chosen: one card's trend at a time, never two cards' figures in one line.
    std::vector<monitor::StoredCapture> captures_;
    double panned_ = 0; // seconds already moved by the drag under way
    std::vector<double> times_; // each capture's time, seconds since the epoch, ascending
};
