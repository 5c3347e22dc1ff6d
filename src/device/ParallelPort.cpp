#include "device/ParallelPort.h"
#include "device/FrameTrace.h"
#include "device/PortIo.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include <algorithm>

namespace {
// Data register lines. Chip select is active from the frame's opening to its closing 0; data out
// is inverted on the board. Status bit 6 is the inverted data in, bit 5 the sensor's busy line.
constexpr uint8_t kChipSelect = 1;
constexpr uint8_t kClock = 2;
constexpr uint8_t kDataOutInverted = 4;
constexpr uint8_t kStatusDataIn = 64;
constexpr uint8_t kStatusBusy = 32;

bool PortSelected() { return Module1::InterfaceType == kInterfaceParallel && CurrentPortIo() != nullptr; }
uint16_t DataPort() { return static_cast<uint16_t>(Module1::PortAddress); }
uint16_t StatusPort() { return static_cast<uint16_t>(Module1::PortAddress + 1); }
void Out(int value) { CurrentPortIo()->Out(DataPort(), static_cast<uint8_t>(value)); }
// The data-out line for one bit of the word (inverted: a 1 bit leaves the line low).
uint8_t DataOut(uint16_t word, int bit) { return (word & (1 << bit)) ? 0 : kDataOutInverted; }
// Lines at the start of a frame: data out idle, then chip select.
void OpenFrame()
{
    Out(kDataOutInverted);
    Out(kChipSelect | kDataOutInverted);
}

// A frame that only sends: the clock pulse sits inside a data-out set-up of its own.
void SendFrame(uint16_t word)
{
    Out(kDataOutInverted);
    Delay(0.0f);
    Out(kChipSelect | kDataOutInverted);
    Delay(0.0f);
    for (int bit = 15; bit >= 0; --bit) {
        Out(kChipSelect | kClock | kDataOutInverted);
        Delay(0.0f);
        const uint8_t d = DataOut(word, bit);
        Out(kChipSelect | kClock | d);
        Delay(0.0f);
        Out(kChipSelect | d);
        Delay(0.0f);
        Out(kChipSelect | kDataOutInverted);
    }
    Out(0);
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
        Out(kChipSelect | kClock | d);
        Delay(0.0f);
        if ((CurrentPortIo()->In(StatusPort()) & kStatusDataIn) == 0)
            received = static_cast<uint16_t>(received | (1 << bit));
        Out(kChipSelect | d);
        Delay(0.0f);
    }
    Out(0);
    TraceFrame(word, received);
    Delay(0.1f);
    return received;
}

class ParallelPortTransport : public SpiTransport {
public:
    // Frames whose answer is wanted are clocked as listening frames, the others as sending ones.
    bool Transfer(std::span<const uint16_t> mosi, std::span<uint16_t> miso) override
    {
        if (!PortSelected()) {
            std::fill(miso.begin(), miso.end(), uint16_t{0});
            return false;
        }
        for (size_t i = 0; i < mosi.size(); ++i) {
            if (miso.empty())
                SendFrame(mosi[i]);
            else
                miso[i] = ListenFrame(mosi[i]);
        }
        return true;
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
};
} // namespace

std::optional<int> ParallelBusyLine()
{
    if (!CurrentPortIo())
        return std::nullopt;
    return (CurrentPortIo()->In(StatusPort()) & kStatusBusy) ? 1 : 0;
}

SpiTransport& ParallelPortSpiTransport()
{
    static ParallelPortTransport transport;
    return transport;
}

void ParallelWriteWord(int32_t word)
{
    const uint16_t frame = static_cast<uint16_t>(word);
    ParallelPortSpiTransport().Transfer({&frame, 1}, {});
}

int32_t ParallelReadWord(int16_t& address)
{
    address = static_cast<int16_t>(address & 0x7F);
    return ParallelPortSpiTransport().ReadWord(SpiReadFrame(address));
}

void ParallelPulse()
{
    if (!PortSelected())
        return;
    CurrentPortIo()->Out(StatusPort(), 64);
    Delay(0.1f);
    Out(0);
}
