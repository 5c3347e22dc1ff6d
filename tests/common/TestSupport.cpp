#include "TestSupport.h"
#include "ui/Ui.h"

#include <QApplication>

namespace sbtest {
namespace {
QList<MessageRequest> g_messages;
MsgResult g_answer = MsgResult::Ok;
std::function<void(QWidget*)> g_modalAction;
QList<QWidget*> g_modals;
int g_endCalls = 0;
} // namespace

void InitTestProcess()
{
    ui::InstallCoreHooks();
    ui::SetMessageInterceptor([](const MessageRequest& req) {
        g_messages.append(req);
        return g_answer;
    });
    ui::SetModalInterceptor([](QWidget* w) {
        g_modals.append(w);
        if (g_modalAction)
            g_modalAction(w);
    });
    ui::SetEndProgramHandler([] { ++g_endCalls; });
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
void SetModalAction(std::function<void(QWidget*)> action) { g_modalAction = std::move(action); }
QList<QWidget*>& ModalsShown() { return g_modals; }
int EndProgramCalls() { return g_endCalls; }

} // namespace sbtest
