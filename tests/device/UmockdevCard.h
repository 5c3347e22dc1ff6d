#pragma once
// A scripted USB-SPI card on usbfs for a umockdev testbed (descriptors, the ioctls libusb
// makes, commands 0 and 13/14), shared by the libusb card test and its benchmark.
// glib and umockdev come before any Qt header.
#include <umockdev.h>

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <mutex>
#include <vector>

#include "device/EzUsbDriver.h"

namespace umockcard {
constexpr uint8_t kEpOut = 0x02;
constexpr uint8_t kEpIn = 0x86;

// Answers commands 0 and 13/14; a silent card takes messages but never answers.
struct UsbCard {
    std::mutex m;
    bool silent = false;
    bool gone = false;                            // unplugged: every request fails as the kernel's do
    int claims = 0;                               // interface claims seen
    std::vector<std::vector<uint8_t>> received;   // bulk OUT messages
    std::deque<uint16_t> miso;                    // words the sensor answers
    std::vector<uint8_t> answer;
    UMockdevIoctlData* pendingIn = nullptr;       // an IN URB waiting for an answer
    std::deque<UMockdevIoctlData*> done;          // URBs ready to be reaped
};

inline std::vector<uint8_t> StringDescriptor(int index)
{
    if (index == 0)
        return {4, 3, 0x09, 0x04};
    const char* text = index == 1 ? "Bench Maker" : "SPI Card";
    std::vector<uint8_t> d{static_cast<uint8_t>(2 + 2 * std::strlen(text)), 3};
    for (const char* p = text; *p; ++p)
        d.push_back(static_cast<uint8_t>(*p)), d.push_back(0);
    return d;
}

inline void Firmware(UsbCard& c, const std::vector<uint8_t>& msg)
{
    c.answer.clear();
    if (c.silent || msg.empty())
        return;
    if (msg[0] == 0)
        c.answer = {3, 1};
    else if ((msg[0] == 13 || msg[0] == 14) && msg.size() >= 3) {
        for (int i = 0; i < msg[2]; ++i) {
            uint16_t w = 0;
            if (!c.miso.empty())
                w = c.miso.front(), c.miso.pop_front();
            c.answer.push_back(static_cast<uint8_t>(w >> 8));
            c.answer.push_back(static_cast<uint8_t>(w & 0xFF));
        }
    }
}

inline bool AnswerIn(UsbCard& c, UMockdevIoctlData* urbData)
{
    if (c.answer.empty())
        return false;
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    const size_t n = std::min<size_t>(c.answer.size(), static_cast<size_t>(urb->buffer_length));
    std::memcpy(urb->buffer, c.answer.data(), n);
    urb->actual_length = static_cast<int>(n);
    urb->status = 0;
    c.answer.clear();
    return true;
}

inline gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user)
{
    auto& c = *static_cast<UsbCard*>(user);
    std::lock_guard<std::mutex> lock(c.m);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (c.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    switch (umockdev_ioctl_client_get_request(client)) {
    case USBDEVFS_GET_CAPABILITIES: {
        g_autoptr(UMockdevIoctlData) d = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
        *reinterpret_cast<guint32*>(d->data) = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE:
        ++c.claims;
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:   // disconnecting a kernel driver: there is none
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return TRUE;
    case USBDEVFS_SUBMITURB: {
        UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        g_autoptr(UMockdevIoctlData) buf =
            umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length),
                                        nullptr);
        urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        auto* bytes = static_cast<uint8_t*>(urb->buffer);
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            // GET_DESCRIPTOR (string) is the only control request the driver makes.
            const int index = bytes[2];
            const int wLength = bytes[6] | (bytes[7] << 8);
            const auto d = StringDescriptor(index);
            const size_t n = std::min<size_t>(d.size(), static_cast<size_t>(wLength));
            std::memcpy(bytes + 8, d.data(), n);
            urb->actual_length = static_cast<int>(n);
            urb->status = 0;
            c.done.push_back(urbData);
        } else if (urb->endpoint == kEpOut) {
            c.received.emplace_back(bytes, bytes + urb->buffer_length);
            Firmware(c, c.received.back());
            urb->actual_length = urb->buffer_length;
            urb->status = 0;
            c.done.push_back(urbData);
        } else if (urb->endpoint == kEpIn) {
            if (AnswerIn(c, urbData))
                c.done.push_back(urbData);
            else
                c.pendingIn = urbData;   // a silent card: only a discard ends it
        } else {
            g_object_unref(urbData);
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return TRUE;
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        if (c.done.empty()) {
            umockdev_ioctl_client_complete(client, -1, EAGAIN);
            return TRUE;
        }
        UMockdevIoctlData* urbData = c.done.front();
        c.done.pop_front();
        g_autoptr(UMockdevIoctlData) ptr = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
        umockdev_ioctl_data_set_ptr(ptr, 0, urbData);
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_DISCARDURB: {
        if (c.pendingIn && *reinterpret_cast<gulong*>(arg->data) == c.pendingIn->client_addr) {
            reinterpret_cast<usbdevfs_urb*>(c.pendingIn->data)->status = -ENOENT;
            c.done.push_back(c.pendingIn);
            c.pendingIn = nullptr;
            umockdev_ioctl_client_complete(client, 0, 0);
        } else {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
        }
        return TRUE;
    }
    default:
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return TRUE;
    }
}

inline QByteArray Descriptors(uint16_t product, uint16_t pipe3Packet)
{
    QByteArray d;
    auto put = [&d](std::initializer_list<int> bytes) {
        for (int b : bytes)
            d.append(static_cast<char>(b));
    };
    put({18, 1, 0x00, 0x02, 0xFF, 0, 0, 64, ezusb::kCardVendorId & 0xFF, ezusb::kCardVendorId >> 8, product & 0xFF,
         product >> 8, 0x00, 0x01, 1, 2, 0, 1});
    put({9, 2, 9 + 9 + 4 * 7, 0, 1, 1, 0, 0x80, 50});
    put({9, 4, 0, 0, 4, 0xFF, 0, 0, 0});
    // Pipe 3's packet size tells the USB version.
    put({7, 5, kEpOut, 2, 0x00, 0x02, 0});
    put({7, 5, kEpIn, 2, 0x00, 0x02, 0});
    put({7, 5, 0x04, 2, 0x00, 0x02, 0});
    put({7, 5, 0x88, 2, pipe3Packet & 0xFF, pipe3Packet >> 8, 0});
    return d.toHex();
}

// Adds device 1-<n> with its usbfs node to the testbed and the card's handler to the node;
// returns the device's sysfs path.
inline QByteArray AddDevice(UMockdevTestbed* testbed, int n, uint16_t product, uint16_t pipe3Packet)
{
    const QByteArray node = QByteArray("/dev/bus/usb/001/") + QByteArray::number(n).rightJustified(3, '0');
    const QByteArray num = QByteArray::number(n);
    const QByteArray text = "P: /devices/pci0000:00/usb1/1-" + num + "\n" + "N: " + node.mid(5) + "\n" +
                            "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n" + "E: DEVNAME=" + node +
                            "\n" + "E: BUSNUM=001\nE: DEVNUM=" + num.rightJustified(3, '0') + "\n" +
                            "A: busnum=1\\n\nA: devnum=" + num + "\\n\nA: bConfigurationValue=1\\n\n" +
                            "A: speed=480\\n\n" + "H: descriptors=" + Descriptors(product, pipe3Packet) + "\n";
    g_autoptr(GError) error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, text.constData(), &error))
        return {};
    return "/sys/devices/pci0000:00/usb1/1-" + num;
}

// Puts `card` behind the node of device 1-<n>; the returned handler belongs to the caller.
inline UMockdevIoctlBase* Attach(UMockdevTestbed* testbed, int n, UsbCard& card)
{
    const QByteArray node = QByteArray("/dev/bus/usb/001/") + QByteArray::number(n).rightJustified(3, '0');
    UMockdevIoctlBase* h = umockdev_ioctl_base_new();
    g_signal_connect(h, "handle-ioctl", G_CALLBACK(HandleIoctl), &card);
    g_autoptr(GError) error = nullptr;
    umockdev_testbed_attach_ioctl(testbed, node.constData(), h, &error);
    return h;
}
} // namespace umockcard
