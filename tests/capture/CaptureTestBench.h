#pragma once
// The main window on a fresh virtual board, for the window tests.
#include "../sim/SimTestBench.h"
#include "capture/CaptureRecord.h"
#include "capture/ui/DataPlotWidget.h"
#include "capture/ui/frmForm1.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

namespace tb {
// Loads as a settings file with this interface would; `before` runs just ahead of the load.
inline frmForm1* OpenMainWindow(int16_t interfaceType = 2, int cards = 1, const std::function<void()>& before = {})
{
    frmForm1::destroyInstance();
    sim::Install(cards, 0);
    Module1::InitialiseState();
    Module1::InterfaceType = interfaceType;
    Module1::PortAddress = 0x378;
    if (before)
        before();
    sbtest::ClearMessages();
    return frmForm1::instance();
}
} // namespace tb
