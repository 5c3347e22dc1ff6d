#include "device/BenchSession.h"
#include "device/ParallelPort.h"
#include "device/SpiTransport.h"
#include "device/UsbSpiDrivers.h"
#include "registers/m470Reg.h"

BenchSession::BenchSession() : table_(&NoRegisterMap()) {}
BenchSession::~BenchSession() = default;

void BenchSession::SelectTable(int p) { table_ = &RegisterMapFor(p); }
void BenchSession::ClearTable() { table_ = &NoRegisterMap(); }

SpiTransport* BenchSession::Transport()
{
    // The one place that tells the interfaces apart.
    switch (interfaceType) {
    case kInterfaceUsb:
        if (usbOverride_)
            return usbOverride_.get();
        if (!usb_)
            usb_ = MakeUsbCardTransport(*this);
        return usb_.get();
    case kInterfaceParallel:
        if (parallelOverride_)
            return parallelOverride_.get();
        if (!parallel_)
            parallel_ = MakeParallelPortTransport(*this);
        return parallel_.get();
    default:
        return nullptr;
    }
}

void BenchSession::SetTransport(InterfaceKind kind, std::shared_ptr<SpiTransport> transport)
{
    if (kind == kInterfaceUsb)
        usbOverride_ = std::move(transport);
    else if (kind == kInterfaceParallel)
        parallelOverride_ = std::move(transport);
}

bool BenchSession::LinkUp()
{
    const SpiTransport* link = Transport();
    return link && link->LinkUp();
}

MsgResult BenchSession::Report(const QString& text, MsgIcon icon, const QString& title)
{
    messages << text;
    if (messageHandler)
        return messageHandler(MessageRequest{text, title, icon, MsgButtons::Ok});
    return MsgBox(text, icon, MsgButtons::Ok, title);
}

BenchSession& ProgramSession()
{
    static BenchSession session;
    return session;
}

CaptureRecord::Record& CaptureRecord::ProgramLast() { return ProgramSession().last; }
std::array<QString, 16>& StatusDisplay::ProgramStatusBits() { return ProgramSession().statusBits; }
