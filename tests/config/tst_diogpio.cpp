// The DIO/GPIO window on the virtual board: options from DIO_CTRL/GPIO_CTRL, and the writes.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/ui/frmDIOGPIO.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using namespace cfgtest;
using namespace m470Reg;

class DioGpioTest : public QObject {
    Q_OBJECT
    frmDIOGPIO* w = nullptr;

    void Open(int dio, int gpio, int16_t product = 31473)
    {
        StartBoard(product);
        Sensor().Poke(0x36, static_cast<uint16_t>(dio));
        Sensor().Poke(0x32, static_cast<uint16_t>(gpio));
        w = frmDIOGPIO::instance();
        w->show();
    }

private slots:
    void cleanup()
    {
        if (w)
            w->hide();
        cfg::SetWaitObserver({});
    }

    void display_data()
    {
        QTest::addColumn<int>("dio");
        QTest::addColumn<int>("gpio");
        QTest::addColumn<int>("product");
        QTest::addColumn<QList<bool>>("activeHigh"); // pin 1, pin 2
        QTest::addColumn<QList<int>>("function");    // 0 GPIO, 1 alarm, 2 capture trigger, 3 busy
        QTest::newRow("0x003D both busy") << 0x003D << 0x0303 << 31473 << QList<bool>{true, false} << QList<int>{3, 3};
        QTest::newRow("pin 1 GPIO output high, pin 2 alarm") << 0x0013 << 0x0101 << 31470 << QList<bool>{true, true}
                                                             << QList<int>{0, 1};
        // Bits the window does not own change nothing.
        QTest::newRow("foreign bits") << 0xFFD2 << 0xFCFC << 31473 << QList<bool>{false, true} << QList<int>{0, 1};
    }
    void display()
    {
        QFETCH(int, dio);
        QFETCH(int, gpio);
        QFETCH(int, product);
        QFETCH(QList<bool>, activeHigh);
        QFETCH(QList<int>, function);
        Open(dio, gpio, static_cast<int16_t>(product));
        QCOMPARE(w->opActiveHigh1->isChecked(), activeHigh[0]);
        QCOMPARE(w->OpActiveHigh2->isChecked(), activeHigh[1]);
        QRadioButton* const f1[4] = {w->opFuncGPIO1, w->opFuncAlarm1, w->OpFuncCapTrig1, w->OpFuncBusy1};
        QRadioButton* const f2[4] = {w->OpFuncGPIO2, w->OpFuncAlarm2, w->OpFuncCapTrig2, w->OpFuncBusy2};
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(f1[k]->isChecked(), k == function[0]);
            QCOMPARE(f2[k]->isChecked(), k == function[1]);
        }
        const bool gpio1 = function[0] == 0, gpio2 = function[1] == 0;
        QCOMPARE(w->LbLGPIOinfo2->font().bold(), !gpio2);
        // Per pin: input/output from bits 0/1, level from bits 8/9; all clear when the pin is not GPIO.
        const QList<QRadioButton*> out{w->opGOutput1, w->opGOutput2}, in{w->opGInput1, w->opGInput2},
            high{w->opGLevelHigh1, w->opGLevelHigh2}, low{w->opGLevelLow1, w->opGLevelLow2};
        for (int p = 0; p < 2; ++p) {
            const bool isGpio = p == 0 ? gpio1 : gpio2;
            QCOMPARE(out[p]->isChecked(), isGpio && (gpio & (1 << p)));
            QCOMPARE(in[p]->isChecked(), isGpio && !(gpio & (1 << p)));
            QCOMPARE(high[p]->isChecked(), isGpio && (gpio & (0x100 << p)));
            QCOMPARE(low[p]->isEnabled(), isGpio);
        }
        // Filling the options reads both registers and writes nothing.
        QVERIFY(Writes().isEmpty());
        QCOMPARE(Reads(), (QList<int>{0x36, 0x32}));
    }

    // Pin 1 capture trigger, pin 2 alarm, both active high; pin 2 becomes GPIO.
    void functionWrite()
    {
        Open(0x001B, 0x0000);
        QVERIFY(!w->fraGPIO2->isEnabled());
        Clear();
        Choose(w->OpFuncGPIO2);
        QCOMPARE(Writes(), Word(0x36, 0x000B));
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].ms, 100.0f);
        QCOMPARE(g_waits[0].framesBefore, 2);
        // The read-back shows the new state.
        QCOMPARE(Reads(), (QList<int>{0x36, 0x32}));
        QVERIFY(w->fraGPIO2->isEnabled() && w->opGInput2->isChecked());
    }

    void gpioWrite()
    {
        Open(0x0000, 0x0000);
        Clear();
        Choose(w->opGOutput2);
        Choose(w->opGLevelHigh2);
        QCOMPARE(Writes(), Word(0x32, 0x0002) + Word(0x32, 0x0202));
        // No wait of its own, a read-back after each write.
        QVERIFY(g_waits.isEmpty());
        QCOMPARE(Reads(), (QList<int>{0x36, 0x32, 0x36, 0x32}));
    }

    void flashButtonShowsBusy()
    {
        Open(0x0000, 0x0000);
        Clear();
        bool hourglass = false;
        bool buttonDisabled = false;
        cfg::SetWaitObserver([&](float ms) {
            g_waits.append({ms, static_cast<int>(Sensor().Frames().size())});
            hourglass = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            buttonDisabled = !w->cmdFlash->isEnabled();
        });
        w->cmdFlash->click();
        QCOMPARE(Writes(), (QList<Write>{{0x3F, 0x10}}));
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].framesBefore, 1);
        QVERIFY(g_waits[0].ms >= 400.0f);
        QVERIFY(hourglass && buttonDisabled);
        QVERIFY(!QApplication::overrideCursor() && w->cmdFlash->isEnabled());
    }
};

SB_TEST_MAIN(DioGpioTest)
#include "tst_diogpio.moc"
