// The calibration, command and MSC_CTRL windows: the frames their controls send and the waits.
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

    void calibrationUpdate_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("counts");
        QTest::addColumn<QString>("hex");
        QTest::newRow("0.0955 writes 5") << 31470 << 0 << "0.0955" << 5 << "5";
        QTest::newRow("negative") << 31470 << 0 << "-0.0955" << -5 << "FFFB";
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
        QCOMPARE(Reads(), kNullReads);
        QTEST(QList<QLabel*>({w->lblXnullReg, w->lblAUX0nullReg, w->lblAUX1nullReg})[row]->text(), "hex");
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
        QTest::newRow("capture") << false << 31473 << "Capture start/stop" << 0x3F << 0x08 << 51.0f;
        QTest::newRow("calibration Auto Null") << true << 31473 << "Auto Null" << 0x3E << 0x01 << 700.0f;
        QTest::newRow("calibration Write to Flash") << true << 31473 << "Write to Flash" << 0x3F << 0x10 << 600.0f;
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
    }

    // Each choice reads MSC_CTRL, writes it with only the self-test bit changed, waits and reads back.
    void miscSwitchSelfTest_data()
    {
        QTest::addColumn<int>("msc");
        QTest::addColumn<QList<bool>>("choices"); // true = on
        QTest::addColumn<QList<Write>>("writes");
        QTest::addColumn<int>("after");
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
