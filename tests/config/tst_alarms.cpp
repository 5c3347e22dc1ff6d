// The alarms window on the virtual board: what it shows, and the frames its buttons send.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/frmAlarms.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace cfgtest;
using namespace m470Reg;

class AlarmsTest : public QObject {
    Q_OBJECT
    frmAlarms* w = nullptr;

    // Shows the window on a fresh board whose registers hold the given values.
    void Open(int16_t product, int almCtrl, int mag4 = 0, int mag1 = 0)
    {
        StartBoard(product);
        Sensor().Poke(Addr(idxALM_CTRL), static_cast<uint16_t>(almCtrl));
        Sensor().Poke(Addr(idxALM_MAG4), static_cast<uint16_t>(mag4));
        Sensor().Poke(Addr(idxALM_MAG1), static_cast<uint16_t>(mag1));
        w = frmAlarms::instance();
        w->show();
    }
    QLineEdit* Box(int alarm) const { return QList<QLineEdit*>{w->txtMag1, w->txtMag2, w->txtMag3, w->txtMag4}[alarm - 1]; }
    QPushButton* Button(int alarm) const { return QList<QPushButton*>{w->cmdA1, w->cmdA2, w->cmdA3, w->cmdA4}[alarm - 1]; }
    static int MagAddr(int alarm) { return QList<int>{0x20, 0x22, 0x24, 0x26}[alarm - 1]; }
    static QList<int> ReadBack() { return {0x28, 0x26, 0x20, 0x22, 0x24}; }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English)); }
    void cleanup()
    {
        if (w)
            w->hide();
        cfg::SetWaitObserver({});
    }

    void captions()
    {
        Open(31473, 0);
        QCOMPARE(w->windowTitle(), QStringLiteral("Alarms   Alm_Mag    Alm_Ctrl"));
        QCOMPARE(w->FrameA1->title(), QStringLiteral("Alarm_ X accelerattion"));
        QCOMPARE(w->FrameA3->title(), QStringLiteral("Alarm_Z acceleration"));
        QCOMPARE(w->cmdWriteFlash->text(), QStringLiteral("Save To Flash"));
        QCOMPARE(w->Label2->text(), QStringLiteral("Magnitude (g)"));
        QVERIFY(!w->lblWriteRead->isVisible());
    }

    void display_data()
    {
        QTest::addColumn<int>("almCtrl");
        QTest::addColumn<int>("mag4");
        QTest::addColumn<QList<bool>>("checks");
        QTest::addColumn<bool>("temperature");
        QTest::addColumn<bool>("less");
        QTest::addColumn<QString>("mag4Text");
        QTest::newRow("0x0019") << 0x0019 << 1278 << QList<bool>{true, false, false, true} << true << false
                                << "25.00";
        QTest::newRow("0x0026 supply") << 0x0026 << 2703 << QList<bool>{false, true, true, false} << false << true
                                       << "3.30";
    }
    void display()
    {
        QFETCH(int, almCtrl);
        QFETCH(int, mag4);
        QFETCH(QList<bool>, checks);
        QFETCH(bool, temperature);
        QFETCH(bool, less);
        Open(31473, almCtrl, mag4);
        QCOMPARE((QList<bool>{w->Check1->isChecked(), w->Check2->isChecked(), w->Check3->isChecked(),
                              w->Check4->isChecked()}),
                 checks);
        QCOMPARE(w->OptionTemp->isChecked(), temperature);
        QCOMPARE(w->OptionSupply->isChecked(), !temperature);
        QCOMPARE(w->OptionLess->isChecked(), less);
        QCOMPARE(w->OptionGreater->isChecked(), !less);
        QCOMPARE(w->LbLMagUnits->text(), temperature ? QStringLiteral("Magnitude (degC)") : QStringLiteral("Magnitude (V)"));
        QTEST(w->txtMag4->text(), "mag4Text");
        // Opening reads, it never writes; ALM_CTRL and ALM_MAG4 first, then alarms 1..3.
        QVERIFY(Writes().isEmpty());
        QCOMPARE(Reads(), ReadBack());
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].ms, 200.0f);
        QCOMPARE(g_waits[0].framesBefore, 0);
    }

    // An alarm's button writes its magnitude, then ALM_CTRL by read-modify-write with the
    // alarm's enable bit (alarm 4 also its source and direction bits).
    void controlBits_data()
    {
        QTest::addColumn<int>("alarm");
        QTest::addColumn<int>("before");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("temperature");
        QTest::addColumn<bool>("less");
        QTest::addColumn<int>("after");
        QTest::newRow("uncheck alarm 1 on 0x00C5") << 1 << 0x00C5 << false << false << false << 0x0004;
        QTest::newRow("check alarm 1 on 0x00C4") << 1 << 0x00C4 << true << false << false << 0x00C5;
        QTest::newRow("check alarm 3") << 3 << 0x0001 << true << false << false << 0x0005;
        QTest::newRow("uncheck alarm 2") << 2 << 0x00FF << false << false << false << 0x003D;
        QTest::newRow("alarm 4 all set") << 4 << 0x00C7 << true << true << true << 0x00FF;
        QTest::newRow("alarm 4 all cleared") << 4 << 0x00FF << false << false << false << 0x0007;
        QTest::newRow("alarm 4 temperature only") << 4 << 0x0001 << false << true << false << 0x0011;
    }
    void controlBits()
    {
        QFETCH(int, alarm);
        QFETCH(int, before);
        QFETCH(bool, checked);
        QFETCH(bool, temperature);
        QFETCH(bool, less);
        QFETCH(int, after);
        Open(31473, before);
        QCheckBox* check = QList<QCheckBox*>{w->Check1, w->Check2, w->Check3, w->Check4}[alarm - 1];
        check->setChecked(checked);
        if (alarm == 4) {
            (less ? w->OptionLess : w->OptionGreater)->setChecked(true);
            (temperature ? w->OptionTemp : w->OptionSupply)->setChecked(true);
        }
        Box(alarm)->setText(QStringLiteral("0"));
        Clear();
        QTest::mouseClick(Button(alarm), Qt::LeftButton);
        // The magnitude (its counts are checked in magnitudeWrite), then ALM_CTRL, read in between.
        QCOMPARE(Writes().size(), 4);
        QCOMPARE(Writes()[1].addr, MagAddr(alarm));
        QCOMPARE(Writes().mid(2), Word(0x28, after));
        QCOMPARE(Reads().first(), 0x28);
        QCOMPARE(Sensor().Peek(0x28), after);
        // Then 50 ms, and the whole window is read back.
        QCOMPARE(g_waits.size(), 2);
        QCOMPARE(g_waits[0].ms, 50.0f);
        QCOMPARE(g_waits[0].framesBefore, 6);
        QCOMPARE(Reads().mid(1), ReadBack());
        QCOMPARE(check->isChecked(), checked);
        if (alarm == 4) {
            QCOMPARE(w->OptionTemp->isChecked(), temperature);
            QCOMPARE(w->OptionLess->isChecked(), less);
        }
    }

    // Alarms 1..3 in g (alarm 2 of the single axis in counts), alarm 4 in degC or V.
    void magnitudeWrite_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("alarm");
        QTest::addColumn<int>("almCtrl");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("counts");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0.0955 g on 31470") << 31470 << 1 << 0 << "0.0955" << 5 << "0.0955";
        QTest::newRow("100000 clamped") << 31470 << 1 << 0 << "100000" << 32767 << "625.8497";
        QTest::newRow("-100000 clamped") << 31470 << 1 << 0 << "-100000" << -32768 << "-625.8688";
        QTest::newRow("plain counts on 31470") << 31470 << 2 << 0 << "100" << 100 << "100.0000";
        QTest::newRow("1 g on 31473") << 31473 << 3 << 0 << "1" << 210 << "1.0014";
        QTest::newRow("not a number") << 31473 << 1 << 0 << "Mag1" << 0 << "0.0000";
        QTest::newRow("25 degC") << 31473 << 4 << 0x10 << "25" << 1278 << "25.00";
        QTest::newRow("0 degC") << 31473 << 4 << 0x10 << "0" << 1331 << "0.12";
        QTest::newRow("3.3 V") << 31473 << 4 << 0 << "3.3" << 2703 << "3.30";
        QTest::newRow("supply held to 8191") << 31473 << 4 << 0 << "100" << 8191 << "10.00";
        // ALM_MAG_S reads back unsigned.
        QTest::newRow("temperature held to -8192") << 31473 << 4 << 0x10 << "10000" << -8192 << "-26297.07";
    }
    void magnitudeWrite()
    {
        QFETCH(int, product);
        QFETCH(int, alarm);
        QFETCH(int, almCtrl);
        QFETCH(QString, text);
        QFETCH(int, counts);
        Open(static_cast<int16_t>(product), almCtrl);
        Box(alarm)->setText(text);
        Clear();
        Button(alarm)->click();
        QCOMPARE(Writes().mid(0, 2), Word(MagAddr(alarm), counts));
        QTEST(Box(alarm)->text(), "shown");
    }

    void sourceSwitchWritesNothing()
    {
        Open(31473, 0x10, 1278);
        QCOMPARE(w->txtMag4->text(), QStringLiteral("25.00"));
        Clear();
        Choose(w->OptionSupply);
        QCOMPARE(w->txtMag4->text(), QStringLiteral("1.56"));
        QCOMPARE(w->LbLMagUnits->text(), QStringLiteral("Magnitude (V)"));
        Choose(w->OptionTemp);
        QCOMPARE(w->txtMag4->text(), QStringLiteral("25.00"));
        QCOMPARE(w->LbLMagUnits->text(), QStringLiteral("Magnitude (degC)"));
        QVERIFY(Sensor().Frames().empty());
    }

    void germanLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Open(31470, 0x10, 1278, 5);
        QCOMPARE(w->txtMag1->text(), QStringLiteral("0,0955"));
        QCOMPARE(w->txtMag4->text(), QStringLiteral("25,00"));
        Choose(w->OptionSupply);
        QCOMPARE(w->txtMag4->text(), QStringLiteral("1,56"));
        Clear();
        w->cmdA1->click();
        QLocale::setDefault(QLocale(QLocale::English));
        QCOMPARE(Writes().mid(0, 2), Word(0x20, 5));
    }

    void flashButtons_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<int>("data");
        QTest::newRow("Read Flash") << true << 0x20;
        QTest::newRow("Save To Flash") << false << 0x10;
    }
    void flashButtons()
    {
        QFETCH(bool, restore);
        QFETCH(int, data);
        Open(31473, 0);
        Clear();
        (restore ? w->cmdReadFlash : w->cmdWriteFlash)->click();
        // One COMMAND write (high byte only), 400 ms, then the read-back.
        QCOMPARE(Writes(), (QList<Write>{{0x3F, data}}));
        QCOMPARE(g_waits.size(), 2);
        QCOMPARE(g_waits[0].ms, 400.0f);
        QCOMPARE(g_waits[0].framesBefore, 1);
        QCOMPARE(Reads(), ReadBack());
    }
};

SB_TEST_MAIN(AlarmsTest)
#include "tst_alarms.moc"
