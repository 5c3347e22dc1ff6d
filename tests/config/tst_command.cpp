// The command window: one COMMAND frame per button, "Writting" for the button's time.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/frmCommand.h"

#include <QLabel>
#include <QPushButton>

using namespace cfgtest;

class CommandTest : public QObject {
    Q_OBJECT
    frmCommand* w = nullptr;

private slots:
    void initTestCase()
    {
        StartBoard(31473);
        w = frmCommand::instance();
        w->show();
    }
    void cleanupTestCase()
    {
        w->hide();
        cfg::SetWaitObserver({});
    }

    void layout()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("Command Register"));
        QCOMPARE(w->LbLBusy->text(), QStringLiteral("Writting"));
        QVERIFY(!w->LbLBusy->isVisible());
        // Top to bottom as the register's actions are listed; tab order bottom up.
        QVERIFY(w->cmdOrgFactory->y() < w->cmdReset->y());
        QVERIFY(w->cmdWriteCap->y() < w->cmdReadCap->y());
        QList<QWidget*> tabOrder;
        for (QWidget* x = w->cmdReadCap; tabOrder.size() < 10; x = x->nextInFocusChain())
            if (qobject_cast<QPushButton*>(x))
                tabOrder << x;
        QCOMPARE(tabOrder, (QList<QWidget*>{w->cmdReadCap, w->cmdWriteCap, w->cmdCapStart, w->cmdClearBuff,
                                            w->cmdSelfTest, w->cmdFlashTest, w->cmdPowerDown, w->cmdNull,
                                            w->cmdReset, w->cmdOrgFactory}));
    }

    void buttons_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("addr");
        QTest::addColumn<int>("data");
        QTest::addColumn<float>("busyMs");
        QTest::newRow("factory") << 31473 << "Reset Org. Factory" << 0x3E << 0x08 << 152.0f;
        QTest::newRow("reset") << 31473 << "Software Reset" << 0x3E << 0x80 << 51.0f;
        QTest::newRow("null") << 31473 << "Auto-Null" << 0x3E << 0x01 << 700.0f;
        QTest::newRow("power down") << 31473 << "Power-Down" << 0x3E << 0x02 << 51.0f;
        QTest::newRow("flash test") << 31473 << "Flash Test" << 0x3E << 0x20 << 152.0f;
        QTest::newRow("self test") << 31473 << "Self-Test" << 0x3E << 0x04 << 51.0f;
        QTest::newRow("clear buffers") << 31473 << "Clear capture buffers (SRAM)" << 0x3F << 0x01 << 51.0f;
        QTest::newRow("capture") << 31473 << "Capture start/stop" << 0x3F << 0x08 << 51.0f;
        QTest::newRow("backup") << 31473 << "Backup capture data and settings" << 0x3F << 0x10 << 51.0f;
        QTest::newRow("restore") << 31473 << "Restore capture data and settings" << 0x3F << 0x20 << 51.0f;
        QTest::newRow("single axis COMMAND1") << 31470 << "Software Reset" << 0x3E << 0x80 << 51.0f;
    }
    void buttons()
    {
        QFETCH(int, product);
        QFETCH(QString, caption);
        QFETCH(int, addr);
        QFETCH(int, data);
        Module1::ProductNumber = static_cast<int16_t>(product);
        product == 31470 ? BuildTable31470() : BuildTable31473();
        QPushButton* button = nullptr;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() == caption)
                button = b;
        QVERIFY(button);
        Clear();
        bool labelShown = false;
        cfg::SetWaitObserver([&](float ms) {
            g_waits.append({ms, static_cast<int>(Sensor().Frames().size())});
            labelShown = w->LbLBusy->isVisible();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        // Exactly one frame, a write; nothing read.
        QCOMPARE(Sensor().Frames().size(), size_t(1));
        QCOMPARE(Writes(), (QList<Write>{{addr, data}}));
        QCOMPARE(g_waits.size(), 1);
        QTEST(g_waits[0].ms, "busyMs");
        QCOMPARE(g_waits[0].framesBefore, 1);
        QVERIFY(labelShown);
        QVERIFY(!w->LbLBusy->isVisible());
    }
};

SB_TEST_MAIN(CommandTest)
#include "tst_command.moc"
