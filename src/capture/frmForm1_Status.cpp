#include "capture/frmForm1.h"

void frmForm1::ReadStatus() {}
void frmForm1::ClearStatus() {}
