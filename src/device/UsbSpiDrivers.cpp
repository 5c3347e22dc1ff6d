#include "device/UsbSpiDrivers.h"
#include "device/FrameTrace.h"
#include "device/EzUsb.h"
#include "shell/Messages.h"
#include "shell/Module1.h"
#include <algorithm>
#include <array>

using namespace UsbSpiDrivers;
using EzUsb::SelectedUsbCard;

namespace {
constexpr int16_t kPipeOut = 0;
constexpr int16_t kPipeIn = 1;
constexpr uint8_t kCmdReadConfig = 1;
constexpr uint8_t kCmdSetDelay = 11;
constexpr uint8_t kCmdSetBits = 12;
constexpr uint8_t kCmdTransferPositive = 13;
constexpr uint8_t kCmdTransferNegative = 14;
constexpr uint8_t kStaticBitsMask = 120;   // bits 3..6: chip selects 2..5
constexpr int kMaxWords = 16;

bool CardReady() { return SelectedUsbCard.Valid != VFalse; }

// A transfer that moves fewer bytes than asked is as good as a failed one.
bool Bulk(int32_t handle, int16_t pipe, uint8_t* buffer, int32_t length)
{
    int32_t moved = length;
    return BulkTransfer(handle, pipe, buffer, moved) == 1 && moved == length;
}

void Fail(int32_t handle, const char* message)
{
    MsgBox(QString::fromLatin1(message));
    CloseUsbDriver(handle);
    SelectedUsbCard.Valid = VFalse;
}

// Sends a two-byte set-up command; a failure is reported as `message` and leaves the card not ready.
void SendSetting(uint8_t command, uint8_t value, const char* message)
{
    const int32_t handle = OpenUsbDriver(SelectedUsbCard.Name);
    uint8_t msg[2] = {command, value};
    if (!Bulk(handle, kPipeOut, msg, 2)) {
        Fail(handle, message);
        return;
    }
    CloseUsbDriver(handle);
}
} // namespace

void ReadSpiConfig()
{
    if (!CardReady())
        return;
    Module1::SpiDelay = 0;
    const int32_t handle = OpenUsbDriver(SelectedUsbCard.Name);
    uint8_t buffer[2] = {kCmdReadConfig, 0};
    if (!Bulk(handle, kPipeOut, buffer, 1)) {
        // Reported, but the answer is still read.
        MsgBox(QStringLiteral("Error Setting up SPI"));
        SelectedUsbCard.Valid = VFalse;
    }
    if (!Bulk(handle, kPipeIn, buffer, 2)) {
        Fail(handle, "Error Reading SPI");
        return;
    }
    Module1::SpiDelay = buffer[0];
    Module1::SpiStaticBits = buffer[1] & kStaticBitsMask;
    CloseUsbDriver(handle);
}

void SetupSpi(uint8_t delay)
{
    if (!CardReady())
        return;
    if (delay == 0)
        delay = 1;
    Module1::SpiDelay = delay;
    SendSetting(kCmdSetDelay, delay, "Error Setting up SPI");
}

void SetSpiBits(uint8_t bits)
{
    if (!CardReady())
        return;
    Module1::SpiStaticBits = bits;
    SendSetting(kCmdSetBits, bits, "Error Setting SPI Bits");
}

namespace {
// Word transfers on the selected card, at most 16 words per message. The card's transmit and
// receive buffers (SpiTxWords, SpiRxWords) stay the ones the debug window shows.
class UsbCardTransport : public SpiTransport {
public:
    bool Transfer(std::span<const uint16_t> mosi, std::span<uint16_t> miso) override
    {
        // An empty exchange still sends the transfer command (with a count of 0).
        for (size_t at = 0; at == 0 || at < mosi.size(); at += kMaxWords) {
            const size_t n = std::min<size_t>(kMaxWords, mosi.size() - at);
            for (size_t i = 0; i < n; ++i)
                SpiTxWords[i + 1] = mosi[at + i];
            const bool ok = Exchange(static_cast<int>(n));
            // A failed transfer leaves the previous answers in the receive buffer.
            for (size_t i = 0; i < n && !miso.empty(); ++i)
                miso[at + i] = static_cast<uint16_t>(SpiRxWords[i + 1]);
            if (!ok)
                return false;
        }
        return true;
    }

    bool LinkUp() const override { return CardReady(); }

private:
    static bool Exchange(int n)
    {
        if (!CardReady())
            return false;
        if (Module1::SpiChannel == 0)
            Module1::SpiChannel = 1;
        if (Module1::SpiChannel > 5)
            Module1::SpiChannel = 5;
        SpiWordCount = static_cast<uint8_t>(n);

        std::array<uint8_t, 3 + 2 * kMaxWords> msg{};
        msg[0] = Module1::SpiPolarityPositive == VTrue ? kCmdTransferPositive : kCmdTransferNegative;
        msg[1] = Module1::SpiChannel;
        msg[2] = static_cast<uint8_t>(n);
        for (int i = 1; i <= n; ++i) {
            msg[static_cast<size_t>(1 + 2 * i)] = static_cast<uint8_t>((SpiTxWords[i] >> 8) & 0xFF);
            msg[static_cast<size_t>(2 + 2 * i)] = static_cast<uint8_t>(SpiTxWords[i] & 0xFF);
        }
        const int32_t handle = OpenUsbDriver(SelectedUsbCard.Name);
        if (!Bulk(handle, kPipeOut, msg.data(), 3 + 2 * n)) {
            Fail(handle, "Error Writing SPI");
            return false;
        }
        std::array<uint8_t, 2 * kMaxWords> answer{};
        if (!Bulk(handle, kPipeIn, answer.data(), 2 * n)) {
            Fail(handle, "Error Reading SPI");
            return false;
        }
        for (int i = 1; i <= n; ++i) {
            SpiRxWords[i] = answer[static_cast<size_t>(2 * (i - 1))] * 256 + answer[static_cast<size_t>(2 * (i - 1) + 1)];
            TraceFrame(static_cast<uint16_t>(SpiTxWords[i]), static_cast<uint16_t>(SpiRxWords[i]));
        }
        CloseUsbDriver(handle);
        return true;
    }
};
} // namespace

SpiTransport& UsbCardSpiTransport()
{
    static UsbCardTransport transport;
    return transport;
}

void SpiTransfer(uint8_t count)
{
    if (!CardReady())
        return;
    const int n = count > kMaxWords ? kMaxWords : count;
    std::array<uint16_t, kMaxWords> mosi{};
    for (int i = 0; i < n; ++i)
        mosi[static_cast<size_t>(i)] = static_cast<uint16_t>(SpiTxWords[static_cast<size_t>(i + 1)]);
    UsbCardSpiTransport().Transfer(std::span(mosi.data(), static_cast<size_t>(n)), {});
    SpiWordCount = count;
}
