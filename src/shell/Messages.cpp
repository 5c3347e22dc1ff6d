#include "shell/Messages.h"
#include "shell/Module1.h"
#include <cstdio>

namespace {
MessageHandler g_handler;
std::function<void(bool)> g_busy;
}

MsgResult MsgBox(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title)
{
    MessageRequest req{text, title.isEmpty() ? kAppTitle : title, icon, buttons};
    if (g_handler)
        return g_handler(req);
    std::fprintf(stderr, "%s: %s\n", qPrintable(req.title), qPrintable(text));
    return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
}

void SetMessageHandler(MessageHandler handler) { g_handler = std::move(handler); }
MessageHandler CurrentMessageHandler() { return g_handler; }

void SetBusyPointerHandler(std::function<void(bool)> handler) { g_busy = std::move(handler); }
void BusyPointer(bool on)
{
    if (g_busy)
        g_busy(on);
}
