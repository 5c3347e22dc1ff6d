// The virtual board at the wire: register file semantics, card firmware, port decoder.
#include "SimTestBench.h"
#include "device/EzUsbDriver.h"
#include "device/PortIo.h"

using tb::Rd;
using tb::Wr;
using Bytes = std::vector<uint8_t>;

namespace {
// A register read as the program does it: the read frame twice, the answer in the second.
uint16_t ReadReg(sim::VirtualSensor& s, int addr)
{
    s.Transfer(Rd(addr));
    return s.Transfer(Rd(addr));
}

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

// The port write sequences of the bit-banged transport.
void PortWriteWord(PortIo& io, uint16_t base, uint16_t word)
{
    io.Out(base, 4);
    io.Out(base, 5);
    for (int bit = 15; bit >= 0; --bit) {
        io.Out(base, 7);
        const uint8_t d = (word >> bit) & 1 ? 0 : 4;
        io.Out(base, d + 3);
        io.Out(base, d + 1);
        io.Out(base, 5);
    }
    io.Out(base, 0);
}

// `settle`: wait the sensor's frame gap between the read frame and the answer's.
uint16_t PortReadWord(PortIo& io, uint16_t base, int addr, bool settle = false)
{
    PortWriteWord(io, base, Rd(addr));
    for (const double end = sim::BusNow(); settle && sim::BusNow() - end < 2 * sim::kMinFrameGapSeconds;) {
    }
    io.Out(base, 4);
    io.Out(base, 5);
    uint16_t acc = 0;
    for (int bit = 15; bit >= 0; --bit) {
        io.Out(base, 7);
        if (!(io.In(base + 1) & 0x40))
            acc |= static_cast<uint16_t>(1u << bit);
        io.Out(base, 5);
    }
    io.Out(base, 0);
    return acc;
}
} // namespace

class tst_VirtualBoard : public QObject {
    Q_OBJECT
private slots:
    void init() { Module1::ProductNumber = 31473; }

    void readsAndWritesAtTheWire()
    {
        sim::VirtualSensor& s = sim::Install(1, 31473).Sensor();
        s.Poke(sim::reg::SCRATCH_A, 0x1234);
        s.Poke(sim::reg::SCRATCH_B, 0xBEEF);
        s.ClearFrames();
        // A read's answer comes in the next frame.
        s.Transfer(Rd(sim::reg::SCRATCH_A));
        QCOMPARE(s.Transfer(Rd(sim::reg::SCRATCH_B)), uint16_t(0x1234));
        QCOMPARE(s.Transfer(0), uint16_t(0xBEEF));
        QCOMPARE(s.Frames().size(), size_t(3));
        QCOMPARE(s.Frames()[1].mosi, Rd(sim::reg::SCRATCH_B));
        QCOMPARE(s.Frames()[1].miso, uint16_t(0x1234));
        // Writes are per byte.
        s.Transfer(Wr(sim::reg::SCRATCH_A + 1, 0xAB));
        QCOMPARE(s.Peek(sim::reg::SCRATCH_A), uint16_t(0xAB34));
        s.Transfer(Wr(sim::reg::SCRATCH_A, 0xCD));
        QCOMPARE(ReadReg(s, sim::reg::SCRATCH_A), uint16_t(0xABCD));
        // Date bytes at odd addresses read as their own low byte.
        s.Poke(sim::reg::REV, 0x0A12);
        QCOMPARE(ReadReg(s, sim::reg::DAY) & 0xFF, 0x0A);
    }

    void readOnlyRegistersIgnoreWrites_data()
    {
        tb::Columns<int, int, bool>({"product", "addr", "readOnly"});
        QTest::newRow("PROD_ID") << 31473 << sim::reg::PROD_ID << true;
        QTest::newRow("CAPT_SUPPLY") << 31473 << sim::reg::CAPT_SUPPLY << true;
        QTest::newRow("CAPT_BUF1") << 31470 << sim::reg::CAPT_BUF1 << true;
        QTest::newRow("X_OUT 31470") << 31470 << sim::reg::X_OUT << true;
        QTest::newRow("ENDURANCE") << 31470 << sim::reg::ENDURANCE << true;
        QTest::newRow("STATUS") << 31473 << sim::reg::STATUS << true;
        QTest::newRow("X_NULL") << 31473 << sim::reg::X_NULL << false;
        QTest::newRow("CAPT_PNTR 31470") << 31470 << sim::reg::CAPT_PNTR << false;
        QTest::newRow("KEYCODE") << 31470 << sim::reg::KEYCODE << false;
    }
    void readOnlyRegistersIgnoreWrites()
    {
        QFETCH(int, addr);
        QFETCH(bool, readOnly);
        QFETCH(int, product);
        sim::VirtualSensor& s = sim::Install(1, product).Sensor();
        s.Poke(addr, 0x1234); // also holds a live output still
        const uint16_t before = ReadReg(s, addr);
        const uint16_t changed = before ^ 0x0101;
        s.Transfer(Wr(addr + 1, changed >> 8));
        s.Transfer(Wr(addr, changed & 0xFF));
        QCOMPARE(ReadReg(s, addr) == before, readOnly);
    }

    void productFollowsSelection()
    {
        sim::VirtualSensor& s = sim::Install(1, 0).Sensor();
        Module1::ProductNumber = 31470;
        QCOMPARE(int(ReadReg(s, sim::reg::PROD_ID)), 31470);
        s.Poke(sim::reg::SCRATCH_A, 0x4711);
        Module1::ProductNumber = 31473;
        QCOMPARE(int(ReadReg(s, sim::reg::PROD_ID)), 31473);
        QCOMPARE(int(ReadReg(s, sim::reg::SCRATCH_A)), 0);
        Module1::ProductNumber = 31470;
        QCOMPARE(int(ReadReg(s, sim::reg::SCRATCH_A)), 0x4711);
        // A fixed product ignores the selection.
        QCOMPARE(int(ReadReg(sim::Install(1, 31473).Sensor(), sim::reg::PROD_ID)), 31473);
    }

    void transferReachesSensorOnChannelOneOnly()
    {
        sim::Board& board = sim::Install(2, 31473);
        sim::VirtualSensor& s = board.Sensor(1);
        s.Poke(sim::reg::SCRATCH_B, 0xA55A);
        const int32_t h = CurrentEzUsbDriver()->Open("Ezusb-1");
        Bytes rx;
        for (uint8_t cmd : {13, 14}) { // either polarity
            s.ClearFrames();
            QCOMPARE(Transfer(h, cmd, 1, {Rd(sim::reg::SCRATCH_B), Rd(sim::reg::SCRATCH_B)}, rx), 2);
            QCOMPARE(rx[2] << 8 | rx[3], 0xA55A); // high byte first
            QCOMPARE(s.Frames().size(), size_t(2));
            QCOMPARE(int(board.Card(1).LastTransferCommand()), int(cmd));
        }
        s.ClearFrames();
        QCOMPARE(Transfer(h, 13, 3, {Rd(sim::reg::SCRATCH_B)}, rx), 2);
        QCOMPARE(rx, (Bytes{0xFF, 0xFF}));
        QVERIFY(s.Frames().empty());
        QVERIFY(board.Sensor(0).Frames().empty());
    }

    void environmentFault_data()
    {
        // failingMessage 0: none
        tb::Columns<QByteArray, int, bool>({"value", "failingMessage", "silent"});
        QTest::newRow("unplug at 3") << QByteArray("unplug:3") << 3 << false;
        QTest::newRow("silent at 1") << QByteArray("silent:1") << 1 << true;
        QTest::newRow("no count") << QByteArray("unplug") << 0 << false;
        QTest::newRow("zero") << QByteArray("unplug:0") << 0 << false;
        QTest::newRow("unknown fault") << QByteArray("melt:2") << 0 << false;
        QTest::newRow("trailing text") << QByteArray("silent:2x") << 0 << false;
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

    // A long session keeps a bounded message log, newest last.
    void messageLogIsBounded()
    {
        sim::VirtualCard& card = sim::Install(1, 31473).Card(0);
        card.SetMessageLogLimit(4);
        const int32_t h = CurrentEzUsbDriver()->Open("Ezusb-0");
        Bytes rx;
        for (uint16_t n = 0; n < 10; ++n)
            Transfer(h, 13, 1, {uint16_t(0x5600 + n)}, rx);
        QVERIFY(card.Messages().size() <= 4);
        QCOMPARE(card.Messages().back(), (Bytes{13, 1, 1, 0x56, 0x09}));
    }

    void portDecodesFramesAndAnswers()
    {
        Module1::PortAddress = 0x378;
        sim::Board& board = sim::Install(1, 31473);
        PortIo* io = CurrentPortIo();
        QVERIFY(io->Acquire(0x378, nullptr));
        QVERIFY(io->In(0x379) & sim::VirtualParallelPort::kBusyBit); // busy line idles high
        sim::VirtualSensor& s = board.Sensor();
        s.Poke(sim::reg::SCRATCH_A, 0x8001);
        QCOMPARE(PortReadWord(*io, 0x378, sim::reg::SCRATCH_A), uint16_t(0x8001));
        QCOMPARE(s.Frames().size(), size_t(2));
        QCOMPARE(s.Frames()[0].mosi, Rd(sim::reg::SCRATCH_A));
        QCOMPARE(s.Frames()[1].mosi, uint16_t(0));
        QCOMPARE(s.Frames()[1].miso, uint16_t(0x8001));

        PortWriteWord(*io, 0x378, Wr(sim::reg::SCRATCH_B + 1, 0x12));
        PortWriteWord(*io, 0x378, Wr(sim::reg::SCRATCH_B, 0x34));
        QCOMPARE(s.Peek(sim::reg::SCRATCH_B), uint16_t(0x1234));
        QCOMPARE(PortReadWord(*io, 0x378, sim::reg::SCRATCH_B), uint16_t(0x1234));
        QCOMPARE(board.Port().BrokenFrames(), 0);

        // A frame cut short never reaches the sensor.
        const size_t frames = s.Frames().size();
        for (uint8_t v : {4, 5, 7, 5, 0})
            io->Out(0x378, v);
        QCOMPARE(s.Frames().size(), frames);
        QCOMPARE(board.Port().BrokenFrames(), 1);
    }

    void portStuckDataLine_data()
    {
        tb::Columns<int, int>({"level", "word"});
        QTest::newRow("line high") << 1 << 0xFFFF;
        QTest::newRow("line low") << 0 << 0;
    }
    void portStuckDataLine()
    {
        QFETCH(int, level);
        Module1::PortAddress = 0x278;
        sim::Install(1).Port().SetStuckDataOut(level);
        QTEST(int(PortReadWord(*CurrentPortIo(), 0x278, sim::reg::PROD_ID)), "word");
    }

    void cardWordDelayAgainstFrameGap_data()
    {
        tb::Columns<double, int, bool>({"gap", "delay", "good"});
        QTest::newRow("check off, delay 1") << 0.0 << 1 << true;
        QTest::newRow("delay 25 us") << sim::kMinFrameGapSeconds << 25 << true;
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

    void portFramesTooCloseReadGarbage()
    {
        Module1::PortAddress = 0x378;
        sim::VirtualSensor& s = sim::Install(1, 31473).Sensor();
        s.SetMinFrameGap(sim::kMinFrameGapSeconds);
        s.Poke(sim::reg::SCRATCH_B, 0x2468);
        // With the settling time the sensor needs between frames the read works; without it the answer is lost.
        QCOMPARE(PortReadWord(*CurrentPortIo(), 0x378, sim::reg::SCRATCH_B, true), uint16_t(0x2468));
        // Back to back, frames usually come too soon; a busy machine may space some out, so
        // try until one does (the read then loses its answer).
        bool lost = false;
        for (int i = 0; i < 200 && !lost; ++i) {
            const uint16_t v = PortReadWord(*CurrentPortIo(), 0x378, sim::reg::SCRATCH_B);
            lost = s.Frames().back().tooSoon;
            QVERIFY(!lost || v != 0x2468);
        }
        QVERIFY(lost);
        QVERIFY(s.Peek(sim::reg::STATUS) & sim::status::SpiCommFailure);
    }

    void environmentSelectsCards_data()
    {
        tb::Columns<QByteArray, int>({"value", "cards"});
        QTest::newRow("unset") << QByteArray() << 0;
        QTest::newRow("one") << QByteArray("1") << 1;
        QTest::newRow("two") << QByteArray("2") << 2;
        QTest::newRow("too many") << QByteArray("9") << 4;
        QTest::newRow("zero") << QByteArray("0") << 0;
        QTest::newRow("text") << QByteArray("yes") << 0;
    }
    void environmentSelectsCards()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, cards);
        SetEzUsbDriver(nullptr);
        if (value.isNull())
            qunsetenv("SENSORBENCH_SIM");
        else
            qputenv("SENSORBENCH_SIM", value);
        QCOMPARE(sim::InstallFromEnvironment(), cards > 0);
        qunsetenv("SENSORBENCH_SIM");
        if (cards == 0) {
            QVERIFY(!CurrentEzUsbDriver());
            return;
        }
        QCOMPARE(CurrentEzUsbDriver()->DeviceCount(), cards);
        QCOMPARE(sim::VirtualCardCount(), cards);
        QCOMPARE(sim::VirtualDriver().get(), CurrentEzUsbDriver());
    }
};

SB_TEST_MAIN(tst_VirtualBoard)
#include "tst_VirtualBoard.moc"
