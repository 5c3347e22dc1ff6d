// The calibration window on the virtual board: null values, hex labels, writes and waits.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/fmCalibration.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace cfgtest;
using namespace m470Reg;

class CalibrationTest : public QObject {
    Q_OBJECT
    fmCalibration* w = nullptr;

    void Open(int16_t product, int x = 0, int y = 0, int z = 0)
    {
        StartBoard(product);
        Sensor().Poke(0x02, static_cast<uint16_t>(x));
        Sensor().Poke(0x04, static_cast<uint16_t>(y));
        Sensor().Poke(0x06, static_cast<uint16_t>(z));
        w = fmCalibration::instance();
        w->show();
    }

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
    void display()
    {
        QFETCH(int, product);
        QFETCH(int, x);
        QFETCH(int, y);
        Open(static_cast<int16_t>(product), x, y);
        QTEST((QStringList{w->txtXnull->text(), w->txtAUX0null->text(), w->txtAUX1null->text()}), "texts");
        QTEST((QStringList{w->lblXnullReg->text(), w->lblAUX0nullReg->text(), w->lblAUX1nullReg->text()}), "hex");
        QCOMPARE(Reads(), (QList<int>{0x02, 0x04, 0x06}));
        QVERIFY(Writes().isEmpty());
        // Row names do not follow the product.
        QCOMPARE(w->Label12->text(), QStringLiteral("Y_Null"));
    }

    void update_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("counts");
        QTest::newRow("0.0955 writes 5") << 31470 << 0 << "0.0955" << 5;
        QTest::newRow("non-numeric writes 0") << 31470 << 0 << "Xnull" << 0;
        QTest::newRow("negative") << 31470 << 0 << "-0.0955" << -5;
        QTest::newRow("plain counts row") << 31470 << 1 << "100" << 100;
        QTest::newRow("tri-axis Z") << 31473 << 2 << "1" << 210;
        QTest::newRow("no range check") << 31470 << 0 << "1000" << 52356;
    }
    void update()
    {
        QFETCH(int, product);
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(int, counts);
        Open(static_cast<int16_t>(product), 7, 7, 7);
        QLineEdit* boxes[3] = {w->txtXnull, w->txtAUX0null, w->txtAUX1null};
        QPushButton* buttons[3] = {w->cmdWriteX, w->cmdWriteAXU0, w->cmdWriteAUX1};
        QLabel* hex[3] = {w->lblXnullReg, w->lblAUX0nullReg, w->lblAUX1nullReg};
        boxes[row]->setText(text);
        Clear();
        QTest::mouseClick(buttons[row], Qt::LeftButton);
        QCOMPARE(Writes(), Word(0x02 + 2 * row, counts));
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].ms, 100.0f);
        QCOMPARE(g_waits[0].framesBefore, 2);
        QCOMPARE(Reads(), (QList<int>{0x02, 0x04, 0x06}));
        QCOMPARE(hex[row]->text(), cfg::Hex16(counts));
    }

    void commands_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("addr");
        QTest::addColumn<int>("data");
        QTest::addColumn<float>("ms");
        QTest::addColumn<bool>("readBack");
        QTest::newRow("Auto Null") << "cmdAutoNull" << 0x3E << 0x01 << 700.0f << true;
        QTest::newRow("Write to Flash") << "cmdFlashUpdate" << 0x3F << 0x10 << 600.0f << false;
        QTest::newRow("Read from Flash") << "cmdReadFromFlash" << 0x3F << 0x20 << 250.0f << true;
    }
    void commands()
    {
        QFETCH(QString, button);
        QFETCH(int, addr);
        QFETCH(int, data);
        QFETCH(bool, readBack);
        Open(31473);
        Clear();
        Qt::CursorShape during = Qt::ArrowCursor;
        cfg::SetWaitObserver([&](float wait) {
            g_waits.append({wait, static_cast<int>(Sensor().Frames().size())});
            during = w->cursor().shape();
        });
        (button == "cmdAutoNull" ? w->cmdAutoNull : button == "cmdFlashUpdate" ? w->cmdFlashUpdate : w->cmdReadFromFlash)
            ->click();
        QCOMPARE(Writes(), (QList<Write>{{addr, data}}));
        QCOMPARE(g_waits.size(), 1);
        QTEST(g_waits[0].ms, "ms");
        QCOMPARE(g_waits[0].framesBefore, 1);
        QCOMPARE(Reads(), readBack ? (QList<int>{0x02, 0x04, 0x06}) : QList<int>{});
        if (button == "cmdFlashUpdate") {
            QCOMPARE(during, Qt::WaitCursor);
            QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        }
    }
};

SB_TEST_MAIN(CalibrationTest)
#include "tst_calibration.moc"
