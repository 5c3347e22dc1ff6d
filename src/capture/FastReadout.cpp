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

int32_t ReadFrame(int16_t index) { return SpiReadFrame(m470Reg::Table().RegisterTable[static_cast<size_t>(index)].BaseAddr); }

bool CardOk() { return EzUsb::SelectedUsbCard.Valid != VFalse; }

// Sends `mosi` in transfers of up to 16 words; the answers in order. Empty if the card failed.
std::vector<int32_t> Exchange(const std::vector<int32_t>& mosi)
{
    std::vector<int32_t> miso;
    miso.reserve(mosi.size());
    for (size_t at = 0; at < mosi.size(); at += kMaxWords) {
        const size_t n = std::min<size_t>(kMaxWords, mosi.size() - at);
        for (size_t k = 0; k < n; ++k)
            UsbSpiDrivers::SpiTxWords[k + 1] = mosi[at + k];
        Module1::SpiChannel = 1;
        UsbSpiDrivers::SpiWordCount = static_cast<uint8_t>(n);
        SpiTransfer(UsbSpiDrivers::SpiWordCount);
        if (!CardOk())
            return {};
        for (size_t k = 0; k < n; ++k)
            miso.push_back(UsbSpiDrivers::SpiRxWords[k + 1]);
    }
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
    std::vector<int32_t> mosi;
    mosi.reserve(3 * 3 * kSamples + 1);
    for (const Target& t : targets) {
        const int32_t read = ReadFrame(t.index);
        for (int32_t i = 0; i < kSamples; ++i) {
            mosi.push_back(SpiWriteFrame(pointer + 1, i >> 8));
            mosi.push_back(SpiWriteFrame(pointer, i));
            mosi.push_back(read);
        }
    }
    mosi.push_back(mosi.back());

    const uint8_t userDelay = Module1::SpiDelay;
    SetupSpi(uint8_t{WordDelay});
    const std::vector<int32_t> miso = CardOk() ? Exchange(mosi) : std::vector<int32_t>{};
    uint8_t restore = userDelay;
    SetupSpi(restore);
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
