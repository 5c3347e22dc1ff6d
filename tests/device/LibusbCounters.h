#pragma once
// Bus scans and device opens, counted on their way from the driver to libusb. Include in exactly
// one file of an executable: it defines the two libusb entry points, which call the real ones.
#include <dlfcn.h>
#include <libusb.h>

namespace libusbcount {
inline long scans = 0;
inline long opens = 0;
} // namespace libusbcount

extern "C" ssize_t libusb_get_device_list(libusb_context* ctx, libusb_device*** list)
{
    using Fn = ssize_t (*)(libusb_context*, libusb_device***);
    static const auto real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "libusb_get_device_list"));
    ++libusbcount::scans;
    return real(ctx, list);
}

extern "C" int libusb_open(libusb_device* dev, libusb_device_handle** handle)
{
    using Fn = int (*)(libusb_device*, libusb_device_handle**);
    static const auto real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "libusb_open"));
    ++libusbcount::opens;
    return real(dev, handle);
}
