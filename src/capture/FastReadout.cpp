#include "capture/FastReadout.h"
#include "capture/CaptureRecord.h"
#include "device/EzUsb.h"
#include "device/Spi_mod.h"
#include "device/SpiTransport.h"
#include "device/UsbSpiDrivers.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"

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

uint16_t ReadFrame(int16_t index) { return SpiReadFrame(m470Reg::Table().RegisterTable[static_cast<size_t>(index)].BaseAddr); }

bool CardOk() { return EzUsb::SelectedUsbCard.Valid != VFalse; }

// Sends `mosi` through the card's transport (which batches up to 16 words a message); the answers
// in order. Empty if the card failed.
std::vector<uint16_t> Exchange(const std::vector<uint16_t>& mosi)
{
    SpiTransport* link = SpiTransportFor(kInterfaceUsb);
    std::vector<uint16_t> miso(mosi.size());
    Module1::SpiChannel = 1; // the sensor's chip select
    if (!link || !link->Transfer(mosi, miso) || !CardOk())
        return {};
    return miso;
}
} // namespace

bool Applies() { return Enabled && Module1::InterfaceType == kInterfaceUsb; }

bool ReadBuffers(CaptureRecord::Record& into)
{
    const std::array<Target, 3> targets{{{m470Reg::Table().idxCAPT_BUF1, &into.value[0], &into.raw[0]},
                                         {m470Reg::Table().idxCAPT_BUF2, &into.value[1], &into.raw[1]},
                                         {m470Reg::Table().idxCAPT_BUF3, &into.value[2], &into.raw[2]}}};
    const int32_t pointer = m470Reg::Table().RegisterTable[static_cast<size_t>(m470Reg::Table().idxCAPT_PNTR)].BaseAddr;

    // Per sample: pointer high byte, low byte (as WriteRegister sends them), then the read.
    // A read's answer comes out during the next frame, so one extra read frame at the end
    // collects the last one.
    std::vector<uint16_t> mosi;
    mosi.reserve(3 * 3 * kSamples + 1);
    for (const Target& t : targets) {
        const uint16_t read = ReadFrame(t.index);
        for (int32_t i = 0; i < kSamples; ++i) {
            mosi.push_back(SpiWriteFrame(pointer + 1, i >> 8));
            mosi.push_back(SpiWriteFrame(pointer, i));
            mosi.push_back(read);
        }
    }
    mosi.push_back(mosi.back());

    const uint8_t userDelay = Module1::SpiDelay;
    SetupSpi(uint8_t{WordDelay});
    const std::vector<uint16_t> miso = CardOk() ? Exchange(mosi) : std::vector<uint16_t>{};
    SetupSpi(userDelay);
    if (miso.size() != mosi.size())
        return false;

    size_t frame = 2; // the first read frame
    for (const Target& t : targets) {
        for (int i = 0; i < kSamples; ++i, frame += 3) {
            Spi_mod::SpiReadWord = miso[frame + 1];
            ConvertRegisterWord(t.index, miso[frame + 1]);
            (*t.values)[static_cast<size_t>(i)] = static_cast<double>(Spi_mod::RegValue);
            (*t.raws)[static_cast<size_t>(i)] = static_cast<double>(Spi_mod::RegRaw);
        }
    }
    return true;
}

} // namespace FastReadout
