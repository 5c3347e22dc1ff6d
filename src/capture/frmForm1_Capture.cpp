#include "capture/frmForm1.h"
#include "capture/DataPlotWidget.h"

void frmForm1::cmdONE_Click() {}
void frmForm1::DisplayCapInProgress(int16_t&) {}
void frmForm1::PollBusy() {}
void frmForm1::ReadCaptureBuffer() {}
void frmForm1::PlotCaptureData() { FrameDataPLot->PlotCaptureData(); }
