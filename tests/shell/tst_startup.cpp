#include "TestSupport.h"
#include "capture/frmForm1.h"
#include "shell/GuiMain.h"
#include "shell/Module1.h"
#include "shell/frmMsg.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>

class TestStartup : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }

    void startUpWithInvalidProductThenExit()
    {
        QFile f(QStringLiteral("CommPort.cfg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Interface =  0 \r\nProductNumber =  5 \r\n");
        f.close();
        Main();

        const QStringList texts = sbtest::MessageTexts();
        QCOMPARE(texts.first(), QStringLiteral("error Module1 ProductNumber = 5\r\n is not valid"));
        QCOMPARE(texts.count(texts.first()), 1);
        QVERIFY(!frmMsg::instance()->isVisible());
        QCOMPARE(frmMsg::instance()->txtMsg->toPlainText(), QStringLiteral(" "));
        QCOMPARE(frmMsg::instance()->windowTitle(), QStringLiteral("Sensor Bench  Message"));

        frmForm1* w = frmForm1::instance();
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Quorvane         Sensor Bench"));
        QCOMPARE(int(Module1::ProductNumber), 31473);

        // The product chosen from the menu is what the exit stores.
        w->mnu31470->trigger();
        const int ends = sbtest::EndProgramCalls();
        w->MnuExit->trigger();
        QCOMPARE(sbtest::EndProgramCalls(), ends + 1);
        QVERIFY(!w->isVisible());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        QVERIFY2(saved.endsWith("\r\nProductNumber =  31470 \r\n"), saved.constData());
        QVERIFY(saved.startsWith("Interface = "));
    }
};

SB_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
