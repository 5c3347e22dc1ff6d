#include "device/ParallelPort.h"
#include "device/FrameTrace.h"
#include "device/PortIo.h"
#include "shell/Delay.h"
#include <algorithm>

namespace {
// Data register lines. Chip select is active from the frame's opening to its closing 0; data out
// is inverted on the board. Status bit 6 is the inverted data in, bit 5 the sensor's busy line.
constexpr uint8_t kChipSelect = 1;
constexpr uint8_t kClock = 2;
constexpr uint8_t kDataOutInverted = 4;
constexpr uint8_t kStatusDataIn = 64;
constexpr uint8_t kStatusBusy = 32;

// One port's lines, named.
class Lines {
public:
    explicit Lines(const BenchSession& session) : io_(CurrentPortIo()), base_(static_cast<uint16_t>(session.portAddress)) {}
    bool Present() const { return io_ != nullptr; }
    void Set(uint8_t lines) { io_->Out(base_, lines); }
    uint8_t Status() { return io_->In(static_cast<uint16_t>(base_ + 1)); }
    void SetStatus(uint8_t value) { io_->Out(static_cast<uint16_t>(base_ + 1), value); }
    // Data in is inverted on the board: a low status bit is a 1.
    bool DataIn() { return (Status() & kStatusDataIn) == 0; }
    bool Busy() { return (Status() & kStatusBusy) != 0; }

    // Lines at the start of a frame: data out idle, then chip select.
    void OpenFrame()
    {
        Set(kDataOutInverted);
        Set(kChipSelect | kDataOutInverted);
    }

    // A frame that only sends: the clock pulse sits inside a data-out set-up of its own.
    void SendFrame(uint16_t word)
    {
        Set(kDataOutInverted);
        Delay(0.0f);
        Set(kChipSelect | kDataOutInverted);
        Delay(0.0f);
        for (int bit = 15; bit >= 0; --bit) {
            Set(kChipSelect | kClock | kDataOutInverted);
            Delay(0.0f);
            const uint8_t d = DataOut(word, bit);
            Set(kChipSelect | kClock | d);
            Delay(0.0f);
            Set(kChipSelect | d);
            Delay(0.0f);
            Set(kChipSelect | kDataOutInverted);
        }
        Set(0);
        TraceFrame(word, std::nullopt);
        Delay(0.1f);
    }

    // A frame that listens: data in is sampled while the clock is high.
    uint16_t ListenFrame(uint16_t word)
    {
        OpenFrame();
        Delay(0.0f);
        uint16_t received = 0;
        for (int bit = 15; bit >= 0; --bit) {
            const uint8_t d = DataOut(word, bit);
            Set(kChipSelect | kClock | d);
            Delay(0.0f);
            if (DataIn())
                received = static_cast<uint16_t>(received | (1 << bit));
            Set(kChipSelect | d);
            Delay(0.0f);
        }
        Set(0);
        TraceFrame(word, received);
        Delay(0.1f);
        return received;
    }

private:
    // The data-out line for one bit of the word (inverted: a 1 bit leaves the line low).
    static uint8_t DataOut(uint16_t word, int bit) { return (word & (1 << bit)) ? 0 : kDataOutInverted; }

    PortIo* io_;
    uint16_t base_;
};

class ParallelPortTransport : public SpiTransport {
public:
    explicit ParallelPortTransport(const BenchSession& session) : s_(session) {}

    // Frames whose answer is wanted are clocked as listening frames, the others as sending ones.
    bool Transfer(std::span<const uint16_t> mosi, std::span<uint16_t> miso) override
    {
        Lines port(s_);
        if (s_.interfaceType != kInterfaceParallel || !port.Present()) {
            std::fill(miso.begin(), miso.end(), uint16_t{0});
            return false;
        }
        for (size_t i = 0; i < mosi.size(); ++i) {
            if (miso.empty())
                port.SendFrame(mosi[i]);
            else
                miso[i] = port.ListenFrame(mosi[i]);
        }
        return true;
    }

    // The busy line is on the port's status register.
    std::optional<int> BusyLine() override
    {
        Lines port(s_);
        if (!port.Present())
            return std::nullopt;
        return port.Busy() ? 1 : 0;
    }

    // The port cannot listen while it sends: the read frame goes out, then a frame of zeros
    // clocks the answer in.
    uint16_t ReadWord(uint16_t readFrame) override
    {
        if (!Transfer({&readFrame, 1}, {}))
            return 0;
        const uint16_t zero = 0;
        uint16_t answer = 0;
        Transfer({&zero, 1}, {&answer, 1});
        return answer;
    }

private:
    const BenchSession& s_;
};
} // namespace

std::unique_ptr<SpiTransport> MakeParallelPortTransport(BenchSession& session)
{
    return std::make_unique<ParallelPortTransport>(session);
}

void ParallelPulse(const BenchSession& session)
{
    Lines port(session);
    if (session.interfaceType != kInterfaceParallel || !port.Present())
        return;
    port.SetStatus(64);
    Delay(0.1f);
    port.Set(0);
}
