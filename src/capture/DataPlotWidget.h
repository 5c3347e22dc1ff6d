#pragma once
// The "Data Plot" frame: drawing surface, vertical scale and offsets, horizontal zoom/pan, cursor read-out.
#include <QGroupBox>

class QCheckBox;
class QLabel;

class DataPlotWidget : public QGroupBox {
    Q_OBJECT
public:
    explicit DataPlotWidget(QWidget* parent = nullptr);

    // Redraws from the capture record; reads CAPT_CTRL to pick the normal or extended layout.
    void PlotCaptureData();
    void PlotCaptureDataExtendedMode();
    // Clears the drawing surface (start of a read-out).
    void ClearPlot();
    // Start values set by the main window's load.
    void SetStartValues();

    QCheckBox* ckXacc = nullptr;
    QCheckBox* ckADC0 = nullptr;
    QCheckBox* ckADC1 = nullptr;
    QLabel* LbLReadingBuffer = nullptr;
};
