#include "capture/FastReadout.h"
#include "capture/CaptureRecord.h"
#include "device/Spi_mod.h"
#include "device/SpiTransport.h"
#include "device/UsbSpiDrivers.h"
#include "registers/m470Reg.h"

#include <array>
#include <vector>

namespace FastReadout {

namespace {
constexpr int kMaxWords = 16;
constexpr int kSamples = 1024;

struct Target {
    int16_t index; // register row of the buffer
    std::array<double, 1025>* values;
    std::array<double, 1025>* raws;
};

uint16_t ReadFrame(const RegisterMap& table, int16_t index)
{
    return SpiReadFrame(table.RegisterTable[static_cast<size_t>(index)].BaseAddr);
}

// Sends `mosi` through the session's transport (which batches up to 16 words a message); the
// answers in order. Empty if the card failed.
std::vector<uint16_t> Exchange(BenchSession& session, const std::vector<uint16_t>& mosi)
{
    SpiTransport* link = session.Transport();
    std::vector<uint16_t> miso(mosi.size());
    session.spi.channel = 1; // the sensor's chip select
    if (!link || !link->Transfer(mosi, miso) || !session.CardReady())
        return {};
    return miso;
}
} // namespace

bool Applies(const BenchSession& session) { return session.fastReadout && session.interfaceType == kInterfaceUsb; }

bool ReadBuffers(BenchSession& session, CaptureRecord::Record& into)
{
    const RegisterMap& table = session.Table();
    const std::array<Target, 3> targets{{{table.idxCAPT_BUF1, &into.value[0], &into.raw[0]},
                                         {table.idxCAPT_BUF2, &into.value[1], &into.raw[1]},
                                         {table.idxCAPT_BUF3, &into.value[2], &into.raw[2]}}};
    const int32_t pointer = table.RegisterTable[static_cast<size_t>(table.idxCAPT_PNTR)].BaseAddr;

    // Per sample: pointer high byte, low byte (as WriteRegister sends them), then the read.
    // A read's answer comes out during the next frame, so one extra read frame at the end
    // collects the last one.
    std::vector<uint16_t> mosi;
    mosi.reserve(3 * 3 * kSamples + 1);
    for (const Target& t : targets) {
        const uint16_t read = ReadFrame(table, t.index);
        for (int32_t i = 0; i < kSamples; ++i) {
            mosi.push_back(SpiWriteFrame(pointer + 1, i >> 8));
            mosi.push_back(SpiWriteFrame(pointer, i));
            mosi.push_back(read);
        }
    }
    mosi.push_back(mosi.back());

    const uint8_t userDelay = session.spi.delay;
    SetupSpi(session, session.fastWordDelay);
    const std::vector<uint16_t> miso = session.CardReady() ? Exchange(session, mosi) : std::vector<uint16_t>{};
    SetupSpi(session, userDelay);
    if (miso.size() != mosi.size())
        return false;

    size_t frame = 2; // the first read frame
    for (const Target& t : targets) {
        for (int i = 0; i < kSamples; ++i, frame += 3) {
            session.reg.word = miso[frame + 1];
            ConvertRegisterWord(session, t.index, miso[frame + 1]);
            (*t.values)[static_cast<size_t>(i)] = static_cast<double>(session.reg.value);
            (*t.raws)[static_cast<size_t>(i)] = static_cast<double>(session.reg.raw);
        }
    }
    return true;
}

} // namespace FastReadout
