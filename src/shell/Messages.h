#pragma once
// Core code reports to the user through these hooks; the ui/ layer installs the
// widget implementations, the CLI installs text ones.
#include <QString>
#include <functional>

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgResult { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text;
    QString title;   // empty: the application's default title
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

using MessageHandler = std::function<MsgResult(const MessageRequest&)>;

// Shows a modal message (through the installed handler; stderr when none).
MsgResult MsgBox(const QString& text, MsgIcon icon = MsgIcon::None,
                 MsgButtons buttons = MsgButtons::Ok, const QString& title = {});
void SetMessageHandler(MessageHandler handler);
MessageHandler CurrentMessageHandler();

// Hourglass pointer while long busy waits run.
void SetBusyPointerHandler(std::function<void(bool)> handler);
void BusyPointer(bool on);
