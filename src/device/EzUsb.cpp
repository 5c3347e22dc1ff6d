#include "device/EzUsb.h"
#include "device/EzUsbDriver.h"
#include "shell/Messages.h"
#include <cstring>
#include <vector>


namespace {
constexpr int kSlots = 4;
constexpr int kPipeEntryOffset = 16;
constexpr int kPipeEntrySize = 20;
constexpr int kMaxPipe = 16;

bool Request(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
             uint32_t* returned = nullptr)
{
    EzUsbDriver* driver = CurrentEzUsbDriver();
    if (!driver)
        return false;
    uint32_t moved = 0;
    const bool ok = driver->IoControl(handle, code, in, inLen, out, outLen, &moved);
    if (returned)
        *returned = moved;
    return ok;
}

// One whole-length bulk transfer; a short one counts as failed.
bool SendReceive(int32_t handle, int16_t pipe, uint8_t* buffer, int32_t length)
{
    int32_t moved = length;
    return BulkTransfer(handle, pipe, buffer, moved) == 1 && moved == length;
}

QString SlotName(int i) { return QString::fromStdString(ezusb::NameOfSlot(i)); }
} // namespace

int32_t OpenUsbDriver(const QString& name)
{
    EzUsbDriver* driver = CurrentEzUsbDriver();
    if (!driver)
        return 0;
    return driver->Open(name.toStdString());
}

void CloseUsbDriver(int32_t handle)
{
    if (EzUsbDriver* driver = CurrentEzUsbDriver(); driver && handle > 0)
        driver->Close(handle);
}

int32_t GetPipeInfo(int32_t handle, uint8_t* buffer356)
{
    if (handle == 0)
        return 0;
    return Request(handle, ezusb::kIoctlGetPipeInfo, buffer356, ezusb::kPipeInfoBufferSize, buffer356,
                   ezusb::kPipeInfoBufferSize)
               ? 1
               : 0;
}

int32_t GetPipeMaxPacket(int32_t handle, int16_t pipe)
{
    if (handle == 0 || pipe < 0 || pipe > kMaxPipe)
        return 0;
    uint8_t info[ezusb::kPipeInfoBufferSize] = {};
    if (GetPipeInfo(handle, info) != 1)
        return 0;
    const int at = kPipeEntryOffset + kPipeEntrySize * pipe;
    return info[at] | (info[at + 1] << 8);
}

QString GetStringDescriptor(int32_t handle, int index)
{
    const QString none = QStringLiteral("None");
    if (handle == 0)
        return none;
    const uint8_t request[5] = {static_cast<uint8_t>(index), 0, 0, 0, 27};
    // The first request only learns the descriptor's length.
    uint8_t head[4] = {};
    if (!Request(handle, ezusb::kIoctlGetStringDescriptor, request, sizeof request, head, sizeof head))
        return none;
    const int length = head[0];
    std::vector<uint8_t> desc(static_cast<size_t>(length > 0 ? length : 1), 0);
    if (!Request(handle, ezusb::kIoctlGetStringDescriptor, request, sizeof request, desc.data(),
                 static_cast<uint32_t>(length)))
        return none;
    QString text;
    for (int i = 2; i <= length - 1; i += 2)
        text += QChar(desc[static_cast<size_t>(i)]);
    return text;
}

int32_t BulkTransfer(int32_t handle, int16_t pipe, uint8_t* buffer, int32_t& length)
{
    if (handle == 0)
        return -2;
    const uint32_t pipeNumber = static_cast<uint32_t>(pipe);
    uint8_t in[4];
    std::memcpy(in, &pipeNumber, 4); // little-endian host
    uint32_t moved = 0;
    const bool ok = Request(handle, ezusb::kIoctlBulkTransfer, in, 4, buffer,
                            static_cast<uint32_t>(length < 0 ? 0 : length), &moved);
    length = static_cast<int32_t>(moved);
    return ok ? 1 : 0;
}

void FindUsbCards(BenchSession& session, std::optional<int> onlySlot)
{
    if (EzUsbDriver* driver = CurrentEzUsbDriver(); driver && !onlySlot)
        driver->Rescan();
    session.cardCount = 0;
    for (int i = 0; i < kSlots; ++i) {
        session.cards[i].Name.clear();
        session.cards[i].Valid = VFalse;
        session.cards[i].Number = static_cast<int16_t>(i);
    }
    // Zeroed once for the whole scan: a device whose request fails sees the previous answer.
    uint8_t descriptor[ezusb::kDeviceDescriptorBufferSize] = {};
    for (int i = 0; i < kSlots; ++i) {
        if (onlySlot && i != *onlySlot)
            continue;
        const int32_t handle = OpenUsbDriver(SlotName(i));
        if (handle < 1)
            continue;
        Request(handle, ezusb::kIoctlGetDeviceDescriptor, descriptor, sizeof descriptor, descriptor,
                sizeof descriptor);
        const uint16_t vendor = static_cast<uint16_t>(descriptor[8] | (descriptor[9] << 8));
        const uint16_t product = static_cast<uint16_t>(descriptor[10] | (descriptor[11] << 8));
        QString type;
        if (vendor == ezusb::kCardVendorId) {
            if (product == ezusb::kProductIdFifo4)
                type = QStringLiteral("FIFO4");
            else if (product == ezusb::kProductIdMcp)
                type = QStringLiteral("MCP");
        }
        if (!type.isEmpty()) {
            ++session.cardCount;
            UsbCardInfo& card = session.cards[i];
            card.Valid = VTrue;
            card.Name = SlotName(i);
            card.CardType = type;
            GetBoardInfo(session, handle, card);
        }
        CloseUsbDriver(handle);
    }
}

void GetBoardInfo(BenchSession& session, int32_t handle, UsbCardInfo& card)
{
    if (card.Valid == VFalse || handle == 0)
        return;
    auto fail = [&session, &card] {
        session.Report(QStringLiteral("Error getting Board Info"));
        card.Valid = VFalse;
    };
    card.Manufacturer = GetStringDescriptor(handle, 1);
    if (card.Manufacturer == QLatin1String("None"))
        return fail();
    card.Product = GetStringDescriptor(handle, 2);
    if (card.Product == QLatin1String("None"))
        return fail();
    uint8_t buffer[2] = {0, 0};
    if (!SendReceive(handle, 0, buffer, 1) || !SendReceive(handle, 1, buffer, 2))
        return fail();
    card.FirmwareVersion = static_cast<float>(buffer[0]) + static_cast<float>(buffer[1]) / 10.0f;
    const int32_t maxPacket = GetPipeMaxPacket(handle, 3);
    if (maxPacket == 0)
        return fail();
    card.UsbVersion = maxPacket < 65 ? QStringLiteral("1.1") : QStringLiteral("2");
}

namespace {
// Told after the search's own message: cards that were there but could not be opened.
void ShowAccessNote(BenchSession& session)
{
    if (EzUsbDriver* driver = CurrentEzUsbDriver()) {
        const std::string note = driver->TakeAccessNote();
        if (!note.empty())
            session.Report(QString::fromStdString(note), MsgIcon::Information);
    }
}

void SelectFirst(BenchSession& session)
{
    if (session.cardCount == 0) {
        session.Report(QStringLiteral("No USB Buffers Found, Please Verify Setup and Restart"));
        return;
    }
    for (int i = 0; i < kSlots; ++i) {
        if (session.cards[i].Valid == VTrue) {
            session.card = session.cards[i];
            session.card.Valid = VTrue;
            session.cardIndex = static_cast<int16_t>(i);
            return;
        }
    }
    session.Report(QStringLiteral("No Valid USB Buffers Found, Please Verify Setup and Restart"));
}
} // namespace

void SelectFirstUsbCard(BenchSession& session)
{
    session.card.Valid = VFalse;
    session.cardIndex = -1;
    if (EzUsbDriver* driver = CurrentEzUsbDriver())
        driver->TakeAccessNote();   // only this search's findings count
    FindUsbCards(session);
    SelectFirst(session);
    ShowAccessNote(session);
}
