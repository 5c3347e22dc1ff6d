// The virtual card at the wire: injected faults, and its word delay against the sensor's frame gap.
#include "SimTestBench.h"
#include "device/EzUsbDriver.h"

using tb::Rd;
using Bytes = std::vector<uint8_t>;

namespace {
// Pipe 0 sends to the card, pipe 1 reads its answer.
bool Bulk(int32_t h, uint32_t pipe, Bytes& data)
{
    uint32_t moved = 0;
    return CurrentEzUsbDriver()->IoControl(h, ezusb::kIoctlBulkTransfer, &pipe, 4, data.data(),
                                           static_cast<uint32_t>(data.size()), &moved);
}

// A transfer command (command, channel, word count, words high byte first) and its answer in
// `rx`: 2 when both went through, 1 when only the command was sent, 0 when not even that.
int Transfer(int32_t h, uint8_t cmd, uint8_t channel, const std::vector<uint16_t>& words, Bytes& rx)
{
    Bytes m{cmd, channel, static_cast<uint8_t>(words.size())};
    for (uint16_t w : words) {
        m.push_back(static_cast<uint8_t>(w >> 8));
        m.push_back(static_cast<uint8_t>(w & 0xFF));
    }
    rx.assign(2 * words.size(), 0);
    return !Bulk(h, 0, m) ? 0 : Bulk(h, 1, rx) ? 2 : 1;
}

} // namespace

class tst_VirtualBoard : public QObject {
    Q_OBJECT
private slots:
    void init() { Module1::ProductNumber = 31473; }

    void environmentFault_data()
    {
        // failingMessage 0: none
        tb::Columns<QByteArray, int, bool>({"value", "failingMessage", "silent"});
        QTest::newRow("unplug at 3") << QByteArray("unplug:3") << 3 << false;
        QTest::newRow("silent at 1") << QByteArray("silent:1") << 1 << true;
        QTest::newRow("unknown fault") << QByteArray("melt:2") << 0 << false;
        QTest::newRow("beside sensor faults") << QByteArray("selftest,unplug:2,melt") << 2 << false;
    }
    void environmentFault()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, failingMessage);
        QFETCH(bool, silent);
        qputenv("SENSORBENCH_SIM", "1");
        qputenv("SENSORBENCH_SIM_FAULT", value);
        QVERIFY(sim::InstallFromEnvironment());
        qunsetenv("SENSORBENCH_SIM");
        qunsetenv("SENSORBENCH_SIM_FAULT");
        sim::CurrentBoard()->Card(0).SetSilentTimeout(std::chrono::milliseconds(0));
        const int32_t h = CurrentEzUsbDriver()->Open("Ezusb-0");
        for (int n = 1; n <= 4; ++n) {
            Bytes rx;
            const bool failed = failingMessage > 0 && n >= failingMessage;
            QCOMPARE(Transfer(h, 13, 1, {0x5600}, rx), !failed ? 2 : silent ? 1 : 0);
        }
    }

    void cardWordDelayAgainstFrameGap_data()
    {
        tb::Columns<double, int, bool>({"gap", "delay", "good"});
        QTest::newRow("delay 16 us") << sim::kMinFrameGapSeconds << 16 << true;
        QTest::newRow("delay 15 us") << sim::kMinFrameGapSeconds << 15 << false;
    }
    void cardWordDelayAgainstFrameGap()
    {
        QFETCH(double, gap);
        QFETCH(int, delay);
        QFETCH(bool, good);
        sim::VirtualSensor& s = sim::Install(1, 31473).Sensor();
        s.SetMinFrameGap(gap);
        s.Poke(sim::reg::SCRATCH_A, 0x1357);
        const int32_t h = CurrentEzUsbDriver()->Open("Ezusb-0");
        Bytes setDelay{11, static_cast<uint8_t>(delay)};
        QVERIFY(Bulk(h, 0, setDelay));
        // Back-to-back transfers: the card keeps its delay across them too.
        for (int round = 0; round < 3; ++round) {
            Bytes rx;
            QCOMPARE(Transfer(h, 13, 1, {Rd(sim::reg::SCRATCH_A), Rd(sim::reg::SCRATCH_A)}, rx), 2);
            QCOMPARE((rx[2] << 8 | rx[3]) == 0x1357, good);
        }
        const auto& f = s.Frames();
        QCOMPARE(f.size(), size_t(6));
        QVERIFY(f[1].start - f[0].start >= sim::VirtualCard::kWordSeconds + delay * 1e-6 - 1e-9);
        bool anyTooSoon = false;
        for (const sim::SpiFrame& frame : f)
            anyTooSoon = anyTooSoon || frame.tooSoon;
        QCOMPARE(anyTooSoon, !good);
        QCOMPARE((s.Peek(sim::reg::STATUS) & sim::status::SpiCommFailure) != 0, !good);
    }

};

SB_TEST_MAIN(tst_VirtualBoard)
#include "tst_VirtualBoard.moc"
