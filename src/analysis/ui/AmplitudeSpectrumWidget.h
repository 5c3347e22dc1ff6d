#pragma once
// The "Spectrum" view: amplitude spectrum of the ticked channels of the capture record, window
// and magnitude scale choice, cursor read-out, dominant-peak marker and two user markers.
#include "analysis/AmplitudeSpectrum.h"
#include "analysis/Statistics.h"
#include "ui/PlotView.h"

#include <QColor>
#include <QRectF>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class QLabel;
class QPainter;
class QPushButton;
class SpectrumWidget;

// Drawing surface of the spectrum view: the spectra, their peaks and the markers A and B.
class SpectrumCanvas : public ui::PlotView {
public:
    explicit SpectrumCanvas(SpectrumWidget* owner);
    // Rebuilds graphs, axes and marks from the owner's spectra and view, and draws them.
    void Update();
    // Frequency under a pixel column and back (the widget's own width).
    double FrequencyAt(double px) const { return CoordX(px); }
    double PixelOf(double hz) const { return PixelX(hz); }
    QSize sizeHint() const override { return {640, 300}; }

    // Where a peak label wanted at `wanted` goes: there, or moved down a line at a time until it
    // overlaps none of the labels already `placed`.
    static QRectF FreeLabelPlace(QRectF wanted, const std::vector<QRectF>& placed);

private:
    void PlacePeakLabels();
    SpectrumWidget* owner_;
    double panned_ = 0; // Hz already moved by the drag under way
    std::vector<QCPItemText*> peakLabels_;
    std::array<QCPItemStraightLine*, 2> markerLines_{};
    std::array<QCPItemText*, 2> markerTexts_{};
};

class SpectrumWidget : public QWidget {
    Q_OBJECT
public:
    explicit SpectrumWidget(QWidget* parent = nullptr);

    // Recomputes from the capture record read as `view`.
    void SetRecord(const analysis::RecordView& view);
    void Recompute();

    struct Shown {
        analysis::Channel channel;
        analysis::Spectrum spectrum;
        QColor colour;
    };
    // The spectra drawn now (ticked channels only).
    const std::vector<Shown>& Spectra() const { return shown_; }
    const analysis::RecordView& Record() const { return view_; }
    double SampleRate() const { return sampleRate_; }
    analysis::Window CurrentWindow() const;
    bool LogScale() const;

    // Cursor read-out at frequency hz (what moving the mouse does).
    void CursorAt(double hz);
    // User markers 0 (A, left click) and 1 (B, right click), in Hz, snapped to a bin.
    void SetMarker(int i, double hz);
    void ClearMarkers();
    // The strongest-looking peak of the shown spectra within `toleranceHz` of hz, else hz itself.
    double NearestPeak(double hz, double toleranceHz) const;

    // Frequency navigation: the visible range (0 .. Nyquist when fitted), zoom about hz by
    // `factor` (< 1 zooms in), move by `hz`, and fit.
    double ViewLow() const;
    double ViewHigh() const;
    void ZoomFrequency(double hz, double factor);
    void PanFrequency(double hz);
    void FitFrequency();
    std::optional<double> Marker(int i) const { return markers_[static_cast<size_t>(i)]; }
    // Amplitude of the first shown spectrum at the bin of `hz` (in the magnitude scale shown).
    std::optional<double> AmplitudeAt(double hz) const;
    QString AmplitudeText(double amplitude) const;

    // Trace colours by buffer, as on the time plot.
    static QColor ChannelColour(int buffer);

    std::array<QCheckBox*, 3> ckChannel{};
    QComboBox* cboWindow = nullptr;
    QComboBox* cboScale = nullptr;
    QLabel* lblResolution = nullptr;
    QLabel* lblCursor = nullptr;
    QLabel* lblPeak = nullptr;
    QLabel* lblMarkers = nullptr;
    QPushButton* cmdClearMarkers = nullptr;
    SpectrumCanvas* canvas = nullptr;

private:
    void UpdateChannelBoxes();
    void UpdateMarkerText();
    void UpdatePeakText();

    analysis::RecordView view_;
    std::vector<analysis::Channel> channels_;
    std::vector<Shown> shown_;
    double sampleRate_ = 0;
    std::array<std::optional<double>, 2> markers_{};
    double viewLo_ = 0, viewHi_ = 0; // viewHi_ 0: fitted
};
