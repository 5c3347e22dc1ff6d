// The calibration, command and MSC_CTRL windows on the virtual board: what they show,
// the frames their controls send, and the waits that follow.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/fmCalibration.h"
#include "config/frmCommand.h"
#include "config/frmMisc.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace cfgtest;

namespace {
const QList<int> kNullReads{0x02, 0x04, 0x06};
}

class ConfigWindowsTest : public QObject {
    Q_OBJECT
    QWidget* shown = nullptr;

    template <class W> W* Open(int16_t product, QList<QPair<int, int>> pokes = {})
    {
        StartBoard(product);
        for (auto [addr, value] : pokes)
            Sensor().Poke(addr, static_cast<uint16_t>(value));
        W* w = W::instance();
        w->show();
        shown = w;
        return w;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English)); }
    void cleanup()
    {
        if (shown)
            shown->hide();
        cfg::SetWaitObserver({});
    }

    void calibrationDisplay_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("hex");
        QTest::newRow("31470 g and plain counts") << 31470 << 5 << 100 << QStringList{"0.0955", "100.0000", "0.0000"}
                                                  << QStringList{"5", "64", "0"};
        QTest::newRow("-1 shows FFFF") << 31470 << 0xFFFF << 0xFFFB << QStringList{"-0.0191", "-5.0000", "0.0000"}
                                       << QStringList{"FFFF", "FFFB", "0"};
        QTest::newRow("31473 all in g") << 31473 << 210 << 0xFFFF << QStringList{"1.0014", "-0.0048", "0.0000"}
                                        << QStringList{"D2", "FFFF", "0"};
    }
    void calibrationDisplay()
    {
        QFETCH(int, product);
        QFETCH(int, x);
        QFETCH(int, y);
        auto* w = Open<fmCalibration>(static_cast<int16_t>(product), {{0x02, x}, {0x04, y}, {0x06, 0}});
        QTEST((QStringList{w->txtXnull->text(), w->txtAUX0null->text(), w->txtAUX1null->text()}), "texts");
        QTEST((QStringList{w->lblXnullReg->text(), w->lblAUX0nullReg->text(), w->lblAUX1nullReg->text()}), "hex");
        QCOMPARE(Reads(), kNullReads);
        QVERIFY(Writes().isEmpty());
        QCOMPARE(w->Label12->text(), QStringLiteral("Y_Null")); // row names do not follow the product
    }

    void calibrationUpdate_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("counts");
        QTest::addColumn<QString>("hex");
        QTest::newRow("0.0955 writes 5") << 31470 << 0 << "0.0955" << 5 << "5";
        QTest::newRow("non-numeric writes 0") << 31470 << 0 << "Xnull" << 0 << "0";
        QTest::newRow("negative") << 31470 << 0 << "-0.0955" << -5 << "FFFB";
        QTest::newRow("plain counts row") << 31470 << 1 << "100" << 100 << "64";
        QTest::newRow("tri-axis Z") << 31473 << 2 << "1" << 210 << "D2";
        QTest::newRow("no range check") << 31470 << 0 << "1000" << 52356 << "CC84";
    }
    void calibrationUpdate()
    {
        QFETCH(int, product);
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(int, counts);
        auto* w = Open<fmCalibration>(static_cast<int16_t>(product), {{0x02, 7}, {0x04, 7}, {0x06, 7}});
        QList<QLineEdit*>{w->txtXnull, w->txtAUX0null, w->txtAUX1null}[row]->setText(text);
        Clear();
        QTest::mouseClick(QList<QPushButton*>{w->cmdWriteX, w->cmdWriteAXU0, w->cmdWriteAUX1}[row], Qt::LeftButton);
        QCOMPARE(Writes(), Word(0x02 + 2 * row, counts));
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].ms, 100.0f);
        QCOMPARE(g_waits[0].framesBefore, 2);
        QCOMPARE(Reads(), kNullReads);
        QTEST(QList<QLabel*>({w->lblXnullReg, w->lblAUX0nullReg, w->lblAUX1nullReg})[row]->text(), "hex");
    }

    void commandLayout()
    {
        auto* w = Open<frmCommand>(31473);
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

    // One COMMAND write (a single frame), the button's wait with the window showing it is busy
    // (the calibration window only for the flash write), then calibration rows read back.
    void commandButtons_data()
    {
        QTest::addColumn<bool>("calibration");
        QTest::addColumn<int>("product");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("addr");
        QTest::addColumn<int>("data");
        QTest::addColumn<float>("ms");
        QTest::newRow("factory") << false << 31473 << "Reset Org. Factory" << 0x3E << 0x08 << 152.0f;
        QTest::newRow("reset") << false << 31473 << "Software Reset" << 0x3E << 0x80 << 51.0f;
        QTest::newRow("null") << false << 31473 << "Auto-Null" << 0x3E << 0x01 << 700.0f;
        QTest::newRow("power down") << false << 31473 << "Power-Down" << 0x3E << 0x02 << 51.0f;
        QTest::newRow("flash test") << false << 31473 << "Flash Test" << 0x3E << 0x20 << 152.0f;
        QTest::newRow("self test") << false << 31473 << "Self-Test" << 0x3E << 0x04 << 51.0f;
        QTest::newRow("clear buffers") << false << 31473 << "Clear capture buffers (SRAM)" << 0x3F << 0x01 << 51.0f;
        QTest::newRow("capture") << false << 31473 << "Capture start/stop" << 0x3F << 0x08 << 51.0f;
        QTest::newRow("backup") << false << 31473 << "Backup capture data and settings" << 0x3F << 0x10 << 51.0f;
        QTest::newRow("restore") << false << 31473 << "Restore capture data and settings" << 0x3F << 0x20 << 51.0f;
        QTest::newRow("single axis COMMAND1") << false << 31470 << "Software Reset" << 0x3E << 0x80 << 51.0f;
        QTest::newRow("calibration Auto Null") << true << 31473 << "Auto Null" << 0x3E << 0x01 << 700.0f;
        QTest::newRow("calibration Write to Flash") << true << 31473 << "Write to Flash" << 0x3F << 0x10 << 600.0f;
        QTest::newRow("calibration Read from Flash") << true << 31473 << "Read from Flash" << 0x3F << 0x20 << 250.0f;
    }
    void commandButtons()
    {
        QFETCH(bool, calibration);
        QFETCH(int, product);
        QFETCH(QString, caption);
        QFETCH(int, addr);
        QFETCH(int, data);
        QWidget* w = calibration ? static_cast<QWidget*>(Open<fmCalibration>(static_cast<int16_t>(product)))
                                 : Open<frmCommand>(static_cast<int16_t>(product));
        QPushButton* button = nullptr;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() == caption)
                button = b;
        QVERIFY(button);
        Clear();
        bool busyShown = false;
        cfg::SetWaitObserver([&](float ms) {
            g_waits.append({ms, static_cast<int>(Sensor().Frames().size())});
            busyShown = calibration ? w->cursor().shape() == Qt::WaitCursor
                                    : static_cast<frmCommand*>(w)->LbLBusy->isVisible();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(Writes(), (QList<Write>{{addr, data}}));
        QCOMPARE(g_waits.size(), 1);
        QTEST(g_waits[0].ms, "ms");
        QCOMPARE(g_waits[0].framesBefore, 1);
        const bool readBack = calibration && caption != "Write to Flash";
        QCOMPARE(Reads(), readBack ? kNullReads : QList<int>{});
        if (!calibration || caption == "Write to Flash")
            QVERIFY(busyShown);
        QVERIFY(calibration ? w->cursor().shape() == Qt::ArrowCursor : !static_cast<frmCommand*>(w)->LbLBusy->isVisible());
    }

    void miscOpeningNeverWrites_data()
    {
        QTest::addColumn<int>("msc");
        QTest::addColumn<bool>("on");
        QTest::newRow("0x0104") << 0x0104 << true;
        QTest::newRow("0x0007") << 0x0007 << false;
        QTest::newRow("0xFEFF") << 0xFEFF << false;
    }
    void miscOpeningNeverWrites()
    {
        QFETCH(int, msc);
        QFETCH(bool, on);
        auto* w = Open<frmMisc>(31473, {{0x34, msc}});
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
    void miscSwitchSelfTest_data()
    {
        QTest::addColumn<int>("msc");
        QTest::addColumn<QList<bool>>("choices"); // true = on
        QTest::addColumn<QList<Write>>("writes");
        QTest::addColumn<int>("after");
        QTest::newRow("off from 0x0104") << 0x0104 << QList<bool>{false} << Word(0x34, 0x0000) << 0x0000;
        QTest::newRow("on then off from 0x0007") << 0x0007 << QList<bool>{true, false}
                                                 << Word(0x34, 0x0107) + Word(0x34, 0x0003) << 0x0003;
    }
    void miscSwitchSelfTest()
    {
        QFETCH(int, msc);
        QFETCH(QList<bool>, choices);
        auto* w = Open<frmMisc>(31473, {{0x34, msc}});
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

SB_TEST_MAIN(ConfigWindowsTest)
#include "tst_configwindows.moc"
