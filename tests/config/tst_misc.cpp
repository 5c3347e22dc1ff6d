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

    void offFrom0x0104()
    {
        Open(0x0104);
        Clear();
        Choose(w->OpSTOFF);
        QCOMPARE(Writes(), Word(0x34, 0x0000));
        QCOMPARE(Reads(), (QList<int>{0x34, 0x34}));
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].ms, 100.0f);
        QCOMPARE(g_waits[0].framesBefore, 4);
        QVERIFY(w->OpSTOFF->isChecked());
    }

    void onThenOffFrom0x0007()
    {
        Open(0x0007);
        QVERIFY(w->OpSTOFF->isChecked());
        Clear();
        Choose(w->OpSTON);
        QVERIFY(w->OpSTON->isChecked());
        Choose(w->OpSTOFF);
        QCOMPARE(Writes(), Word(0x34, 0x0107) + Word(0x34, 0x0003));
        QCOMPARE(Sensor().Peek(0x34), 0x0003);
    }
};

SB_TEST_MAIN(MiscTest)
#include "tst_misc.moc"
