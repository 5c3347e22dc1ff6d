// The virtual board at the wire: register file semantics, card firmware, port decoder.
#include "TestSupport.h"
#include "device/EzUsbDriver.h"
#include "device/PortIo.h"
#include "shell/Module1.h"
#include "sim/Board.h"
#include "sim/SensorModel.h"
#include <cstring>
#include <vector>

namespace {
uint16_t WriteFrame(int addr, int data) { return static_cast<uint16_t>(0x8000 | (addr & 0x7F) << 8 | (data & 0xFF)); }
uint16_t ReadFrame(int addr) { return static_cast<uint16_t>((addr & 0x7F) << 8); }

// A register read as the program does it: the read frame twice, the answer in the second.
uint16_t ReadReg(sim::VirtualSensor& s, int addr)
{
    s.Transfer(ReadFrame(addr));
    return s.Transfer(ReadFrame(addr));
}

void WriteReg(sim::VirtualSensor& s, int addr, uint16_t value)
{
    s.Transfer(WriteFrame(addr + 1, value >> 8));
    s.Transfer(WriteFrame(addr, value & 0xFF));
}

bool Ioctl(uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out, uint32_t* moved,
           int32_t handle)
{
    return CurrentEzUsbDriver()->IoControl(handle, code, in.data(), static_cast<uint32_t>(in.size()), out.data(),
                                           static_cast<uint32_t>(out.size()), moved);
}

bool Bulk(int32_t handle, uint32_t pipe, std::vector<uint8_t>& data, uint32_t* moved)
{
    std::vector<uint8_t> in(4);
    std::memcpy(in.data(), &pipe, 4);
    return Ioctl(ezusb::kIoctlBulkTransfer, in, data, moved, handle);
}

std::vector<uint8_t> TransferMessage(uint8_t cmd, uint8_t channel, const std::vector<uint16_t>& words)
{
    std::vector<uint8_t> m{cmd, channel, static_cast<uint8_t>(words.size())};
    for (uint16_t w : words) {
        m.push_back(static_cast<uint8_t>(w >> 8));
        m.push_back(static_cast<uint8_t>(w & 0xFF));
    }
    return m;
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

uint16_t PortReadWord(PortIo& io, uint16_t base, int addr)
{
    PortWriteWord(io, base, ReadFrame(addr));
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

    void powerOnValues_data();
    void powerOnValues();
    void readAnswerComesInNextFrame();
    void writesArePerByte();
    void readOnlyRegistersIgnoreWrites_data();
    void readOnlyRegistersIgnoreWrites();
    void productFollowsSelection();
    void frameLogAndPoke();

    void descriptorsSayVirtual();
    void pipeThreeTellsUsbSpeed();
    void commandsAnswerAsTheTableSays();
    void transferReachesSensorOnChannelOneOnly();
    void faults_data();
    void faults();
    void environmentFault_data();
    void environmentFault();
    void latencyIsSpentPerTransfer();

    void portDecodesFramesAndAnswers();
    void portStuckDataLine_data();
    void portStuckDataLine();
    void portBusyLineIdleHigh();

    void cardWordDelayAgainstFrameGap_data();
    void cardWordDelayAgainstFrameGap();
    void portFramesTooCloseReadGarbage();

    void environmentSelectsCards_data();
    void environmentSelectsCards();
};

void tst_VirtualBoard::powerOnValues_data()
{
    QTest::addColumn<int>("product");
    QTest::addColumn<double>("supplyScale");
    QTest::addColumn<int>("supplyBits");
    QTest::newRow("31470") << 31470 << 0.00122 << 12;
    QTest::newRow("31473") << 31473 << 5.0 / 4096 << 16;
}

void tst_VirtualBoard::powerOnValues()
{
    QFETCH(int, product);
    QFETCH(double, supplyScale);
    QFETCH(int, supplyBits);
    sim::Board& board = sim::Install(1, product);
    sim::VirtualSensor& s = board.Sensor();
    QCOMPARE(int(ReadReg(s, sim::reg::PROD_ID)), product);
    const uint16_t supply = ReadReg(s, sim::reg::CAPT_SUPPLY) & ((1u << supplyBits) - 1);
    QVERIFY(qAbs(supply * supplyScale - 3.3) < 0.05);
    int temp = ReadReg(s, sim::reg::CAPT_TEMP) & 0xFFF;
    if (temp & 0x800)
        temp -= 0x1000;
    QVERIFY(qAbs(625 - 0.47 * temp - 25.0) < 2.0);
    QVERIFY(ReadReg(s, sim::reg::REV) != 0);
}

void tst_VirtualBoard::readAnswerComesInNextFrame()
{
    sim::VirtualSensor& s = sim::Install(1, 31473).Sensor();
    s.Poke(sim::reg::SCRATCH_A, 0x1234);
    s.Poke(sim::reg::SCRATCH_B, 0xBEEF);
    s.ClearFrames();
    s.Transfer(ReadFrame(sim::reg::SCRATCH_A));
    QCOMPARE(s.Transfer(ReadFrame(sim::reg::SCRATCH_B)), uint16_t(0x1234));
    QCOMPARE(s.Transfer(0), uint16_t(0xBEEF));
    QCOMPARE(s.Frames().size(), size_t(3));
    QCOMPARE(s.Frames()[1].mosi, uint16_t(ReadFrame(sim::reg::SCRATCH_B)));
    QCOMPARE(s.Frames()[1].miso, uint16_t(0x1234));
}

void tst_VirtualBoard::writesArePerByte()
{
    sim::VirtualSensor& s = sim::Install(1, 31470).Sensor();
    s.Poke(sim::reg::SCRATCH_A, 0x1111);
    s.Transfer(WriteFrame(sim::reg::SCRATCH_A + 1, 0xAB));
    QCOMPARE(s.Peek(sim::reg::SCRATCH_A), uint16_t(0xAB11));
    s.Transfer(WriteFrame(sim::reg::SCRATCH_A, 0xCD));
    QCOMPARE(ReadReg(s, sim::reg::SCRATCH_A), uint16_t(0xABCD));
    // Date bytes at odd addresses read as their own low byte.
    s.Poke(sim::reg::REV, 0x0A12);
    QCOMPARE(ReadReg(s, sim::reg::DAY) & 0xFF, 0x0A);
}

void tst_VirtualBoard::readOnlyRegistersIgnoreWrites_data()
{
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("addr");
    QTest::addColumn<bool>("readOnly");
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

void tst_VirtualBoard::readOnlyRegistersIgnoreWrites()
{
    QFETCH(int, product);
    QFETCH(int, addr);
    QFETCH(bool, readOnly);
    sim::VirtualSensor& s = sim::Install(1, product).Sensor();
    s.Poke(addr, 0x1234); // also holds a live output still
    const uint16_t before = ReadReg(s, addr);
    WriteReg(s, addr, static_cast<uint16_t>(before ^ 0x0101));
    const uint16_t after = ReadReg(s, addr);
    QCOMPARE(after == before, readOnly);
}

void tst_VirtualBoard::productFollowsSelection()
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
    sim::VirtualSensor& fixed = sim::Install(1, 31473).Sensor();
    QCOMPARE(int(ReadReg(fixed, sim::reg::PROD_ID)), 31473);
}

void tst_VirtualBoard::frameLogAndPoke()
{
    sim::VirtualSensor& s = sim::Install(1, 31473).Sensor();
    s.SetFrameLogLimit(4);
    for (int i = 0; i < 5; ++i)
        s.Transfer(static_cast<uint16_t>(i));
    QVERIFY(s.Frames().size() <= 4);
    QCOMPARE(s.Frames().back().mosi, uint16_t(4));
    s.ClearFrames();
    s.Poke(sim::reg::PROD_ID, 0x1234); // set-up beside the bus ignores read-only
    QCOMPARE(s.Peek(sim::reg::PROD_ID), uint16_t(0x1234));
    QVERIFY(s.Frames().empty());
}

void tst_VirtualBoard::descriptorsSayVirtual()
{
    sim::Install(2);
    EzUsbDriver* d = CurrentEzUsbDriver();
    QVERIFY(d);
    QCOMPARE(d->DeviceCount(), 2);
    QVERIFY(d->Open("Ezusb-2") < 1);
    const int32_t h = d->Open("Ezusb-1");
    QVERIFY(h >= 1);
    std::vector<uint8_t> desc(ezusb::kDeviceDescriptorBufferSize, 0);
    uint32_t moved = 0;
    QVERIFY(Ioctl(ezusb::kIoctlGetDeviceDescriptor, desc, desc, &moved, h));
    QCOMPARE(desc[8] | desc[9] << 8, int(ezusb::kCardVendorId));
    QCOMPARE(desc[10] | desc[11] << 8, int(ezusb::kProductIdFifo4));
    for (uint8_t index : {1, 2}) {
        const std::vector<uint8_t> req{index, 0, 0, 0, 27};
        std::vector<uint8_t> head(4);
        QVERIFY(Ioctl(ezusb::kIoctlGetStringDescriptor, req, head, &moved, h));
        std::vector<uint8_t> full(head[0]);
        QVERIFY(Ioctl(ezusb::kIoctlGetStringDescriptor, req, full, &moved, h));
        QCOMPARE(int(moved), int(head[0]));
        QString text;
        for (size_t i = 2; i + 1 < full.size(); i += 2)
            text += QChar(full[i]);
        QVERIFY2(text.startsWith("Virtual"), qPrintable(text));
    }
    std::vector<uint8_t> bad{7, 0, 0, 0, 27}, out(4);
    QVERIFY(!Ioctl(ezusb::kIoctlGetStringDescriptor, bad, out, &moved, h));
    d->Close(h);
}

void tst_VirtualBoard::pipeThreeTellsUsbSpeed()
{
    sim::Board& board = sim::Install(1);
    const int32_t h = CurrentEzUsbDriver()->Open("Ezusb-0");
    std::vector<uint8_t> info(ezusb::kPipeInfoBufferSize, 0);
    uint32_t moved = 0;
    QVERIFY(Ioctl(ezusb::kIoctlGetPipeInfo, info, info, &moved, h));
    QCOMPARE(info[16 + 60] | info[17 + 60] << 8, 512);
    board.Card(0).SetFullSpeed(true);
    QVERIFY(Ioctl(ezusb::kIoctlGetPipeInfo, info, info, &moved, h));
    QCOMPARE(info[16 + 60] | info[17 + 60] << 8, 64);
}

void tst_VirtualBoard::commandsAnswerAsTheTableSays()
{
    sim::Board& board = sim::Install(1);
    const int32_t h = CurrentEzUsbDriver()->Open("Ezusb-0");
    uint32_t moved = 0;
    std::vector<uint8_t> cmd{0}, answer(2);
    QVERIFY(Bulk(h, 0, cmd, &moved));
    QVERIFY(Bulk(h, 1, answer, &moved));
    QCOMPARE(int(moved), 2);
    QCOMPARE(answer, (std::vector<uint8_t>{2, 4}));

    std::vector<uint8_t> setDelay{11, 7}, setBits{12, 0x48}, read{1};
    QVERIFY(Bulk(h, 0, setDelay, &moved));
    QVERIFY(Bulk(h, 0, setBits, &moved));
    // Commands 11 and 12 have no answer: a read now times out.
    QVERIFY(!Bulk(h, 1, answer, &moved));
    QCOMPARE(int(moved), 0);
    QVERIFY(Bulk(h, 0, read, &moved));
    QVERIFY(Bulk(h, 1, answer, &moved));
    QCOMPARE(answer, (std::vector<uint8_t>{7, 0x48}));
    QCOMPARE(board.Card(0).Messages().size(), size_t(4));
    QCOMPARE(board.Card(0).Messages()[1], setDelay);
}

void tst_VirtualBoard::transferReachesSensorOnChannelOneOnly()
{
    sim::Board& board = sim::Install(2, 31473);
    sim::VirtualSensor& s = board.Sensor(1);
    s.Poke(sim::reg::SCRATCH_B, 0xA55A);
    const int32_t h = CurrentEzUsbDriver()->Open("Ezusb-1");
    uint32_t moved = 0;
    for (uint8_t cmd : {13, 14}) {
        s.ClearFrames();
        auto msg = TransferMessage(cmd, 1, {ReadFrame(sim::reg::SCRATCH_B), ReadFrame(sim::reg::SCRATCH_B)});
        QVERIFY(Bulk(h, 0, msg, &moved));
        std::vector<uint8_t> rx(4);
        QVERIFY(Bulk(h, 1, rx, &moved));
        QCOMPARE(int(moved), 4);
        QCOMPARE(rx[2], uint8_t(0xA5)); // high byte first
        QCOMPARE(rx[3], uint8_t(0x5A));
        QCOMPARE(s.Frames().size(), size_t(2));
        QCOMPARE(int(board.Card(1).LastTransferCommand()), int(cmd));
    }
    s.ClearFrames();
    auto other = TransferMessage(13, 3, {ReadFrame(sim::reg::SCRATCH_B)});
    QVERIFY(Bulk(h, 0, other, &moved));
    std::vector<uint8_t> rx(2);
    QVERIFY(Bulk(h, 1, rx, &moved));
    QCOMPARE(rx, (std::vector<uint8_t>{0xFF, 0xFF}));
    QVERIFY(s.Frames().empty());
    QVERIFY(board.Sensor(0).Frames().empty());
}

void tst_VirtualBoard::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("sendOk");
    QTest::addColumn<bool>("readOk");
    QTest::addColumn<int>("bytesRead");
    QTest::addColumn<int>("framesSeen");
    QTest::newRow("none") << "none" << true << true << true << 4 << 2;
    QTest::newRow("unplugged") << "unplugged" << false << false << false << 0 << 0;
    QTest::newRow("silent") << "silent" << true << true << false << 0 << 0;
    QTest::newRow("short") << "short" << true << true << true << 2 << 2;
}

void tst_VirtualBoard::faults()
{
    QFETCH(QString, fault);
    QFETCH(bool, opens);
    QFETCH(bool, sendOk);
    QFETCH(bool, readOk);
    QFETCH(int, bytesRead);
    QFETCH(int, framesSeen);
    sim::Board& board = sim::Install(1);
    const int32_t early = CurrentEzUsbDriver()->Open("Ezusb-0");
    sim::VirtualCard& card = board.Card(0);
    card.SetUnplugged(fault == "unplugged");
    card.SetSilent(fault == "silent");
    card.SetShortRead(fault == "short");
    QCOMPARE(CurrentEzUsbDriver()->Open("Ezusb-0") >= 1, opens);
    // A handle opened before the fault sees it too.
    uint32_t moved = 99;
    auto msg = TransferMessage(13, 1, {0x5600, 0x5600});
    QCOMPARE(Bulk(early, 0, msg, &moved), sendOk);
    std::vector<uint8_t> rx(4);
    moved = 99;
    QCOMPARE(Bulk(early, 1, rx, &moved), readOk);
    QCOMPARE(int(moved), bytesRead);
    QCOMPARE(int(board.Sensor().Frames().size()), framesSeen);
}

void tst_VirtualBoard::environmentFault_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("failingMessage"); // 0: none
    QTest::addColumn<bool>("silent");
    QTest::newRow("unplug at 3") << QByteArray("unplug:3") << 3 << false;
    QTest::newRow("silent at 1") << QByteArray("silent:1") << 1 << true;
    QTest::newRow("no count") << QByteArray("unplug") << 0 << false;
    QTest::newRow("zero") << QByteArray("unplug:0") << 0 << false;
    QTest::newRow("unknown fault") << QByteArray("melt:2") << 0 << false;
    QTest::newRow("trailing text") << QByteArray("silent:2x") << 0 << false;
}

void tst_VirtualBoard::environmentFault()
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
        uint32_t moved = 0;
        auto msg = TransferMessage(13, 1, {0x5600});
        std::vector<uint8_t> rx(2);
        const bool sent = Bulk(h, 0, msg, &moved);
        const bool read = sent && Bulk(h, 1, rx, &moved);
        const bool failed = failingMessage > 0 && n >= failingMessage;
        QCOMPARE(sent, !failed || silent);
        QCOMPARE(read, !failed);
    }
}

void tst_VirtualBoard::latencyIsSpentPerTransfer()
{
    sim::Board& board = sim::Install(1);
    board.SetTransferLatency(std::chrono::microseconds(2000));
    const int32_t h = CurrentEzUsbDriver()->Open("Ezusb-0");
    uint32_t moved = 0;
    std::vector<uint8_t> cmd{0}, answer(2);
    QElapsedTimer t;
    t.start();
    QVERIFY(Bulk(h, 0, cmd, &moved));
    QVERIFY(Bulk(h, 1, answer, &moved));
    // A lower bound only: a busy machine may take longer, never shorter.
    QVERIFY(t.nsecsElapsed() >= 4'000'000);
}

void tst_VirtualBoard::portDecodesFramesAndAnswers()
{
    Module1::PortAddress = 0x378;
    sim::Board& board = sim::Install(1, 31473);
    PortIo* io = CurrentPortIo();
    QVERIFY(io);
    QVERIFY(io->Acquire(0x378, nullptr));
    sim::VirtualSensor& s = board.Sensor();
    s.Poke(sim::reg::SCRATCH_A, 0x8001);
    QCOMPARE(PortReadWord(*io, 0x378, sim::reg::SCRATCH_A), uint16_t(0x8001));
    QCOMPARE(s.Frames().size(), size_t(2));
    QCOMPARE(s.Frames()[0].mosi, ReadFrame(sim::reg::SCRATCH_A));
    QCOMPARE(s.Frames()[1].mosi, uint16_t(0));
    QCOMPARE(s.Frames()[1].miso, uint16_t(0x8001));

    PortWriteWord(*io, 0x378, WriteFrame(sim::reg::SCRATCH_B + 1, 0x12));
    PortWriteWord(*io, 0x378, WriteFrame(sim::reg::SCRATCH_B, 0x34));
    QCOMPARE(s.Peek(sim::reg::SCRATCH_B), uint16_t(0x1234));
    QCOMPARE(PortReadWord(*io, 0x378, sim::reg::SCRATCH_B), uint16_t(0x1234));
    QCOMPARE(board.Port().BrokenFrames(), 0);

    // A frame cut short never reaches the sensor.
    const size_t frames = s.Frames().size();
    io->Out(0x378, 4);
    io->Out(0x378, 5);
    io->Out(0x378, 7);
    io->Out(0x378, 5);
    io->Out(0x378, 0);
    QCOMPARE(s.Frames().size(), frames);
    QCOMPARE(board.Port().BrokenFrames(), 1);
}

void tst_VirtualBoard::portStuckDataLine_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("word");
    QTest::newRow("line high") << 1 << 0xFFFF;
    QTest::newRow("line low") << 0 << 0;
}

void tst_VirtualBoard::portStuckDataLine()
{
    QFETCH(int, level);
    QFETCH(int, word);
    Module1::PortAddress = 0x278;
    sim::Board& board = sim::Install(1);
    board.Port().SetStuckDataOut(level);
    QCOMPARE(int(PortReadWord(*CurrentPortIo(), 0x278, sim::reg::PROD_ID)), word);
}

void tst_VirtualBoard::portBusyLineIdleHigh()
{
    sim::Install(1);
    QVERIFY(CurrentPortIo()->In(0x379) & sim::VirtualParallelPort::kBusyBit);
}

void tst_VirtualBoard::cardWordDelayAgainstFrameGap_data()
{
    QTest::addColumn<double>("gap");
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("good");
    QTest::newRow("check off, delay 1") << 0.0 << 1 << true;
    QTest::newRow("delay 25 us") << sim::kMinFrameGapSeconds << 25 << true;
    QTest::newRow("delay 16 us") << sim::kMinFrameGapSeconds << 16 << true;
    QTest::newRow("delay 15 us") << sim::kMinFrameGapSeconds << 15 << false;
}

void tst_VirtualBoard::cardWordDelayAgainstFrameGap()
{
    QFETCH(double, gap);
    QFETCH(int, delay);
    QFETCH(bool, good);
    sim::Board& board = sim::Install(1, 31473);
    sim::VirtualSensor& s = board.Sensor();
    s.SetMinFrameGap(gap);
    s.Poke(sim::reg::SCRATCH_A, 0x1357);
    const int32_t h = CurrentEzUsbDriver()->Open("Ezusb-0");
    uint32_t moved = 0;
    std::vector<uint8_t> setDelay{11, static_cast<uint8_t>(delay)};
    QVERIFY(Bulk(h, 0, setDelay, &moved));
    // Back-to-back transfers: the card keeps its delay across them too.
    for (int round = 0; round < 3; ++round) {
        auto msg = TransferMessage(13, 1, {ReadFrame(sim::reg::SCRATCH_A), ReadFrame(sim::reg::SCRATCH_A)});
        QVERIFY(Bulk(h, 0, msg, &moved));
        std::vector<uint8_t> rx(4);
        QVERIFY(Bulk(h, 1, rx, &moved));
        QCOMPARE(rx[2] << 8 | rx[3], good ? 0x1357 : int(rx[2] << 8 | rx[3]));
        if (!good)
            QVERIFY((rx[2] << 8 | rx[3]) != 0x1357);
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

void tst_VirtualBoard::portFramesTooCloseReadGarbage()
{
    Module1::PortAddress = 0x378;
    sim::Board& board = sim::Install(1, 31473);
    sim::VirtualSensor& s = board.Sensor();
    s.SetMinFrameGap(sim::kMinFrameGapSeconds);
    s.Poke(sim::reg::SCRATCH_B, 0x2468);
    PortIo& io = *CurrentPortIo();
    // With the settling time the sensor needs between frames the read works...
    PortWriteWord(io, 0x378, ReadFrame(sim::reg::SCRATCH_B));
    const double end = sim::BusNow();
    while (sim::BusNow() - end < 2 * sim::kMinFrameGapSeconds) {
    }
    io.Out(0x378, 4);
    io.Out(0x378, 5);
    uint16_t acc = 0;
    for (int bit = 15; bit >= 0; --bit) {
        io.Out(0x378, 7);
        if (!(io.In(0x379) & 0x40))
            acc |= static_cast<uint16_t>(1u << bit);
        io.Out(0x378, 5);
    }
    io.Out(0x378, 0);
    QCOMPARE(acc, uint16_t(0x2468));
    // ...without it the answer is lost.
    QVERIFY(PortReadWord(io, 0x378, sim::reg::SCRATCH_B) != 0x2468);
    QVERIFY(s.Frames().back().tooSoon);
    QVERIFY(s.Peek(sim::reg::STATUS) & sim::status::SpiCommFailure);
}

void tst_VirtualBoard::environmentSelectsCards_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("cards");
    QTest::newRow("unset") << QByteArray() << 0;
    QTest::newRow("one") << QByteArray("1") << 1;
    QTest::newRow("two") << QByteArray("2") << 2;
    QTest::newRow("too many") << QByteArray("9") << 4;
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("text") << QByteArray("yes") << 0;
}

void tst_VirtualBoard::environmentSelectsCards()
{
    QFETCH(QByteArray, value);
    QFETCH(int, cards);
    SetEzUsbDriver(nullptr);
    if (value.isNull())
        qunsetenv("SENSORBENCH_SIM");
    else
        qputenv("SENSORBENCH_SIM", value);
    QCOMPARE(sim::InstallFromEnvironment(), cards > 0);
    if (cards > 0) {
        QCOMPARE(CurrentEzUsbDriver()->DeviceCount(), cards);
        QCOMPARE(sim::VirtualCardCount(), cards);
        QCOMPARE(sim::VirtualDriver().get(), CurrentEzUsbDriver());
    } else {
        QVERIFY(!CurrentEzUsbDriver());
    }
    qunsetenv("SENSORBENCH_SIM");
}

SB_TEST_MAIN(tst_VirtualBoard)
#include "tst_VirtualBoard.moc"
