// Per-transfer cost of the libusb card driver against a scripted card in a umockdev testbed,
// with the device handle dropped at every close (as every driver close did before) and kept.
// Run: umockdev-wrapper build/bench_libusbcard [transfers]
#include "LibusbCounters.h"
#include "UmockdevCard.h"

#include <dlfcn.h>
#include <libusb.h>

#include "device/EzUsb.h"
#include "device/LibusbEzUsbDriver.h"
#include "device/Spi_mod.h"
#include "shell/Module1.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>


namespace {
void Run(const char* label, bool keepOpen, int transfers)
{
    SetEzUsbDriver(std::make_shared<LibusbEzUsbDriver>(keepOpen));
    SelectFirstUsbCard();
    if (EzUsb::SelectedUsbCard.Valid != VTrue) {
        std::printf("%s: no card found\n", label);
        return;
    }
    libusbcount::scans = libusbcount::opens = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < transfers; ++i) {
        int16_t address = 0x02;
        ReadRegWord(address);
    }
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - t0;
    std::printf("%-28s %8.1f us per transfer   %.2f bus scans, %.2f device opens per transfer  (n=%d)\n", label,
                spent.count() / transfers, double(libusbcount::scans) / transfers, double(libusbcount::opens) / transfers, transfers);
    SetEzUsbDriver(nullptr);
}
} // namespace

int main(int argc, char** argv)
{
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "umockdev-preload")) {
        std::fprintf(stderr, "run this under umockdev-wrapper\n");
        return 2;
    }
    const int transfers = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    UMockdevTestbed* testbed = umockdev_testbed_new();
    umockcard::UsbCard card;
    UMockdevIoctlBase* handler = umockcard::Attach(testbed, 2, card);
    umockcard::AddDevice(testbed, 2, ezusb::kProductIdFifo4, 512);

    Module1::InitialiseState();
    Module1::InterfaceType = kInterfaceUsb;
    std::printf("libusb card driver under umockdev, one 2-word register read per transfer\n");
    Run("handle dropped at each close", false, transfers);
    Run("handle kept", true, transfers);

    g_object_unref(handler);
    g_object_unref(testbed);
    return 0;
}
