// The MSC_CTRL window: the self-test bit shown and switched by read-modify-write.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/frmMisc.h"

#include <QRadioButton>

using namespace cfgtest;

class MiscTest : public QObject {
    Q_OBJECT
    frmMisc* w = nullptr;

    void Open(int msc)
    {
        StartBoard(31473);
        Sensor().Poke(0x34, static_cast<uint16_t>(msc));
        w = frmMisc::instance();
        w->show();
    }

private slots:
    void cleanup()
    {
        if (w)
            w->hide();
        cfg::SetWaitObserver({});
    }

    void openingNeverWrites_data()
    {
        QTest::addColumn<int>("msc");
        QTest::addColumn<bool>("on");
        QTest::newRow("0x0104") << 0x0104 << true;
        QTest::newRow("0x0007") << 0x0007 << false;
        QTest::newRow("0xFEFF") << 0xFEFF << false;
    }
    void openingNeverWrites()
    {
        QFETCH(int, msc);
        QFETCH(bool, on);
        Open(msc);
        QCOMPARE(w->OpSTON->isChecked(), on);
        QCOMPARE(w->OpSTOFF->isChecked(), !on);
        QVERIFY(Writes().isEmpty());
        QCOMPARE(Reads(), QList<int>{0x34});
        // A second opening after the register changed shows the new state, still without writing.
        w->hide();
        Sensor().Poke(0x34, static_cast<uint16_t>(msc ^ 0x0100));
        w->show();
        QCOMPARE(w->OpSTON->isChecked(), !on);
        QVERIFY(Writes().isEmpty());
    }

    // Each choice reads MSC_CTRL, writes it with only the self-test bit changed, waits and reads back.
    void switchSelfTest_data()
    {
        QTest::addColumn<int>("msc");
        QTest::addColumn<QList<bool>>("choices"); // true = on
        QTest::addColumn<QList<Write>>("writes");
        QTest::addColumn<int>("after");
        QTest::newRow("off from 0x0104") << 0x0104 << QList<bool>{false} << Word(0x34, 0x0000) << 0x0000;
        QTest::newRow("on then off from 0x0007") << 0x0007 << QList<bool>{true, false}
                                                 << Word(0x34, 0x0107) + Word(0x34, 0x0003) << 0x0003;
    }
    void switchSelfTest()
    {
        QFETCH(int, msc);
        QFETCH(QList<bool>, choices);
        Open(msc);
        Clear();
        for (bool on : choices) {
            Choose(on ? w->OpSTON : w->OpSTOFF);
            QCOMPARE(w->OpSTON->isChecked(), on);
        }
        QTEST(Writes(), "writes");
        QCOMPARE(Reads(), QList<int>(2 * choices.size(), 0x34));
        QCOMPARE(g_waits.size(), choices.size());
        QCOMPARE(g_waits[0].ms, 100.0f);
        QCOMPARE(g_waits[0].framesBefore, 4);
        QTEST(int(Sensor().Peek(0x34)), "after");
    }
};

SB_TEST_MAIN(MiscTest)
#include "tst_misc.moc"
