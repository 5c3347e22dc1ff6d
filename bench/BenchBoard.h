#pragma once
// The virtual board as the program runs it (SENSORBENCH_SIM=1: the sensor's frame timing
// enforced), its card selected and set up for `product`. False when no card could be selected.
#include "device/DeviceSetup.h"
#include "device/EzUsb.h"
#include "device/UsbSpiDrivers.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QtGlobal>

namespace bench {
inline bool UseVirtualCard(int product)
{
    qputenv("SENSORBENCH_SIM", "1");
    sim::InstallFromEnvironment(ProgramSessionHost());
    Module1::InitialiseState();
    Module1::ProductNumber = static_cast<int16_t>(product);
    product == 31470 ? BuildTable31470() : BuildTable31473();
    SelectFirstUsbCard();
    Module1::InterfaceType = kInterfaceUsb;
    SetSpiBits(Module1::SpiStaticBits);
    SetupSpi(Module1::SpiDelay);
    return EzUsb::SelectedUsbCard.Valid == VTrue;
}
} // namespace bench
