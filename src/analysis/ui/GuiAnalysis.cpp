#include "analysis/ui/GuiAnalysis.h"
#include "analysis/ui/AnalysisPanelWidget.h"
#include "analysis/ui/AmplitudeSpectrumWidget.h"
#include "analysis/ui/TrendWidget.h"
#include "capture/ui/DataPlotWidget.h"
#include "capture/CaptureRecord.h"
#include "capture/ui/frmForm1.h"
#include "shell/Module1.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace GuiAnalysis {

namespace {

// The capture on show, as its record says it was taken; only the counts/g choice is the user's now.
analysis::RecordView ViewOf(frmForm1*)
{
    return analysis::ViewOfRecord(CaptureRecord::Last);
}

} // namespace

AnalysisPanelWidget* Panel(frmForm1* w)
{
    return w->findChild<AnalysisPanelWidget*>();
}

SpectrumWidget* Spectrum(frmForm1* w)
{
    return w->findChild<SpectrumWidget*>();
}

void Attach(frmForm1* w)
{
    DataPlotWidget* plot = w->FrameDataPLot;
    QWidget* parent = plot->parentWidget();
    QLayout* layout = parent ? parent->layout() : nullptr;
    if (!layout)
        return;

    auto* area = new QWidget(parent);
    auto* tabs = new QTabWidget(area);
    tabs->setObjectName(QStringLiteral("tabPlots"));
    auto* spectrum = new SpectrumWidget;
    auto* panel = new AnalysisPanelWidget(area);
    layout->replaceWidget(plot, area);
    tabs->addTab(plot, QStringLiteral("Time"));
    tabs->addTab(spectrum, QStringLiteral("Spectrum"));
    auto* trend = new TrendWidget;
    trend->setObjectName(QStringLiteral("trend"));
    tabs->addTab(trend, QStringLiteral("Trend"));
    // A point clicked in the trend becomes the capture on show in the time plot and the analysis.
    trend->onCaptureLoaded = [w, tabs, plot](const QString& source) {
        w->ShowStoredCapture(source);
        tabs->setCurrentWidget(plot);
    };
    auto* v = new QVBoxLayout(area);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(tabs, 1);
    v->addWidget(panel);
    area->setSizePolicy(plot->sizePolicy());

    panel->SetSpectrum(spectrum);
    panel->AttachTimePlot(plot->picture1);
    panel->recordView = [w] { return ViewOf(w); };
    panel->currentPlot = [tabs] { return tabs->currentWidget(); };
    // The averaging or product may have changed since the read-out.
    QObject::connect(tabs, &QTabWidget::currentChanged, panel, [panel, spectrum, tabs] {
        if (tabs->currentWidget() == spectrum)
            panel->Refresh();
    });

    panel->actExportPng->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    panel->actCopyPlot->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    QObject::connect(panel->actCopyPlot, &QAction::triggered, w,
                     [w] { w->ShowNote(QStringLiteral("Plot copied to the clipboard")); });

    auto* menu = new QMenu(QStringLiteral("&Analysis"), w);
    menu->addAction(panel->actExportPng);
    menu->addAction(panel->actExportSvg);
    menu->addAction(panel->actExportPdf);
    menu->addAction(panel->actExportCsv);
    menu->addSeparator();
    menu->addAction(panel->actCopyPlot);
    w->menuBar()->insertMenu(w->MnuExit, menu);
}

void Refresh(frmForm1* w)
{
    if (AnalysisPanelWidget* panel = Panel(w))
        panel->Refresh();
}

} // namespace GuiAnalysis
