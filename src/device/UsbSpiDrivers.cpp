#include "device/UsbSpiDrivers.h"
#include "device/FrameTrace.h"
#include "device/EzUsb.h"
#include <algorithm>
#include <array>


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


// A transfer that moves fewer bytes than asked is as good as a failed one.
bool Bulk(int32_t handle, int16_t pipe, uint8_t* buffer, int32_t length)
{
    int32_t moved = length;
    return BulkTransfer(handle, pipe, buffer, moved) == 1 && moved == length;
}

void Fail(BenchSession& session, int32_t handle, const char* message)
{
    session.Report(QString::fromLatin1(message));
    CloseUsbDriver(handle);
    session.card.Valid = VFalse;
}

// Sends a two-byte set-up command; a failure is reported as `message` and leaves the card not ready.
void SendSetting(BenchSession& session, uint8_t command, uint8_t value, const char* message)
{
    const int32_t handle = OpenUsbDriver(session.card.Name);
    uint8_t msg[2] = {command, value};
    if (!Bulk(handle, kPipeOut, msg, 2)) {
        Fail(session, handle, message);
        return;
    }
    CloseUsbDriver(handle);
}
} // namespace

void ReadSpiConfig(BenchSession& session)
{
    if (!session.CardReady())
        return;
    session.spi.delay = 0;
    const int32_t handle = OpenUsbDriver(session.card.Name);
    uint8_t buffer[2] = {kCmdReadConfig, 0};
    if (!Bulk(handle, kPipeOut, buffer, 1)) {
        // Reported, but the answer is still read.
        session.Report(QStringLiteral("Error Setting up SPI"));
        session.card.Valid = VFalse;
    }
    if (!Bulk(handle, kPipeIn, buffer, 2)) {
        Fail(session, handle, "Error Reading SPI");
        return;
    }
    session.spi.delay = buffer[0];
    session.spi.staticBits = buffer[1] & kStaticBitsMask;
    CloseUsbDriver(handle);
}

void SetupSpi(BenchSession& session, uint8_t delay)
{
    if (!session.CardReady())
        return;
    if (delay == 0)
        delay = 1;
    session.spi.delay = delay;
    SendSetting(session, kCmdSetDelay, delay, "Error Setting up SPI");
}

void SetSpiBits(BenchSession& session, uint8_t bits)
{
    if (!session.CardReady())
        return;
    session.spi.staticBits = bits;
    SendSetting(session, kCmdSetBits, bits, "Error Setting SPI Bits");
}

namespace {
// Word transfers on the session's card, at most 16 words per message. The card's transmit and
// receive buffers stay the session's, which the debug window shows.
class UsbCardTransport : public SpiTransport {
public:
    explicit UsbCardTransport(BenchSession& session) : s_(session) {}

    bool Transfer(std::span<const uint16_t> mosi, std::span<uint16_t> miso) override
    {
        // An empty exchange still sends the transfer command (with a count of 0).
        for (size_t at = 0; at == 0 || at < mosi.size(); at += kMaxWords) {
            const size_t n = std::min<size_t>(kMaxWords, mosi.size() - at);
            for (size_t i = 0; i < n; ++i)
                s_.usb.tx[i + 1] = mosi[at + i];
            const bool ok = Exchange(static_cast<int>(n));
            // A failed transfer leaves the previous answers in the receive buffer.
            for (size_t i = 0; i < n && !miso.empty(); ++i)
                miso[at + i] = static_cast<uint16_t>(s_.usb.rx[i + 1]);
            if (!ok)
                return false;
        }
        return true;
    }

    bool LinkUp() const override { return s_.CardReady(); }

private:
    bool Exchange(int n)
    {
        if (!s_.CardReady())
            return false;
        SpiSettings& spi = s_.spi;
        if (spi.channel == 0)
            spi.channel = 1;
        if (spi.channel > 5)
            spi.channel = 5;
        std::array<int32_t, 17>& tx = s_.usb.tx;
        std::array<int32_t, 17>& rx = s_.usb.rx;
        s_.usb.wordCount = static_cast<uint8_t>(n);

        std::array<uint8_t, 3 + 2 * kMaxWords> msg{};
        msg[0] = spi.polarityPositive == VTrue ? kCmdTransferPositive : kCmdTransferNegative;
        msg[1] = spi.channel;
        msg[2] = static_cast<uint8_t>(n);
        for (int i = 1; i <= n; ++i) {
            msg[static_cast<size_t>(1 + 2 * i)] = static_cast<uint8_t>((tx[i] >> 8) & 0xFF);
            msg[static_cast<size_t>(2 + 2 * i)] = static_cast<uint8_t>(tx[i] & 0xFF);
        }
        const int32_t handle = OpenUsbDriver(s_.card.Name);
        if (!Bulk(handle, kPipeOut, msg.data(), 3 + 2 * n)) {
            Fail(s_, handle, "Error Writing SPI");
            return false;
        }
        std::array<uint8_t, 2 * kMaxWords> answer{};
        if (!Bulk(handle, kPipeIn, answer.data(), 2 * n)) {
            Fail(s_, handle, "Error Reading SPI");
            return false;
        }
        for (int i = 1; i <= n; ++i) {
            rx[i] = answer[static_cast<size_t>(2 * (i - 1))] * 256 + answer[static_cast<size_t>(2 * (i - 1) + 1)];
            TraceFrame(static_cast<uint16_t>(tx[i]), static_cast<uint16_t>(rx[i]));
        }
        CloseUsbDriver(handle);
        return true;
    }

    BenchSession& s_;
};
} // namespace

std::unique_ptr<SpiTransport> MakeUsbCardTransport(BenchSession& session)
{
    return std::make_unique<UsbCardTransport>(session);
}

void SpiTransfer(BenchSession& session, uint8_t count)
{
    if (!session.CardReady())
        return;
    const int n = count > kMaxWords ? kMaxWords : count;
    std::array<uint16_t, kMaxWords> mosi{};
    for (int i = 0; i < n; ++i)
        mosi[static_cast<size_t>(i)] = static_cast<uint16_t>(session.usb.tx[static_cast<size_t>(i + 1)]);
    // The card's own transfer, whatever transport a test put in the session's place.
    UsbCardTransport(session).Transfer(std::span(mosi.data(), static_cast<size_t>(n)), {});
    session.usb.wordCount = count;
}
