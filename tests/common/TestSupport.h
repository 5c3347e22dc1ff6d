#pragma once
// Shared test set-up: message boxes and
// modal windows intercepted and recorded, program end intercepted.
#include "shell/Messages.h"
#include <QList>
#include <QString>
#include <QtTest/QtTest>
#include <functional>

class QWidget;

namespace sbtest {

void InitTestProcess();

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

#define SB_TEST_MAIN(TestClass)                                                                    \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        sbtest::InitTestProcess();                                                                 \
        TestClass tc;                                                                              \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
