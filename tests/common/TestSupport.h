#pragma once
// Shared test set-up: messages recorded; in window tests also modal windows intercepted and
// program end intercepted. A test built as a core test (SB_CORE_TEST) gets a QCoreApplication
// and links no window code.
#include "shell/Messages.h"
#include <QList>
#include <QString>
#include <QtTest/QtTest>
#include <functional>

class QWidget;

namespace sbtest {

void InitTestProcess();
void InitCoreTestProcess();
MsgResult RecordMessage(const MessageRequest& req);

// Messages that would have been shown, oldest first.
QList<MessageRequest>& Messages();
QStringList MessageTexts();
void ClearMessages();
// Answer given to the next intercepted message boxes (default Ok / No).
void SetMessageAnswer(MsgResult answer);

// What a modal show does in a test: default records the window and returns.
void SetModalAction(std::function<void(QWidget*)> action);
QList<QWidget*>& ModalsShown();

int EndProgramCalls();

} // namespace sbtest

#ifdef SB_CORE_TEST
#define SB_TEST_MAIN(TestClass)                                                                    \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        QCoreApplication app(argc, argv);                                                          \
        sbtest::InitCoreTestProcess();                                                             \
        TestClass tc;                                                                              \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
#else
#define SB_TEST_MAIN(TestClass)                                                                    \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        sbtest::InitTestProcess();                                                                 \
        TestClass tc;                                                                              \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
#endif
