// Register access through the card and the bit-banged port, seen at the virtual bus.
#include "FakeBackends.h"
#include "TestSupport.h"
#include "device/CompositeEzUsbDriver.h"
#include "device/EzUsb.h"
#include "device/ParallelPort.h"
#include "device/Spi_mod.h"
#include "device/SpiTransport.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"

using namespace Spi_mod;
using Words = QList<int>;

namespace {
Words Mosi(sim::VirtualSensor& s)
{
    Words w;
    for (const auto& f : s.Frames())
        w << f.mosi;
    return w;
}

void Build(int product)
{
    Module1::ProductNumber = static_cast<int16_t>(product);
    product == 31470 ? BuildTable31470() : BuildTable31473();
}

int16_t Row(const QString& name)
{
    using namespace m470Reg;
    const QMap<QString, int16_t> rows{
        {"X_NULL", m470Reg::Table().idxX_NULL}, {"KEYCODE", m470Reg::Table().idxKEYCODE}, {"COMMAND", m470Reg::Table().idxCOMMAND}, {"SUPPLY_OUT", m470Reg::Table().idxSUPPLY_OUT}};
    return rows.value(name);
}

// Port data-register values of one frame: select, then per bit (MSB first) four values, then release.
std::vector<uint8_t> PortFrame(uint16_t word)
{
    std::vector<uint8_t> v{4, 5};
    for (int bit = 15; bit >= 0; --bit)
        v.insert(v.end(), {7, uint8_t(word & (1 << bit) ? 3 : 7), uint8_t(word & (1 << bit) ? 1 : 5), 5});
    v.push_back(0);
    return v;
}
} // namespace

class DeviceWireTest : public QObject {
    Q_OBJECT
    sim::Board* board = nullptr;

    // USB (2) or parallel port (1), with the first card selected for USB.
    void Use(int interface)
    {
        Module1::InterfaceType = static_cast<int16_t>(interface);
        Module1::PortAddress = 0x378;
        if (interface == 2) {
            SelectFirstUsbCard();
            QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        }
        board->Sensor().ClearFrames();
        board->Port().ClearDataWrites();
        sbtest::ClearMessages();
    }

private slots:
    void init()
    {
        Module1::InitialiseState();
        board = &sim::Install(1, 0);
        Build(31470);
        sbtest::ClearMessages();
    }

    void writeFrames_data()
    {
        QTest::addColumn<int>("interface");
        QTest::addColumn<int>("product");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("value");
        QTest::addColumn<Words>("frames");
        for (int itf : {2, 1}) {
            const char* via = itf == 2 ? "usb" : "port";
            // X_NULL at 02, KEYCODE at 50, COMMAND at 3E.
            QTest::addRow("%s ordinary row", via) << itf << 31470 << "X_NULL" << 0x1234 << Words{0x8312, 0x8234};
            QTest::addRow("%s keycode", via) << itf << 31470 << "KEYCODE" << 0x1234 << Words{0xD034, 0xD112};
            QTest::addRow("%s command 0x100", via) << itf << 31473 << "COMMAND" << 0x100 << Words{0xBF01};
            QTest::addRow("%s negative", via) << itf << 31473 << "X_NULL" << -5 << Words{0x83FF, 0x82FB};
        }
    }
    void writeFrames()
    {
        QFETCH(int, interface);
        QFETCH(int, product);
        QFETCH(QString, row);
        QFETCH(int, value);
        Build(product);
        Use(interface);
        WriteRegister(Row(row), value);
        QTEST(Mosi(board->Sensor()), "frames");
    }

    void readDecodings_data()
    {
        QTest::addColumn<int>("interface");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("nd");
        QTest::addColumn<int>("ec");
        for (int itf : {2, 1}) {
            const char* via = itf == 2 ? "usb" : "port";
            QTest::addRow("%s SUPPLY_OUT", via) << itf << "SUPPLY_OUT" << 0xCFFF << 0xFFF << 0x8000 << 0x4000;
            // A row without the flags leaves RegND and RegEC as they were.
            QTest::addRow("%s X_NULL", via) << itf << "X_NULL" << 0xFFFB << -5 << 0x7777 << 0x7777;
        }
    }
    void readDecodings()
    {
        QFETCH(int, interface);
        QFETCH(QString, row);
        QFETCH(int, word);
        Use(interface);
        RegND = RegEC = 0x7777;
        const int addr = m470Reg::Table().RegisterTable[static_cast<size_t>(Row(row))].BaseAddr;
        board->Sensor().Poke(addr, static_cast<uint16_t>(word));
        ReadRegister(Row(row));
        // The card sends the read frame twice, the port clocks the answer in with zeros;
        // either way the answer rides on the second frame.
        QCOMPARE(Mosi(board->Sensor()), (Words{addr << 8, interface == 2 ? addr << 8 : 0}));
        QCOMPARE(int(board->Sensor().Frames()[1].miso), word);
        QTEST(RegRaw, "raw");
        QTEST(RegND, "nd");
        QTEST(RegEC, "ec");
    }

    // A read with the data-out line stuck: the address frame, then 16 clocks with data high.
    void portReadStuckLine_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("word");
        QTest::newRow("data-in low reads ones") << 0x00 << 0xFFFF;
        QTest::newRow("data-in high reads zeros") << 0x40 << 0;
    }
    void portReadStuckLine()
    {
        QFETCH(int, status);
        QFETCH(int, word);
        auto port = std::make_shared<fake::Port>();
        SetPortIo(port);
        Use(1);
        port->status = static_cast<uint8_t>(status);
        int16_t address = 0x1C5; // masked to 0x45 in place
        QCOMPARE(ParallelReadWord(address), word);
        QCOMPARE(int(address), 0x45);
        QCOMPARE(port->reads, 16);
        const std::vector<uint8_t> address45 = PortFrame(0x4500);
        std::vector<int> expected(address45.begin(), address45.end());
        expected.insert(expected.end(), {4, 5});
        for (int bit = 15; bit >= 0; --bit)
            expected.insert(expected.end(), {7, 5});
        expected.push_back(0);
        QCOMPARE(port->ValuesAt(0x378), expected);
        QCOMPARE(port->writes.size(), expected.size()); // nothing written elsewhere
    }

    // The register layer against a bare transport: masking, one exchange per access, and the
    // read's answer taken from the frame after the read frame.
    void throughAnyTransport()
    {
        auto t = std::make_shared<fake::Transport>();
        SetSpiTransport(kInterfaceUsb, t);
        Module1::InterfaceType = kInterfaceUsb;
        t->miso = {0x1111, 0xBEEF};
        int16_t address = 0xC2;
        QCOMPARE(ReadRegWord(address), 0xBEEF);
        QCOMPARE(int(address), 0x42);
        WriteRegByte(0x1BE, 0x01);
        int16_t a = 0x183, d = 0x112, b = 0x02, e = 0x34;
        WriteRegWord(a, d, b, e);
        SetSpiTransport(kInterfaceUsb, nullptr);
        using W = std::vector<uint16_t>;
        QCOMPARE(t->exchanges, (std::vector<W>{W{0x4200, 0x4200}, W{0xBE01}, W{0x8312, 0x8234}}));
        QCOMPARE(int(a), 0x03);
        QCOMPARE(int(d), 0x12);
    }

    void realCardsComeFirst()
    {
        board = &sim::Install(2, 0);
        auto real = std::make_shared<fake::Driver>();
        for (int i = 1; i < 4; ++i)
            real->cards[static_cast<size_t>(i)].present = false;
        SetEzUsbDriver(std::make_shared<CompositeEzUsbDriver>(real, sim::VirtualDriver()));
        SelectFirstUsbCard();
        QCOMPARE(int(EzUsb::UsbCardCount), 3);
        QCOMPARE(EzUsb::UsbCards[0].Manufacturer, QStringLiteral("Fake Maker"));
        QVERIFY(EzUsb::UsbCards[2].Manufacturer.contains("Virtual"));

        // Slot 2 is the second virtual card: its traffic reaches that card's sensor only.
        EzUsb::SelectedUsbCard = EzUsb::UsbCards[2];
        Module1::InterfaceType = 2;
        board->Sensor(0).ClearFrames();
        board->Sensor(1).ClearFrames();
        WriteRegister(m470Reg::Table().idxX_NULL, 0x0102);
        QVERIFY(board->Sensor(0).Frames().empty());
        QCOMPARE(Mosi(board->Sensor(1)), (Words{0x8301, 0x8202}));
        QCOMPARE(real->cards[0].sent.size(), size_t(1)); // only command 0 of the search
    }
};

SB_TEST_MAIN(DeviceWireTest)
#include "tst_devicewire.moc"
