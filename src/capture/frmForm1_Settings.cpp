#include "capture/frmForm1.h"

void frmForm1::WriteCapCtrl() {}
void frmForm1::ReadCapCtrl() {}
void frmForm1::ShowWorkingCapPrd(double) {}
void frmForm1::WriteCAPT_PRD() {}
void frmForm1::ReadCapPrd() {}
void frmForm1::txtTimerValue_KeyUp() {}
void frmForm1::ComboAVG_Click() {}
void frmForm1::ReadAVG() {}
