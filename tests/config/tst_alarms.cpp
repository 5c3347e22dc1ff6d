// The alarms window on the virtual board: what it shows, and the frames its buttons send.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/ui/frmAlarms.h"

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
        Sensor().Poke(Addr(m470Reg::Table().idxALM_CTRL), static_cast<uint16_t>(almCtrl));
        Sensor().Poke(Addr(m470Reg::Table().idxALM_MAG4), static_cast<uint16_t>(mag4));
        Sensor().Poke(Addr(m470Reg::Table().idxALM_MAG1), static_cast<uint16_t>(mag1));
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
        QCOMPARE(w->OptionLess->isChecked(), less);
        QTEST(w->txtMag4->text(), "mag4Text");
        // Opening reads, it never writes; ALM_CTRL and ALM_MAG4 first, then alarms 1..3.
        QVERIFY(Writes().isEmpty());
        QCOMPARE(Reads(), ReadBack());
        QCOMPARE(g_waits.size(), 1);
    }

    // An alarm's button writes its magnitude (alarms 1..3 in g, alarm 2 of the single axis in
    // counts, alarm 4 in degC or V), then ALM_CTRL by read-modify-write with the alarm's enable
    // bit (alarm 4 also its source and direction bits), waits and reads the window back.
    void alarmButton_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("alarm");
        QTest::addColumn<int>("before");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("temperature");
        QTest::addColumn<bool>("less");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("counts");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("after");
        QTest::newRow("1: 0.0955 g, disable") << 31470 << 1 << 0xC5 << false << false << false << "0.0955" << 5
                                              << "0.0955" << 0x04;
        QTest::newRow("1: clamped, enable") << 31470 << 1 << 0xC4 << true << false << false << "100000" << 32767
                                            << "625.8497" << 0xC5;
        QTest::newRow("2: counts on 31470") << 31470 << 2 << 0xFF << false << false << false << "100" << 100
                                            << "100.0000" << 0x3D;
        QTest::newRow("3: 1 g on 31473") << 31473 << 3 << 0x01 << true << false << false << "1" << 210 << "1.0014"
                                         << 0x05;
        QTest::newRow("4: 25 degC, all set") << 31473 << 4 << 0xC7 << true << true << true << "25" << 1278 << "25.00"
                                             << 0xFF;
        QTest::newRow("4: 0 degC only") << 31473 << 4 << 0x01 << false << true << false << "0" << 1331 << "0.12"
                                        << 0x11;
        QTest::newRow("4: supply held to 8191") << 31473 << 4 << 0xFF << false << false << false << "100" << 8191
                                                << "10.00" << 0x07;
    }
    void alarmButton()
    {
        QFETCH(int, product);
        QFETCH(int, alarm);
        QFETCH(int, before);
        QFETCH(bool, checked);
        QFETCH(bool, temperature);
        QFETCH(bool, less);
        QFETCH(QString, text);
        QFETCH(int, counts);
        QFETCH(int, after);
        Open(static_cast<int16_t>(product), before);
        QList<QCheckBox*>{w->Check1, w->Check2, w->Check3, w->Check4}[alarm - 1]->setChecked(checked);
        if (alarm == 4) {
            (less ? w->OptionLess : w->OptionGreater)->setChecked(true);
            (temperature ? w->OptionTemp : w->OptionSupply)->setChecked(true);
        }
        Box(alarm)->setText(text);
        Clear();
        QTest::mouseClick(Button(alarm), Qt::LeftButton);
        QCOMPARE(Writes(), Word(MagAddr(alarm), counts) + Word(0x28, after));
        QCOMPARE(Reads(), QList<int>{0x28} + ReadBack());
        QCOMPARE(g_waits.size(), 2);
        QCOMPARE(g_waits[0].ms, 50.0f);
        QCOMPARE(g_waits[0].framesBefore, 6);
        QTEST(Box(alarm)->text(), "shown");
    }
};

SB_TEST_MAIN(AlarmsTest)
#include "tst_alarms.moc"
