#pragma once
// Puts the spectrum view and the analysis panel into the main window: a "Spectrum" tab beside
// the time plot, the statistics under both, and an "Analysis" menu. The time plot is not changed.
class frmForm1;
class AnalysisPanelWidget;
class SpectrumWidget;

namespace GuiAnalysis {

void Attach(frmForm1* w);
// After a read-out: statistics and spectrum from the new record (nothing before Attach).
void Refresh(frmForm1* w);

AnalysisPanelWidget* Panel(frmForm1* w);
SpectrumWidget* Spectrum(frmForm1* w);

} // namespace GuiAnalysis
