// The libusb card driver against scripted usbfs devices in a umockdev testbed (run under
// umockdev-wrapper). glib and umockdev come before any Qt header.
#include <umockdev.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <linux/capability.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "TestSupport.h"
#include "device/EzUsb.h"
#include "device/LibusbEzUsbDriver.h"
#include "device/Spi_mod.h"
#include "device/UsbSpiDrivers.h"
#include "shell/Module1.h"

namespace {
constexpr uint8_t kEpOut = 0x02;
constexpr uint8_t kEpIn = 0x86;

// Answers commands 0 and 13/14; a silent card takes messages but never answers.
struct UsbCard {
    std::mutex m;
    bool silent = false;
    std::vector<std::vector<uint8_t>> received;   // bulk OUT messages
    std::deque<uint16_t> miso;                    // words the sensor answers
    std::vector<uint8_t> answer;
    UMockdevIoctlData* pendingIn = nullptr;       // an IN URB waiting for an answer
    std::deque<UMockdevIoctlData*> done;          // URBs ready to be reaped
};

std::vector<uint8_t> StringDescriptor(int index)
{
    if (index == 0)
        return {4, 3, 0x09, 0x04};
    const char* text = index == 1 ? "Bench Maker" : "SPI Card";
    std::vector<uint8_t> d{static_cast<uint8_t>(2 + 2 * std::strlen(text)), 3};
    for (const char* p = text; *p; ++p)
        d.push_back(static_cast<uint8_t>(*p)), d.push_back(0);
    return d;
}

void Firmware(UsbCard& c, const std::vector<uint8_t>& msg)
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

bool AnswerIn(UsbCard& c, UMockdevIoctlData* urbData)
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

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user)
{
    auto& c = *static_cast<UsbCard*>(user);
    std::lock_guard<std::mutex> lock(c.m);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    switch (umockdev_ioctl_client_get_request(client)) {
    case USBDEVFS_GET_CAPABILITIES: {
        g_autoptr(UMockdevIoctlData) d = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
        *reinterpret_cast<guint32*>(d->data) = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE:
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

QByteArray Descriptors(uint16_t product, uint16_t pipe3Packet)
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

// Root bypasses file modes; dropping the DAC capabilities makes a locked node refuse us.
void SetDacOverride(bool on)
{
    __user_cap_header_struct hdr{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &hdr, data) != 0)
        return;
    const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective = on ? (data[0].effective | (data[0].permitted & mask)) : (data[0].effective & ~mask);
    syscall(SYS_capset, &hdr, data);
}
} // namespace

class LibusbCardTest : public QObject {
    Q_OBJECT
    UMockdevTestbed* testbed = nullptr;
    std::vector<QByteArray> syspaths;
    std::vector<UMockdevIoctlBase*> handlers;
    std::vector<QByteArray> nodes;
    std::deque<UsbCard> cards;
    std::shared_ptr<LibusbEzUsbDriver> driver;

    // Device 1-<n>; attach=false leaves it without an ioctl handler.
    UsbCard& AddCard(int n, uint16_t product = ezusb::kProductIdFifo4, uint16_t pipe3Packet = 512,
                     bool attach = true)
    {
        UsbCard& c = cards.emplace_back();
        const QByteArray node = QByteArray("/dev/bus/usb/001/") + QByteArray::number(n).rightJustified(3, '0');
        if (attach) {
            UMockdevIoctlBase* h = umockdev_ioctl_base_new();
            g_signal_connect(h, "handle-ioctl", G_CALLBACK(HandleIoctl), &c);
            handlers.push_back(h);
            nodes.push_back(node);
            g_autoptr(GError) error = nullptr;
            umockdev_testbed_attach_ioctl(testbed, node.constData(), h, &error);
        }
        const QByteArray num = QByteArray::number(n);
        const QByteArray text = "P: /devices/pci0000:00/usb1/1-" + num + "\n" + "N: " + node.mid(5) + "\n" +
                                "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n" + "E: DEVNAME=" + node +
                                "\n" + "E: BUSNUM=001\nE: DEVNUM=" + num.rightJustified(3, '0') + "\n" +
                                "A: busnum=1\\n\nA: devnum=" + num + "\\n\nA: bConfigurationValue=1\\n\n" +
                                "A: speed=480\\n\n" + "H: descriptors=" + Descriptors(product, pipe3Packet) + "\n";
        g_autoptr(GError) error = nullptr;
        if (!umockdev_testbed_add_from_string(testbed, text.constData(), &error))
            qFatal("cannot add the test device: %s", error ? error->message : "?");
        syspaths.push_back("/sys/devices/pci0000:00/usb1/1-" + num);
        return c;
    }

    void StartDriver() { SetEzUsbDriver(driver = std::make_shared<LibusbEzUsbDriver>()); }

    QString NodePath(int n) const
    {
        g_autofree gchar* root = umockdev_testbed_get_root_dir(testbed);
        return QString::fromUtf8(root) + QStringLiteral("/dev/bus/usb/001/%1").arg(n, 3, 10, QLatin1Char('0'));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariable("LD_PRELOAD").contains("umockdev-preload"), "run this test under umockdev-wrapper");
        testbed = umockdev_testbed_new();
    }
    void cleanupTestCase() { g_clear_object(&testbed); }
    void init()
    {
        Module1::InitialiseState();
        Module1::InterfaceType = 2;
        EzUsb::SelectedUsbCard = {};
        sbtest::ClearMessages();
    }

    void cleanup()
    {
        SetEzUsbDriver(nullptr);
        driver.reset();
        for (const auto& p : syspaths)
            umockdev_testbed_remove_device(testbed, p.constData());
        syspaths.clear();
        for (const auto& n : nodes)
            umockdev_testbed_detach_ioctl(testbed, n.constData(), nullptr);
        nodes.clear();
        for (auto* h : handlers)
            g_object_unref(h);
        handlers.clear();
        cards.clear();
    }

    void cardEnumeratesAndAnswers()
    {
        UsbCard& c = AddCard(2, ezusb::kProductIdMcp, 64);
        StartDriver();
        SelectFirstUsbCard();
        QCOMPARE(sbtest::MessageTexts().join(" | "), QString());
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        QCOMPARE(EzUsb::SelectedUsbCard.CardType, QStringLiteral("MCP"));
        QCOMPARE(EzUsb::SelectedUsbCard.Manufacturer, QStringLiteral("Bench Maker"));
        QCOMPARE(EzUsb::SelectedUsbCard.FirmwareVersion, 3.1f);
        QCOMPARE(EzUsb::SelectedUsbCard.UsbVersion, QStringLiteral("1.1"));   // pipe 3: 64 bytes

        // A register read: one 2-word transfer, the answer in the second word.
        c.m.lock();
        c.received.clear();
        c.miso = {0xAAAA, 0x1234};
        c.m.unlock();
        int16_t address = 0x02;
        QCOMPARE(ReadRegWord(address), 0x1234);
        std::lock_guard<std::mutex> lock(c.m);
        QCOMPARE(c.received, (std::vector<std::vector<uint8_t>>{{13, 1, 2, 0x02, 0x00, 0x02, 0x00}}));
    }

    void permissionDeniedCountsAsAbsent()
    {
        AddCard(4, ezusb::kProductIdFifo4, 512, false);
        QVERIFY(QFile::exists(NodePath(4)));
        QVERIFY(chmod(NodePath(4).toLocal8Bit().constData(), 0) == 0);
        SetDacOverride(false);
        StartDriver();
        SelectFirstUsbCard();
        SetDacOverride(true);
        QCOMPARE(int(EzUsb::UsbCardCount), 0);
        QCOMPARE(sbtest::MessageTexts(), (QStringList{"No USB Buffers Found, Please Verify Setup and Restart",
                                                      QString::fromStdString(LibusbEzUsbDriver::AccessNoteText())}));
        QVERIFY(sbtest::MessageTexts()[1].contains("70-sensorbench-usbspi.rules"));
    }

    void silentCardIsAnErrorNotAHang()
    {
        UsbCard& c = AddCard(2);
        StartDriver();
        SelectFirstUsbCard();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        c.m.lock();
        c.silent = true;
        c.m.unlock();
        UsbSpiDrivers::SpiRxWords[2] = 0x0777;
        int16_t address = 0x02;
        QCOMPARE(ReadRegWord(address), 0x0777);   // the old receive buffer
        QCOMPARE(sbtest::MessageTexts(), QStringList{"Error Reading SPI"});
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VFalse);
    }

    void removedCardIsAnError()
    {
        AddCard(2);
        StartDriver();
        SelectFirstUsbCard();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        umockdev_testbed_uevent(testbed, syspaths.back().constData(), "remove");
        umockdev_testbed_remove_device(testbed, syspaths.back().constData());
        syspaths.pop_back();
        WriteRegByte(0x3E, 1);
        QCOMPARE(sbtest::MessageTexts(), QStringList{"Error Writing SPI"});
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VFalse);
    }
};

SB_TEST_MAIN(LibusbCardTest)
#include "umockdev_libusbcard.moc"
