#include "capture/DataPlotWidget.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>

DataPlotWidget::DataPlotWidget(QWidget* parent) : QGroupBox(QStringLiteral("Data Plot"), parent)
{
    auto* layout = new QHBoxLayout(this);
    ckXacc = new QCheckBox(QStringLiteral("X acc"), this);
    ckADC0 = new QCheckBox(QStringLiteral("Y acc"), this);
    ckADC1 = new QCheckBox(QStringLiteral("Z acc"), this);
    LbLReadingBuffer = new QLabel(QStringLiteral("Reading Capture Buffer"), this);
    LbLReadingBuffer->hide();
    layout->addWidget(ckXacc);
    layout->addWidget(ckADC0);
    layout->addWidget(ckADC1);
    layout->addWidget(LbLReadingBuffer);
}

void DataPlotWidget::PlotCaptureData() {}
void DataPlotWidget::PlotCaptureDataExtendedMode() {}
void DataPlotWidget::ClearPlot() {}
void DataPlotWidget::SetStartValues() { ckXacc->setChecked(true); }
