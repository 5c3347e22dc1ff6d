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

    void boardInfoFailure_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("strings") << 0;
        QTest::newRow("command 0 write") << 1;
        QTest::newRow("short answer") << 2;
    }
    void boardInfoFailure()
    {
        QFETCH(int, fault);
        fake::Card& c = drv->cards[0];
        (fault == 0 ? c.failStrings : fault == 1 ? c.failWrites : c.shortReads) = true;
        SelectFirstUsbCard();
        // Counted as found, but not usable.
        QCOMPARE(int(UsbCardCount), 1);
        QCOMPARE(SelectedUsbCard.Valid, VFalse);
        QCOMPARE(sbtest::MessageTexts(),
                 (QStringList{"Error getting Board Info",
                              "No Valid USB Buffers Found, Please Verify Setup and Restart"}));
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
