#pragma once
// One connected device and all the core needs to serve it: interface, card or port, product and
// its register table, SPI settings, read-out kind, and what the last register and status reads
// returned. The register layer, the read-outs and the capture workflow take a session, so two
// sessions on two cards work side by side; the windows work on the program's own session.
#include "capture/CaptureRecord.h"
#include "device/UsbCardInfo.h"
#include "shell/Messages.h"
#include "shell/Types.h"
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>

struct RegisterMap;
class SpiTransport;

// The USB-SPI card's SPI set-up as the program last set or read it.
struct SpiSettings {
    uint8_t channel = 1;       // chip select; the sensor is on 1
    uint8_t staticBits = 120;
    uint8_t delay = 25;        // card delay between words
    VBool polarityPositive = VTrue;
};

// What the last register read returned, raw and through its table row.
struct RegisterReading {
    int32_t raw = 0;
    float value = 0.0f;
    int16_t high = 0, low = 0;
    int32_t nd = 0, ec = 0;    // new-data and error flags of rows that carry them
    int32_t word = 0;          // the word as it came off the wire
};

// The card's transmit and receive buffers (used from index 1), as the debug window shows them.
struct CardBuffers {
    uint8_t wordCount = 0;
    std::array<int32_t, 17> tx{}, rx{};
};

// The card delay the fast read-out needs: the sensor wants 16 us between frames, plus a margin.
constexpr uint8_t kFastWordDelayMicroseconds = 20;

class BenchSession {
public:
    BenchSession();
    ~BenchSession();
    BenchSession(const BenchSession&) = delete;
    BenchSession& operator=(const BenchSession&) = delete;

    // Which device.
    int16_t interfaceType = kInterfaceNone;   // an InterfaceKind, or what a settings file held
    int16_t portAddress = 0;
    std::array<UsbCardInfo, 4> cards{};       // what the last card search found
    int16_t cardCount = 0;
    UsbCardInfo card{};                       // the card in use; Valid is its ready flag
    int16_t cardIndex = -1;
    VBool giveioInstalled = VFalse;
    QString osName;                           // the port-access rules' system name
    SpiSettings spi;
    VBool spiLoopStop = VTrue;

    // Which sensor, and how its captures are read out.
    int16_t product = 0;                      // 31470 or 31473 (0: not chosen)
    bool fastReadout = false;                 // batched card transfers for capture read-outs
    uint8_t fastWordDelay = kFastWordDelayMicroseconds;

    // What came back.
    CardBuffers usb;
    RegisterReading reg;
    std::array<QString, 16> statusBits{};     // "1"/"0" per STATUS bit at the last status read
    CaptureRecord::Record last;               // the last complete capture

    // The register table of the product; the empty table until SelectTable().
    const RegisterMap& Table() const { return *table_; }
    void SelectTable(int product);            // 31470 or 31473
    void ClearTable();

    bool CardReady() const { return card.Valid != VFalse; }
    // The transport of the session's interface (null for none): the built-in one for the card or
    // port, unless a test put its own in the interface's place (null restores the built-in one).
    SpiTransport* Transport();
    void SetTransport(InterfaceKind kind, std::shared_ptr<SpiTransport> transport);
    // True while the interface can answer (a USB card not yet lost, or a parallel port).
    bool LinkUp();

    // The device layer's messages for the user: kept in `messages` and shown through the handler
    // (the program's message box when none is set).
    MessageHandler messageHandler;
    QStringList messages;
    MsgResult Report(const QString& text, MsgIcon icon = MsgIcon::None, const QString& title = {});

private:
    const RegisterMap* table_;
    std::shared_ptr<SpiTransport> usbOverride_, parallelOverride_;
    std::unique_ptr<SpiTransport> usb_, parallel_;
};

// The session the windows work on; the program-wide names they read (Module1::InterfaceType,
// Spi_mod::RegRaw, ...) are views of it.
BenchSession& ProgramSession();
