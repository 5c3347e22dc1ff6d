// The libusb card driver against scripted usbfs devices in a umockdev testbed (run under
// umockdev-wrapper).
#include "LibusbCounters.h"
#include "UmockdevCard.h"

#include <dlfcn.h>
#include <libusb.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "TestSupport.h"
#include "capture/BufferReadout.h"
#include "capture/FastReadout.h"
#include "device/EzUsb.h"
#include "device/LibusbEzUsbDriver.h"
#include "device/Spi_mod.h"
#include "device/UsbSpiDrivers.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"

using umockcard::UsbCard;


namespace {
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
        if (attach) {
            handlers.push_back(umockcard::Attach(testbed, n, c));
            nodes.push_back(QByteArray("/dev/bus/usb/001/") + QByteArray::number(n).rightJustified(3, '0'));
        }
        const QByteArray syspath = umockcard::AddDevice(testbed, n, product, pipe3Packet);
        if (syspath.isEmpty())
            qFatal("cannot add the test device");
        syspaths.push_back(syspath);
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
        Module1::InterfaceType = kInterfaceUsb;
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

    // Each transfer opens and closes the card at the driver; the kept handle makes that free.
    // The batched read-out (585 transfers) keeps the test short under umockdev's ~2 ms per
    // transfer; the word-by-word one makes the same calls ten times as often.
    void readOutOpensAndScansOnce()
    {
        UsbCard& c = AddCard(2);
        StartDriver();
        Module1::ProductNumber = 31473;
        BuildTable31473();
        SelectFirstUsbCard();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        libusbcount::scans = libusbcount::opens = 0;
        c.m.lock();
        c.received.clear();
        c.claims = 0;
        c.m.unlock();
        FastReadout::Enabled = true;
        CaptureRecord::Record record;
        BufferReadout::ReadCaptureRecord(ProgramSession(), record);
        FastReadout::Enabled = false;
        QCOMPARE(sbtest::MessageTexts(), QStringList());
        std::lock_guard<std::mutex> lock(c.m);
        // Five scalars, the pointer reset, two delay settings and 3 x 3 x 1024 + 1 frames by 16.
        QCOMPARE(int(c.received.size()), 5 + 1 + 2 + (3 * 3 * 1024 + 1 + 15) / 16);
        QVERIFY2(libusbcount::scans <= 1, qPrintable(QString::number(libusbcount::scans)));
        QVERIFY2(libusbcount::opens <= 1, qPrintable(QString::number(libusbcount::opens)));
        QVERIFY2(c.claims <= 1, qPrintable(QString::number(c.claims)));
    }

    void removedCardIsAnError()
    {
        UsbCard& c = AddCard(2);
        StartDriver();
        SelectFirstUsbCard();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        c.m.lock();
        c.gone = true;
        c.m.unlock();
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
