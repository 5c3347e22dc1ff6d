// Port value sequences of the bit-banged transport.
#include "FakeBackends.h"
#include "TestSupport.h"
#include "device/ParallelPort.h"
#include "device/Spi_mod.h"
#include "shell/Module1.h"

namespace {
constexpr uint16_t kBase = 0x378;

std::vector<int> FrameSequence(uint16_t word)
{
    std::vector<int> v{4, 5};
    for (int bit = 15; bit >= 0; --bit) {
        const bool one = word & (1 << bit);
        const std::vector<int> b = one ? std::vector<int>{7, 3, 1, 5} : std::vector<int>{7, 7, 5, 5};
        v.insert(v.end(), b.begin(), b.end());
    }
    v.push_back(0);
    return v;
}
} // namespace

class ParallelPortTest : public QObject {
    Q_OBJECT
    std::shared_ptr<fake::Port> port;

private slots:
    void init()
    {
        port = std::make_shared<fake::Port>();
        SetPortIo(port);
        Module1::InterfaceType = 1;
        Module1::PortAddress = static_cast<int16_t>(kBase);
    }
    void cleanup() { SetPortIo(nullptr); }

    void frame8001()
    {
        ParallelWriteWord(0x8001);
        std::vector<int> expected{4, 5, 7, 3, 1, 5};
        for (int bit = 14; bit >= 1; --bit)
            expected.insert(expected.end(), {7, 7, 5, 5});
        expected.insert(expected.end(), {7, 3, 1, 5, 0});
        QCOMPARE(port->ValuesAt(kBase), expected);
        QCOMPARE(port->writes.size(), expected.size());   // nothing written elsewhere
    }

    void readStuckLine_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("word");
        QTest::newRow("data-in low reads ones") << 0x00 << 0xFFFF;
        QTest::newRow("data-in high reads zeros") << 0x40 << 0;
        QTest::newRow("other status bits ignored") << 0xBF << 0xFFFF;
    }
    void readStuckLine()
    {
        QFETCH(int, status);
        QFETCH(int, word);
        port->status = static_cast<uint8_t>(status);
        int16_t address = 0x1C5;   // masked to 0x45 in place
        QCOMPARE(ParallelReadWord(address), word);
        QCOMPARE(int(address), 0x45);
        QCOMPARE(Spi_mod::SpiReadWord, word);
        QCOMPARE(ParallelPort::PortReadAccumulator, word);
        QCOMPARE(port->reads, 16);

        std::vector<int> expected = FrameSequence(0x4500);
        expected.insert(expected.end(), {4, 5});
        for (int bit = 15; bit >= 0; --bit)
            expected.insert(expected.end(), {7, 5});
        expected.push_back(0);
        QCOMPARE(port->ValuesAt(kBase), expected);
    }

    void pulse()
    {
        ParallelPulse();
        QCOMPARE(port->writes, (std::vector<std::pair<uint16_t, uint8_t>>{{kBase + 1, 64}, {kBase, 0}}));
    }

    void otherInterfaceTouchesNothing_data()
    {
        QTest::addColumn<int>("interface");
        QTest::newRow("none") << 0;
        QTest::newRow("usb") << 2;
    }
    void otherInterfaceTouchesNothing()
    {
        QFETCH(int, interface);
        Module1::InterfaceType = static_cast<int16_t>(interface);
        port->status = 0;
        ParallelWriteWord(0x1234);
        int16_t address = 4;
        QCOMPARE(ParallelReadWord(address), 0);
        ParallelPulse();
        QVERIFY(port->writes.empty());
        QCOMPARE(port->reads, 0);
    }
};

SB_TEST_MAIN(ParallelPortTest)
#include "tst_parallelport.moc"
