#pragma once
// Core code reports to the user through these hooks; the ui/ layer installs the
// widget implementations, the CLI installs text ones.
#include <QString>
#include <QStringList>
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

// Records the messages shown while it lives (passing them on as before), so a caller can name
// the cause of a failure in the device layer's own words.
class MessageWitness {
public:
    MessageWitness() : previous_(CurrentMessageHandler())
    {
        SetMessageHandler([this](const MessageRequest& m) {
            seen_ << m.text;
            return previous_ ? previous_(m) : MsgResult::Ok;
        });
    }
    ~MessageWitness() { SetMessageHandler(previous_); }
    MessageWitness(const MessageWitness&) = delete;
    MessageWitness& operator=(const MessageWitness&) = delete;
    QString Seen() const { return seen_.join(QStringLiteral("; ")); }

private:
    MessageHandler previous_;
    QStringList seen_;
};

// Hourglass pointer while long busy waits run.
void SetBusyPointerHandler(std::function<void(bool)> handler);
void BusyPointer(bool on);
