// Message recording for every test binary; core tests need nothing more.
#include "TestSupport.h"
#include "device/DeviceSetup.h"

namespace sbtest {
namespace {
QList<MessageRequest> g_messages;
MsgResult g_answer = MsgResult::Ok;
} // namespace

MsgResult RecordMessage(const MessageRequest& req)
{
    g_messages.append(req);
    return g_answer;
}

void InitCoreTestProcess()
{
    SetMessageHandler(RecordMessage);
    // Boards the tests install answer as the product the program's session is set to, as in the program.
    sim::SetDefaultHost(ProgramSessionHost());
}

QList<MessageRequest>& Messages() { return g_messages; }

QStringList MessageTexts()
{
    QStringList out;
    for (const auto& m : g_messages)
        out << m.text;
    return out;
}

void ClearMessages() { g_messages.clear(); }
void SetMessageAnswer(MsgResult answer) { g_answer = answer; }

} // namespace sbtest
