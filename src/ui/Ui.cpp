#include "ui/Ui.h"
#include "ui/Settings.h"

#include <QApplication>
#include <algorithm>
#include <QEventLoop>
#include <QLineEdit>
#include <QShortcut>
#include <QStyle>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

namespace ui {
namespace {
std::function<MsgResult(const MessageRequest&)> g_msgInterceptor;
std::function<void(QWidget*)> g_modalInterceptor;
std::function<void()> g_endHandler;

MsgResult ShowBox(const MessageRequest& req)
{
    if (g_msgInterceptor)
        return g_msgInterceptor(req);
    const std::unique_ptr<QMessageBox> made = BuildMessageBox(req);
    QMessageBox& box = *made;
    switch (box.exec()) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Ok;
    }
}
} // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(const MessageRequest& req)
{
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(req.title);
    box->setText(req.text);
    switch (req.icon) {
    case MsgIcon::Critical: box->setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box->setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box->setIcon(QMessageBox::Warning); break;
    case MsgIcon::Information: box->setIcon(QMessageBox::Information); break;
    case MsgIcon::None: break;
    }
    switch (req.buttons) {
    case MsgButtons::Ok: box->setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    // Every yes/no question guards something that cannot be undone: Enter must not confirm it.
    case MsgButtons::YesNo:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::No);
        break;
    }
    // A short text must not cut the title off: the box is at least as wide as its title.
    const QString title = req.title.isEmpty() ? QApplication::applicationDisplayName() : req.title;
    const int titleWidth = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(title) + 120;
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                      grid->columnCount());
    return box;
}

void InstallCoreHooks()
{
    SetMessageHandler(ShowBox);
    SetBusyPointerHandler(SetHourglass);
}

MsgResult MessageBox(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title)
{
    return MsgBox(text, icon, buttons, title);
}

void SetMessageInterceptor(std::function<MsgResult(const MessageRequest&)> handler)
{
    g_msgInterceptor = std::move(handler);
}

void ShowModal(QWidget* w)
{
    if (!w)
        return;
    // Escape closes a modal window as its title bar's close button does.
    CloseOnEscape(w);
    if (g_modalInterceptor) {
        QPointer<QWidget> guard(w);
        w->show();
        PumpEvents();
        g_modalInterceptor(w);
        if (guard)
            guard->hide();
        return;
    }
    w->setWindowModality(Qt::ApplicationModal);
    w->show();
    QPointer<QWidget> guard(w);
    // Hiding the window (its OK/Close handlers) ends the modal show.
    while (guard && guard->isVisible())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (guard)
        guard->setWindowModality(Qt::NonModal);
}

void SetModalInterceptor(std::function<void(QWidget*)> handler)
{
    // Only a test intercepts modal windows: what it remembers goes to a store of its own,
    // which lives as long as the process.
    static QTemporaryDir testStore;
    if (handler && testStore.isValid())
        SetSettingsDirectory(testStore.path());
    g_modalInterceptor = std::move(handler);
}

void EndProgram()
{
    if (g_endHandler) {
        g_endHandler();
        return;
    }
    QCoreApplication::exit(0);
}

void SetEndProgramHandler(std::function<void()> handler) { g_endHandler = std::move(handler); }

void PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void WaitPumping(int ms)
{
    bool done = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&done] { done = true; });
    timer.start(ms < 0 ? 0 : ms);
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void SetHourglass(bool on)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

namespace {
double Dpi(bool x)
{
    QScreen* s = QGuiApplication::primaryScreen();
    if (!s)
        return 96.0;
    return x ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
}
} // namespace

int TwipsToPixelsX(int twips) { return qRound(twips * Dpi(true) / 1440.0); }
int TwipsToPixelsY(int twips) { return qRound(twips * Dpi(false) / 1440.0); }

void PlaceRelativeTo(QWidget* w, const QWidget* reference, int dxTwips, int dyTwips)
{
    if (!w || !reference || w->property("sbPlaced").toBool())
        return;
    w->setProperty("sbPlaced", true);
    const QPoint origin = reference->frameGeometry().topLeft();
    w->move(origin + QPoint(TwipsToPixelsX(dxTwips), TwipsToPixelsY(dyTwips)));
}

void FitText(QLineEdit* box, const QString& widest, bool number)
{
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    const QMargins m = box->textMargins();
    // 4: the box's own padding inside the frame; 2 spare for the cursor.
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(widest) + 2 * frame + m.left() + m.right() + 6);
    if (number)
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void SetTextKeepingCaret(QLineEdit* box, const QString& text)
{
    if (box->text() == text)
        return;
    const int size = int(text.size());
    const int start = box->selectionStart();
    const int length = box->selectionLength();
    const int caret = box->cursorPosition();
    const bool whole = length > 0 && length == box->text().size();
    box->setText(text);
    if (whole) {
        box->selectAll();
    } else if (length > 0 && start < size) {
        const int end = std::min(start + length, size);
        // The caret stays at the end of the selection it was at.
        if (caret == start)
            box->setSelection(end, start - end);
        else
            box->setSelection(start, end - start);
    } else {
        box->setCursorPosition(std::min(caret, size));
    }
}

void DisplayOnly(QLineEdit* box)
{
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::ClickFocus);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    box->setPalette(pal);
}

void CloseOnEscape(QWidget* w)
{
    if (w->property("sbEscape").toBool())
        return;
    // A window with an Escape action of its own (a Cancel) keeps it.
    for (const QShortcut* s : w->findChildren<QShortcut*>())
        if (s->key() == QKeySequence(Qt::Key_Escape))
            return;
    w->setProperty("sbEscape", true);
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), w);
    esc->setContext(Qt::WindowShortcut);
    QObject::connect(esc, &QShortcut::activated, w, &QWidget::close);
}

namespace {
QPointer<QWidget> g_mainWindow;
}

void SetMainWindow(QWidget* window) { g_mainWindow = window; }
QWidget* MainWindowOrNull() { return g_mainWindow.data(); }

} // namespace ui
