// Card search, failing board information, transfer bytes and failing card commands,
// against a scripted driver.
#include "FakeBackends.h"
#include "TestSupport.h"
#include "device/EzUsb.h"
#include "device/UsbSpiDrivers.h"
#include "shell/Module1.h"

using namespace EzUsb;
using Bytes = std::vector<uint8_t>;

class CardProtocolTest : public QObject {
    Q_OBJECT
    std::shared_ptr<fake::Driver> drv;

    void SelectCard0()
    {
        SelectFirstUsbCard();
        QCOMPARE(SelectedUsbCard.Valid, VTrue);
        drv->cards[0].sent.clear();
        sbtest::ClearMessages();
    }

private slots:
    void init()
    {
        drv = std::make_shared<fake::Driver>();
        for (auto& c : drv->cards)
            c.present = false;
        drv->cards[0].present = true;
        SetEzUsbDriver(drv);
        Module1::InitialiseState();
        SelectedUsbCard = {};
        sbtest::ClearMessages();
    }
    void cleanup() { SetEzUsbDriver(nullptr); }

    void search_data()
    {
        QTest::addColumn<QList<int>>("present");       // slots with a device
        QTest::addColumn<QList<int>>("products");      // product ID per present slot (vendor above)
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("message");
        const QString none = "No USB Buffers Found, Please Verify Setup and Restart";
        QTest::newRow("no device") << QList<int>{} << QList<int>{} << 0 << -1 << none;
        QTest::newRow("one MCP in slot 2") << QList<int>{2} << QList<int>{0xEF00} << 1 << 2 << QString();
        QTest::newRow("two cards") << QList<int>{1, 3} << QList<int>{0xED03, 0xEF00} << 2 << 1 << QString();
        QTest::newRow("wrong vendor") << QList<int>{0} << QList<int>{0x04B4ED03} << 0 << -1 << none;
        QTest::newRow("wrong product then card") << QList<int>{0, 1} << QList<int>{0x1234, 0xEF00} << 1 << 1
                                                 << QString();
    }
    void search()
    {
        QFETCH(QList<int>, present);
        QFETCH(QList<int>, products);
        QFETCH(int, selected);
        QFETCH(QString, message);
        drv->cards[0].present = false;
        for (int i = 0; i < present.size(); ++i) {
            fake::Card& c = drv->cards[static_cast<size_t>(present[i])];
            c.present = true;
            c.product = static_cast<uint16_t>(products[i]);
            if (products[i] > 0xFFFF)
                c.vendor = static_cast<uint16_t>(products[i] >> 16);
        }
        SelectFirstUsbCard();
        QTEST(int(UsbCardCount), "count");
        QCOMPARE(int(SelectedUsbCardIndex), selected);
        QCOMPARE(SelectedUsbCard.Valid, selected >= 0 ? VTrue : VFalse);
        QCOMPARE(sbtest::MessageTexts(), message.isEmpty() ? QStringList{} : QStringList{message});
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(int(UsbCards[i].Number), i);
            const bool counted = UsbCards[i].Valid == VTrue;
            QCOMPARE(UsbCards[i].Name, counted ? QStringLiteral("Ezusb-%1").arg(i) : QString());
        }
        QCOMPARE(drv->opens, drv->closes);
    }

    // Any missing piece of the board information makes the card unusable, with one message.
    void boardInfoFailure_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("manufacturer string") << 0;
        QTest::newRow("product string") << 1;
        QTest::newRow("command 0 write") << 2;
        QTest::newRow("command 0 answer") << 3;
        QTest::newRow("command 0 answer short") << 4;
        QTest::newRow("pipe query") << 5;
        QTest::newRow("pipe 3 packet size 0") << 6;
    }
    void boardInfoFailure()
    {
        QFETCH(int, fault);
        fake::Card& c = drv->cards[0];
        switch (fault) {
        case 0: c.failString = 1; break;
        case 1: c.failString = 2; break;
        case 2: c.failWrites = true; break;
        case 3: c.failReads = true; break;
        case 4: c.shortReads = true; break;
        case 5: c.failPipeInfo = true; break;
        default: c.pipe3MaxPacket = 0; break;
        }
        SelectFirstUsbCard();
        // Counted as found, but not usable.
        QCOMPARE(int(UsbCardCount), 1);
        QCOMPARE(UsbCards[0].Valid, VFalse);
        QCOMPARE(UsbCards[0].UsbVersion, QString());
        QCOMPARE(SelectedUsbCard.Valid, VFalse);
        QCOMPARE(sbtest::MessageTexts(),
                 (QStringList{"Error getting Board Info",
                              "No Valid USB Buffers Found, Please Verify Setup and Restart"}));
    }

    // Pipe 3's packet size tells the USB version: up to 64 bytes is a full-speed card.
    void boardInfo_data()
    {
        QTest::addColumn<int>("packet");
        QTest::addColumn<QString>("usb");
        QTest::newRow("64") << 64 << "1.1";
        QTest::newRow("65") << 65 << "2";
    }
    void boardInfo()
    {
        QFETCH(int, packet);
        drv->cards[0].pipe3MaxPacket = static_cast<uint16_t>(packet);
        SelectFirstUsbCard();
        QTEST(SelectedUsbCard.UsbVersion, "usb");
        QCOMPARE(SelectedUsbCard.Manufacturer, QStringLiteral("Fake Maker"));
        QCOMPARE(SelectedUsbCard.Product, QStringLiteral("Fake Card"));
        QCOMPARE(SelectedUsbCard.FirmwareVersion, 2.3f);
    }

    // The delay comes back whole; of the bits only the chip selects 2..5 (bits 3..6) are kept.
    void spiConfig_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("keptBits");
        QTest::newRow("all set") << 0xFF << 0xFF << 0x78;
        QTest::newRow("bits outside 3..6 only") << 0x01 << 0x87 << 0x00;
        QTest::newRow("bit 3") << 0x80 << 0x08 << 0x08;
        QTest::newRow("bit 6") << 0x7F << 0x40 << 0x40;
        QTest::newRow("nothing") << 0x00 << 0x00 << 0x00;
    }
    void spiConfig()
    {
        QFETCH(int, delay);
        QFETCH(int, bits);
        SelectCard0();
        drv->cards[0].configDelay = static_cast<uint8_t>(delay);
        drv->cards[0].configBits = static_cast<uint8_t>(bits);
        ReadSpiConfig();
        QCOMPARE(drv->cards[0].sent, std::vector<Bytes>{Bytes{1}});
        QCOMPARE(int(Module1::SpiDelay), delay);
        QTEST(int(Module1::SpiStaticBits), "keptBits");
        QCOMPARE(SelectedUsbCard.Valid, VTrue);
        QVERIFY(sbtest::MessageTexts().isEmpty());
    }

    void transferBytes_data()
    {
        QTest::addColumn<VBool>("positive");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QList<int>>("words");
        QTest::addColumn<int>("sentChannel");
        QTest::addColumn<Bytes>("message");
        QTest::newRow("negative polarity") << VFalse << 2 << QList<int>{0x1234} << 2 << Bytes{14, 2, 1, 0x12, 0x34};
        QTest::newRow("channel 0 becomes 1") << VTrue << 0 << QList<int>{0x0102, 0xA0B0} << 1
                                             << Bytes{13, 1, 2, 0x01, 0x02, 0xA0, 0xB0};
        QTest::newRow("channel 9 becomes 5") << VTrue << 9 << QList<int>{0x8000} << 5 << Bytes{13, 5, 1, 0x80, 0x00};
    }
    void transferBytes()
    {
        QFETCH(VBool, positive);
        QFETCH(int, channel);
        QFETCH(QList<int>, words);
        QFETCH(Bytes, message);
        SelectCard0();
        Module1::SpiPolarityPositive = positive;
        Module1::SpiChannel = static_cast<uint8_t>(channel);
        drv->cards[0].misoWords = {0xBEEF, 0x0102};
        for (int i = 0; i < words.size(); ++i)
            UsbSpiDrivers::SpiTxWords[static_cast<size_t>(i + 1)] = words[i];
        SpiTransfer(static_cast<uint8_t>(words.size()));
        QCOMPARE(drv->cards[0].sent, std::vector<Bytes>{message});
        QTEST(int(Module1::SpiChannel), "sentChannel");
        QCOMPARE(UsbSpiDrivers::SpiRxWords[1], 0xBEEF);
        QVERIFY(sbtest::MessageTexts().isEmpty());
    }

    void failures_data()
    {
        QTest::addColumn<int>("operation");   // 0 transfer, 1 delay, 2 bits, 3 read config
        QTest::addColumn<int>("fault");       // 0 write fails, 1 read fails, 2 short read, 3 unplugged
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("transfer write") << 0 << 0 << QStringList{"Error Writing SPI"};
        QTest::newRow("transfer read") << 0 << 1 << QStringList{"Error Reading SPI"};
        QTest::newRow("transfer short read") << 0 << 2 << QStringList{"Error Reading SPI"};
        QTest::newRow("transfer unplugged") << 0 << 3 << QStringList{"Error Writing SPI"};
        QTest::newRow("delay write") << 1 << 0 << QStringList{"Error Setting up SPI"};
        QTest::newRow("bits write") << 2 << 0 << QStringList{"Error Setting SPI Bits"};
        QTest::newRow("config unplugged") << 3 << 3 << QStringList{"Error Setting up SPI", "Error Reading SPI"};
    }
    void failures()
    {
        QFETCH(int, operation);
        QFETCH(int, fault);
        SelectCard0();
        fake::Card& c = drv->cards[0];
        (fault == 0 ? c.failWrites : fault == 1 ? c.failReads : fault == 2 ? c.shortReads : c.present) =
            fault != 3;
        UsbSpiDrivers::SpiRxWords[1] = 0x5555;
        switch (operation) {
        case 0: SpiTransfer(uint8_t(1)); break;
        case 1: SetupSpi(uint8_t(9)); break;
        case 2: SetSpiBits(uint8_t(8)); break;
        default: ReadSpiConfig(); break;
        }
        QTEST(sbtest::MessageTexts(), "messages");
        QCOMPARE(SelectedUsbCard.Valid, VFalse);
        QCOMPARE(UsbSpiDrivers::SpiRxWords[1], 0x5555);

        // The card is no longer ready: later operations send nothing and say nothing.
        c = fake::Card{};
        sbtest::ClearMessages();
        SpiTransfer(uint8_t(1));
        ReadSpiConfig();
        QVERIFY(c.sent.empty());
        QVERIFY(sbtest::MessageTexts().isEmpty());
    }
};

SB_TEST_MAIN(CardProtocolTest)
#include "tst_cardprotocol.moc"
