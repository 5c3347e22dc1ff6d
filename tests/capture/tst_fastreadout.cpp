// The batched read-out against the faithful one, at the wire of the virtual board.
#include "CaptureTestBench.h"
#include "capture/BufferReadout.h"
#include "capture/FastReadout.h"
#include "device/SpiTransport.h"
#include "device/UsbSpiDrivers.h"

#include <QDir>
#include <QTemporaryDir>

using namespace m470Reg;
using tb::Mosi;

struct Record {
    std::array<std::array<double, 1025>, 3> values{}, raws{};
    int32_t lastRaw = 0;
    float lastValue = 0;
};

class tst_fastreadout : public QObject {
    Q_OBJECT
    QTemporaryDir settingsDir;
    sim::ManualClock clock;
    sim::Board* board = nullptr;

    sim::VirtualSensor& Sensor() { return board->Sensor(); }

    // A finished capture in the sensor's buffers, read over the USB card.
    void Capture(int product, int ctrl)
    {
        board = &tb::UseUsbCard(product, &clock);
        Sensor().SetMinFrameGap(sim::kMinFrameGapSeconds);
        for (auto& axis : Sensor().Signal().axis)
            axis.noise = 0.4;
        SetupSpi(uint8_t{40}); // the user's delay, to be kept
        WriteRegister(m470Reg::Table().idxCAPT_CTRL, ctrl);
        WriteRegister(m470Reg::Table().idxCOMMAND, 0x10);
        WriteRegister(m470Reg::Table().idxCOMMAND, 0x800);
        clock.Advance(5.0);
        ReadRegister(m470Reg::Table().idxSTATUS);
        QCOMPARE(Spi_mod::RegRaw & 0x80, 0x80);
        Sensor().ClearFrames();
        board->Card(0).ClearMessages();
    }

    Record Read(bool fast, bool* complete = nullptr)
    {
        CaptureRecord::Record r;
        for (int b = 0; b < 3; ++b) {
            r.value[b].fill(-12345.0);
            r.raw[b].fill(-12345.0);
        }
        FastReadout::Enabled = fast;
        BufferReadout::ReadCaptureRecord(ProgramSession(), r);
        FastReadout::Enabled = false;
        if (complete)
            *complete = r.complete;
        return {r.value, r.raw, Spi_mod::RegRaw, Spi_mod::RegValue};
    }

    int Transfers() const
    {
        int n = 0;
        for (const auto& m : board->Card(0).Messages())
            n += !m.empty() && m[0] == 13; // transfer command
        return n;
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(settingsDir.path())); }

    void cleanup()
    {
        FastReadout::Enabled = false;
        FastReadout::WordDelay = FastReadout::kWordDelayMicroseconds;
    }

    void sameRecordAsFaithful_data()
    {
        tb::Columns<int, int>({"product", "ctrl"});
        QTest::newRow("31470") << 31470 << 0x00;
        QTest::newRow("31473") << 31473 << 0x00;
        QTest::newRow("31473 extended") << 31473 << 0x010C;
    }
    void sameRecordAsFaithful()
    {
        QFETCH(int, product);
        QFETCH(int, ctrl);
        Capture(product, ctrl);
        QVERIFY(!QTest::currentTestFailed());

        const Record faithful = Read(false);
        const std::vector<sim::SpiFrame> faithfulFrames = Sensor().Frames();
        Sensor().ClearFrames();
        board->Card(0).ClearMessages();
        const Record fast = Read(true);
        const std::vector<sim::SpiFrame> fastFrames = Sensor().Frames();

        for (int b = 0; b < 3; ++b) {
            int distinct = 0;
            for (int i = 0; i < 1024; ++i) {
                QCOMPARE(fast.raws[b][i], faithful.raws[b][i]);
                QCOMPARE(fast.values[b][i], faithful.values[b][i]);
                distinct += faithful.raws[b][i] != faithful.raws[b][0];
            }
            QVERIFY2(distinct > 100, "the capture should not be flat");
            QCOMPARE(fast.raws[b][1024], -12345.0); // index 1024 left alone
        }
        QCOMPARE(fast.lastRaw, faithful.lastRaw);
        QCOMPARE(fast.lastValue, faithful.lastValue);
        for (const auto& f : fastFrames)
            QVERIFY(!f.tooSoon);

        // The same frames less the second read each faithful read sends, the last kept.
        std::vector<uint16_t> expected;
        const std::vector<uint16_t> sent = Mosi(faithfulFrames);
        const size_t buffers = sent.size() - 3 * 1024 * 4;
        expected.assign(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(buffers));
        for (size_t at = buffers; at < sent.size(); at += 4)
            expected.insert(expected.end(), sent.begin() + static_cast<std::ptrdiff_t>(at),
                            sent.begin() + static_cast<std::ptrdiff_t>(at + 3));
        expected.push_back(sent.back());
        const std::vector<uint16_t> got = Mosi(fastFrames);
        QCOMPARE(got.size(), expected.size());
        QVERIFY(got == expected);

        // Batched: 16 words a transfer, and the user's delay is back on the card.
        QVERIFY(Transfers() <= (3 * 3 * 1024 + 1 + 15) / 16 + 5 + 2);
        QCOMPARE(board->Card(0).SpiDelay(), uint8_t{40});
        QCOMPARE(Module1::SpiDelay, uint8_t{40});
    }

    // The fast read-out goes through the card's transport like every other access: a transport
    // put in its place sees every frame, in order, and its answers become the samples.
    void transportSeesEveryFrame()
    {
        Capture(31473, 0);
        struct Recording : SpiTransport {
            std::vector<uint16_t> frames;
            bool Transfer(std::span<const uint16_t> mosi, std::span<uint16_t> miso) override
            {
                frames.insert(frames.end(), mosi.begin(), mosi.end());
                for (size_t i = 0; i < miso.size(); ++i)
                    miso[i] = static_cast<uint16_t>(frames.size() - mosi.size() + i); // the frame's number
                return true;
            }
        };
        auto t = std::make_shared<Recording>();
        SetSpiTransport(kInterfaceUsb, t);
        CaptureRecord::Record r;
        FastReadout::Enabled = true;
        const bool ok = FastReadout::ReadBuffers(ProgramSession(), r);
        FastReadout::Enabled = false;
        SetSpiTransport(kInterfaceUsb, nullptr);
        QVERIFY(ok);
        QCOMPARE(t->frames.size(), size_t(3 * 3 * 1024 + 1));
        const int pointer = m470Reg::Table().RegisterTable[m470Reg::Table().idxCAPT_PNTR].BaseAddr;
        const int buf2 = m470Reg::Table().RegisterTable[m470Reg::Table().idxCAPT_BUF2].BaseAddr;
        const size_t k = 3 * (1024 + 300); // buffer 2, sample 300
        QCOMPARE(t->frames[k], SpiWriteFrame(pointer + 1, 300 >> 8));
        QCOMPARE(t->frames[k + 1], SpiWriteFrame(pointer, 300 & 0xFF));
        QCOMPARE(t->frames[k + 2], SpiReadFrame(buf2));
        // A read frame's answer comes back during the frame after it.
        QCOMPARE(r.raw[1][300], double(m470Reg::Table().RawOf(m470Reg::Table().idxCAPT_BUF2, int32_t(k + 3))));
        QCOMPARE(Transfers(), 0); // no frame went round the transport to the card
    }

    // A card lost part way marks the read-out incomplete, the fast way and the faithful way alike.
    void lostCardIsIncomplete_data()
    {
        tb::Columns<bool, int>({"fast", "after"});
        QTest::newRow("faithful, buffer 2") << false << 2500;
        QTest::newRow("fast, buffer 2") << true << 200;
        QTest::newRow("faithful, scalars") << false << 2;
    }
    void lostCardIsIncomplete()
    {
        QFETCH(bool, fast);
        QFETCH(int, after);
        Capture(31473, 0);
        bool complete = true;
        board->Card(0).FaultAfter(after, sim::VirtualCard::Fault::Unplug);
        sbtest::ClearMessages();
        Read(fast, &complete);
        QVERIFY(!complete);
        QVERIFY(!sbtest::MessageTexts().isEmpty());
    }

};

SB_TEST_MAIN(tst_fastreadout)
#include "tst_fastreadout.moc"
