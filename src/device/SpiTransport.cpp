#include "device/SpiTransport.h"
#include "device/ParallelPort.h"
#include "device/UsbSpiDrivers.h"

namespace {
std::shared_ptr<SpiTransport> g_usb, g_parallel;
}

SpiTransport* SpiTransportFor(int16_t interfaceKind)
{
    switch (interfaceKind) {
    case kInterfaceUsb:
        return g_usb ? g_usb.get() : &UsbCardSpiTransport();
    case kInterfaceParallel:
        return g_parallel ? g_parallel.get() : &ParallelPortSpiTransport();
    default:
        return nullptr;
    }
}

void SetSpiTransport(InterfaceKind kind, std::shared_ptr<SpiTransport> transport)
{
    if (kind == kInterfaceUsb)
        g_usb = std::move(transport);
    else if (kind == kInterfaceParallel)
        g_parallel = std::move(transport);
}
