#pragma once
// The thin layer the windows share: message boxes, modal show, event pumping,
// waits, pointer, placement in twips. Tests intercept message boxes and modal shows.
#include "shell/Messages.h"
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QLineEdit;
class QMessageBox;
class QWidget;

namespace ui {

// Installs the widget message box and hourglass pointer behind the core hooks.
void InstallCoreHooks();

// Message box (through the interceptor when one is set).
MsgResult MessageBox(const QString& text, MsgIcon icon = MsgIcon::None,
                     MsgButtons buttons = MsgButtons::Ok, const QString& title = {});
// The box MessageBox shows (Yes/No questions default to No; never narrower than its title).
std::unique_ptr<QMessageBox> BuildMessageBox(const MessageRequest& req);
// Tests: every message goes to `handler` instead of a modal box.
void SetMessageInterceptor(std::function<MsgResult(const MessageRequest&)> handler);

// Shows `w` modally: returns when it is hidden; Escape closes it. With a modal interceptor set,
// `w` is shown, the interceptor runs (it may click, type, hide), and then `w` is hidden.
void ShowModal(QWidget* w);
void SetModalInterceptor(std::function<void(QWidget*)> handler);

// Ends the program after the orderly exit (tests intercept it).
void EndProgram();
void SetEndProgramHandler(std::function<void()> handler);

// Processes pending UI events once.
void PumpEvents();
// Waits ms on a timer while pumping events (the event-pumping wait of the main window).
void WaitPumping(int ms);

void SetHourglass(bool on);

int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);
// Moves `w` so its top-left is (dxTwips, dyTwips) from the top-left of `reference`: on its first
// showing only, so a window the user moved stays where it was put.
void PlaceRelativeTo(QWidget* w, const QWidget* reference, int dxTwips, int dyTwips);

// A box wide enough for `widest` in its own font; numbers right-aligned.
void FitText(QLineEdit* box, const QString& widest, bool number = true);
// Sets the text of a box the user may be typing in: the caret and the selection stay where they
// were (a selection of the whole text stays whole); an unchanged text leaves the box alone.
void SetTextKeepingCaret(QLineEdit* box, const QString& text);
// A box that only shows a value: looks read-only and is passed by Tab (a click still selects).
void DisplayOnly(QLineEdit* box);
// Escape closes (hides) the window `w`.
void CloseOnEscape(QWidget* w);

// The main window, for placing and parenting the other windows; null while there is none.
// The main window registers itself, so no window needs to know its class.
void SetMainWindow(QWidget* window);
QWidget* MainWindowOrNull();

} // namespace ui
