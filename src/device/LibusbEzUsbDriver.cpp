#include "device/LibusbEzUsbDriver.h"
#include <algorithm>
#include <array>
#include <cstring>
#include <libusb.h>

namespace {
constexpr int kMaxPipes = 17;
constexpr int kPipeEntryOffset = 16;
constexpr int kPipeEntrySize = 20;

void PutLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// Bus number, then the port path: the order in which cards get their slot numbers.
std::vector<uint8_t> Location(libusb_device* dev)
{
    std::array<uint8_t, 8> ports{};
    const int n = libusb_get_port_numbers(dev, ports.data(), static_cast<int>(ports.size()));
    std::vector<uint8_t> key{libusb_get_bus_number(dev)};
    for (int i = 0; i < n; ++i)
        key.push_back(ports[static_cast<size_t>(i)]);
    if (n <= 0)
        key.push_back(libusb_get_device_address(dev));
    return key;
}
} // namespace

LibusbEzUsbDriver::LibusbEzUsbDriver(bool keepOpen) : keepOpen_(keepOpen)
{
    if (libusb_init(&ctx_) != 0)
        ctx_ = nullptr;   // no USB at all: every device counts as absent
}

LibusbEzUsbDriver::~LibusbEzUsbDriver()
{
    for (auto& [slot, dev] : devices_)
        Shut(dev);
    devices_.clear();
    ForgetCards();
    if (ctx_)
        libusb_exit(ctx_);
}

std::string LibusbEzUsbDriver::AccessNoteText()
{
    return "A USB-SPI card is attached, but this user may not open it. Install the udev rule "
           "70-sensorbench-usbspi.rules from the program's packaging folder (an installed package puts it "
           "in /lib/udev/rules.d):\n"
           "    sudo cp packaging/70-sensorbench-usbspi.rules /etc/udev/rules.d/\n"
           "    sudo udevadm control --reload-rules && sudo udevadm trigger\n"
           "then unplug the card, plug it in again and search again.";
}

const std::vector<libusb_device*>& LibusbEzUsbDriver::Cards()
{
    if ((scanned_ && keepOpen_) || !ctx_)
        return cards_;
    ForgetCards();
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(ctx_, &list);
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) == 0 && d.idVendor == ezusb::kCardVendorId)
            cards_.push_back(libusb_ref_device(list[i]));
    }
    if (list)
        libusb_free_device_list(list, 1);
    std::stable_sort(cards_.begin(), cards_.end(),
                     [](libusb_device* a, libusb_device* b) { return Location(a) < Location(b); });
    scanned_ = true;
    return cards_;
}

void LibusbEzUsbDriver::ForgetCards()
{
    for (auto* d : cards_)
        libusb_unref_device(d);
    cards_.clear();
    scanned_ = false;
}

void LibusbEzUsbDriver::Shut(Device& dev)
{
    if (!dev.handle)
        return;
    if (dev.claimed)
        libusb_release_interface(dev.handle, dev.interfaceNumber);
    libusb_close(dev.handle);
    dev.handle = nullptr;
    dev.claimed = false;
}

void LibusbEzUsbDriver::Rescan()
{
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (auto& [slot, dev] : devices_)
        Shut(dev);
    ForgetCards();
}

int LibusbEzUsbDriver::DeviceCount()
{
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return static_cast<int>(Cards().size());
}

std::string LibusbEzUsbDriver::TakeAccessNote()
{
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const bool denied = accessDenied_;
    accessDenied_ = false;
    return denied ? AccessNoteText() : std::string();
}

int32_t LibusbEzUsbDriver::Open(const std::string& name)
{
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<int> parsed = ezusb::SlotOfName(name);
    if (!parsed)
        return -1;
    const int slot = *parsed;

    // A card pulled out since the last use fails its next request, which drops the handle.
    Device& kept = devices_[slot];
    if (!kept.handle) {
        const auto& cards = Cards();
        if (static_cast<size_t>(slot) >= cards.size())
            return -1;
        libusb_device* dev = cards[static_cast<size_t>(slot)];
        Device o;
        const int rc = libusb_open(dev, &o.handle);
        if (rc != 0) {
            if (rc == LIBUSB_ERROR_ACCESS)
                accessDenied_ = true;
            if (!keepOpen_)
                ForgetCards();
            return -1;
        }
        // The pipe table of interface 0, first alternate setting.
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(dev, &config) == 0 && config) {
            if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
                const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
                o.interfaceNumber = alt.bInterfaceNumber;
                std::vector<Endpoint> eps;
                for (int i = 0; i < alt.bNumEndpoints; ++i) {
                    const auto& e = alt.endpoint[i];
                    eps.push_back({e.bEndpointAddress, e.bmAttributes, e.wMaxPacketSize, e.bInterval});
                }
                o.pipes.assign(std::min<size_t>(std::max<size_t>(eps.size(), 2), kMaxPipes), Endpoint{});
                auto firstBulk = [&eps](bool in) {
                    for (const auto& e : eps)
                        if ((e.attributes & 3) == LIBUSB_TRANSFER_TYPE_BULK && ((e.address & 0x80) != 0) == in)
                            return e;
                    return Endpoint{};
                };
                o.pipes[0] = firstBulk(false);
                o.pipes[1] = firstBulk(true);
                for (size_t k = 2; k < o.pipes.size(); ++k)
                    o.pipes[k] = eps[k];
            }
            libusb_free_config_descriptor(config);
        }
        o.users = kept.users;
        kept = o;
        if (!keepOpen_)
            ForgetCards();
    }
    ++kept.users;
    const int32_t id = nextHandle_++;
    open_[id] = slot;
    return id;
}

void LibusbEzUsbDriver::Close(int32_t handle)
{
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = open_.find(handle);
    if (it == open_.end())
        return;
    Device& dev = devices_[it->second];
    open_.erase(it);
    if (--dev.users <= 0) {
        dev.users = 0;
        if (!keepOpen_)
            Shut(dev);
    }
}

bool LibusbEzUsbDriver::IoControl(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out,
                                  uint32_t outLen, uint32_t* returned)
{
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    uint32_t dummy = 0;
    if (!returned)
        returned = &dummy;
    *returned = 0;
    auto it = open_.find(handle);
    if (it == open_.end())
        return false;
    Device& dev = devices_[it->second];
    if (!dev.handle)
        return false;   // dropped after an earlier failure
    const bool ok = Request(dev, code, in, inLen, static_cast<uint8_t*>(out), outLen, returned);
    // The card may be gone, and with it the bus order the slots were numbered in.
    if (!ok)
        Rescan();
    return ok;
}

bool LibusbEzUsbDriver::Request(Device& dev, uint32_t code, const void* in, uint32_t inLen, uint8_t* o,
                                uint32_t outLen, uint32_t* returned)
{
    switch (code) {
    case ezusb::kIoctlGetDeviceDescriptor: {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(libusb_get_device(dev.handle), &d) != 0)
            return false;
        uint8_t raw[18] = {d.bLength, d.bDescriptorType};
        PutLe16(raw + 2, d.bcdUSB);
        raw[4] = d.bDeviceClass, raw[5] = d.bDeviceSubClass, raw[6] = d.bDeviceProtocol;
        raw[7] = d.bMaxPacketSize0;
        PutLe16(raw + 8, d.idVendor);
        PutLe16(raw + 10, d.idProduct);
        PutLe16(raw + 12, d.bcdDevice);
        raw[14] = d.iManufacturer, raw[15] = d.iProduct, raw[16] = d.iSerialNumber;
        raw[17] = d.bNumConfigurations;
        const uint32_t n = std::min<uint32_t>(outLen, sizeof raw);
        std::memcpy(o, raw, n);
        *returned = n;
        return true;
    }
    case ezusb::kIoctlGetStringDescriptor:
        return StringDescriptor(dev, static_cast<const uint8_t*>(in), inLen, o, outLen, returned);
    case ezusb::kIoctlGetPipeInfo:
        return PipeInfo(dev, o, outLen, returned);
    case ezusb::kIoctlBulkTransfer:
        return Bulk(dev, static_cast<const uint8_t*>(in), inLen, o, outLen, returned);
    default:
        return false;
    }
}

bool LibusbEzUsbDriver::StringDescriptor(Device& dev, const uint8_t* in, uint32_t inLen, uint8_t* out,
                                         uint32_t outLen, uint32_t* returned)
{
    if (inLen < 1)
        return false;
    uint8_t buf[255] = {};
    int rc = 0;
    if (in[0] == 0) {
        rc = libusb_get_string_descriptor(dev.handle, 0, 0, buf, sizeof buf);
    } else {
        uint8_t langs[255] = {};
        const int n = libusb_get_string_descriptor(dev.handle, 0, 0, langs, sizeof langs);
        if (n < 4)
            return false;
        const uint16_t lang = static_cast<uint16_t>(langs[2] | (langs[3] << 8));
        rc = libusb_get_string_descriptor(dev.handle, in[0], lang, buf, sizeof buf);
    }
    if (rc < 2)
        return false;
    const uint32_t n = std::min<uint32_t>(outLen, static_cast<uint32_t>(rc));
    std::memcpy(out, buf, n);
    *returned = n;
    return true;
}

bool LibusbEzUsbDriver::PipeInfo(Device& dev, uint8_t* out, uint32_t outLen, uint32_t* returned)
{
    if (outLen < ezusb::kPipeInfoBufferSize)
        return false;
    std::memset(out, 0, ezusb::kPipeInfoBufferSize);
    PutLe16(out, static_cast<uint16_t>(ezusb::kPipeInfoBufferSize));
    out[2] = static_cast<uint8_t>(dev.interfaceNumber);
    out[12] = static_cast<uint8_t>(dev.pipes.size());
    for (size_t p = 0; p < dev.pipes.size(); ++p) {
        uint8_t* e = out + kPipeEntryOffset + kPipeEntrySize * p;
        PutLe16(e, dev.pipes[p].maxPacket);
        e[2] = dev.pipes[p].address;
        e[3] = dev.pipes[p].interval;
        e[4] = dev.pipes[p].attributes & 3;
    }
    *returned = ezusb::kPipeInfoBufferSize;
    return true;
}

bool LibusbEzUsbDriver::Bulk(Device& dev, const uint8_t* in, uint32_t inLen, uint8_t* out, uint32_t outLen,
                             uint32_t* returned)
{
    if (inLen < 4)
        return false;
    uint32_t pipe = 0;
    std::memcpy(&pipe, in, 4);
    if (pipe >= dev.pipes.size() || dev.pipes[pipe].address == 0)
        return false;
    if (!dev.claimed) {
        libusb_set_auto_detach_kernel_driver(dev.handle, 1);
        if (libusb_claim_interface(dev.handle, dev.interfaceNumber) != 0)
            return false;
        dev.claimed = true;
    }
    int transferred = 0;
    const int rc = libusb_bulk_transfer(dev.handle, dev.pipes[pipe].address, out, static_cast<int>(outLen),
                                        &transferred, static_cast<unsigned>(kTransferTimeout.count()));
    // A timed-out transfer may still have moved part of the data.
    *returned = transferred > 0 ? static_cast<uint32_t>(transferred) : 0;
    return rc == 0;
}
