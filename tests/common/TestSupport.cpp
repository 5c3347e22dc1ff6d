// Window tests: message boxes and modal windows go through the ui/ layer, intercepted here.
#include "TestSupport.h"
#include "ui/Ui.h"

namespace sbtest {
namespace {
std::function<void(QWidget*)> g_modalAction;
QList<QWidget*> g_modals;
int g_endCalls = 0;
} // namespace

void InitTestProcess()
{
    InitCoreTestProcess();
    ui::InstallCoreHooks();
    ui::SetMessageInterceptor(RecordMessage);
    ui::SetModalInterceptor([](QWidget* w) {
        g_modals.append(w);
        if (g_modalAction)
            g_modalAction(w);
    });
    ui::SetEndProgramHandler([] { ++g_endCalls; });
}

void SetModalAction(std::function<void(QWidget*)> action) { g_modalAction = std::move(action); }
QList<QWidget*>& ModalsShown() { return g_modals; }
int EndProgramCalls() { return g_endCalls; }

} // namespace sbtest
