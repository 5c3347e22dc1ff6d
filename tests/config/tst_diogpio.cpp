// The DIO/GPIO window on the virtual board: options from DIO_CTRL/GPIO_CTRL, and the writes.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/frmDIOGPIO.h"

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
    QList<QRadioButton*> GpioOptions() const
    {
        return {w->opGInput1, w->opGOutput1, w->opGLevelHigh1, w->opGLevelLow1,
                w->opGInput2, w->opGOutput2, w->opGLevelHigh2, w->opGLevelLow2};
    }

private slots:
    void cleanup()
    {
        if (w)
            w->hide();
        cfg::SetWaitObserver({});
    }

    void captions()
    {
        Open(0, 0);
        QCOMPARE(w->windowTitle(), QStringLiteral("GPIO_Ctrl   DIO_Ctrl"));
        QCOMPARE(w->fraGDirection1->title(), QStringLiteral("Direction  pin 1"));
        QCOMPARE(w->fraGDirection2->title(), QStringLiteral("Direction pin 2"));
        QCOMPARE(w->cmdFlash->text(), QStringLiteral("Write Settings Flash Memory"));
        QCOMPARE(w->LbLGPIOinfo2->text(), QStringLiteral("DIO Function must be set to GPIO"));
    }

    void display_data()
    {
        QTest::addColumn<int>("dio");
        QTest::addColumn<int>("gpio");
        QTest::addColumn<int>("product");
        QTest::newRow("0x0000 both GPIO, active low") << 0x0000 << 0x0000 << 31473;
        QTest::newRow("0x003D both busy") << 0x003D << 0x0303 << 31473;
        QTest::newRow("pin 1 GPIO output high, pin 2 alarm") << 0x0013 << 0x0101 << 31470;
        QTest::newRow("pin 2 low whatever pin 1's level") << 0x0000 << 0x0100 << 31470;
    }
    void display()
    {
        QFETCH(int, dio);
        QFETCH(int, gpio);
        QFETCH(int, product);
        Open(dio, gpio, static_cast<int16_t>(product));
        const cfg::DioCtrlFields d = cfg::DecodeDioCtrl(dio);
        QCOMPARE(w->opActiveHigh1->isChecked(), d.activeHigh1);
        QCOMPARE(w->opActiveLow1->isChecked(), !d.activeHigh1);
        QCOMPARE(w->OpActiveHigh2->isChecked(), d.activeHigh2);
        QCOMPARE(w->OpActiveLow2->isChecked(), !d.activeHigh2);
        QRadioButton* const f1[4] = {w->opFuncGPIO1, w->opFuncAlarm1, w->OpFuncCapTrig1, w->OpFuncBusy1};
        QRadioButton* const f2[4] = {w->OpFuncGPIO2, w->OpFuncAlarm2, w->OpFuncCapTrig2, w->OpFuncBusy2};
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(f1[k]->isChecked(), k == static_cast<int>(d.function1));
            QCOMPARE(f2[k]->isChecked(), k == static_cast<int>(d.function2));
        }
        const bool gpio1 = d.function1 == cfg::PinFunction::Gpio;
        const bool gpio2 = d.function2 == cfg::PinFunction::Gpio;
        QCOMPARE(w->opGInput1->isEnabled(), gpio1);
        QCOMPARE(w->fraGLevel1->isEnabled(), gpio1);
        QCOMPARE(w->opGLevelLow2->isEnabled(), gpio2);
        QCOMPARE(w->LbLGPIOinfo1->font().bold(), !gpio1);
        QCOMPARE(w->LbLGPIOinfo2->font().bold(), !gpio2);
        QCOMPARE(w->opGOutput1->isChecked(), gpio1 && (gpio & 0x001));
        QCOMPARE(w->opGInput1->isChecked(), gpio1 && !(gpio & 0x001));
        QCOMPARE(w->opGLevelHigh1->isChecked(), gpio1 && (gpio & 0x100));
        QCOMPARE(w->opGLevelLow1->isChecked(), gpio1 && !(gpio & 0x100));
        QCOMPARE(w->opGOutput2->isChecked(), gpio2 && (gpio & 0x002));
        QCOMPARE(w->opGInput2->isChecked(), gpio2 && !(gpio & 0x002));
        QCOMPARE(w->opGLevelHigh2->isChecked(), gpio2 && (gpio & 0x200));
        QCOMPARE(w->opGLevelLow2->isChecked(), gpio2 && !(gpio & 0x200));
        // Filling the options reads both registers and writes nothing.
        QVERIFY(Writes().isEmpty());
        QCOMPARE(Reads(), (QList<int>{0x36, 0x32}));
    }

    void busyPinsShowNoGpioChoice()
    {
        Open(0x003D, 0x0303);
        for (QRadioButton* o : GpioOptions()) {
            QVERIFY2(!o->isChecked(), qPrintable(o->text()));
            QVERIFY(!o->isEnabled());
        }
    }

    void functionWrite()
    {
        // Pin 1 capture trigger, pin 2 alarm, both active high; pin 2 becomes GPIO.
        Open(0x001B, 0x0000);
        QVERIFY(w->OpFuncCapTrig1->isChecked());
        QVERIFY(!w->fraGPIO2->isEnabled());
        Clear();
        Choose(w->OpFuncGPIO2);
        QCOMPARE(Writes(), Word(0x36, 0x000B));
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].ms, 100.0f);
        QCOMPARE(g_waits[0].framesBefore, 2);
        // The read-back enables pin 2's GPIO group.
        QCOMPARE(Reads(), (QList<int>{0x36, 0x32}));
        QVERIFY(w->fraGPIO2->isEnabled());
        QVERIFY(w->opGInput2->isChecked());
        QVERIFY(!w->LbLGPIOinfo2->font().bold());
    }

    void polarityWrite()
    {
        Open(0x0000, 0x0000, 31470);
        Clear();
        Choose(w->OpActiveHigh2);
        QCOMPARE(Writes(), Word(0x36, 0x0002));
        QVERIFY(w->OpActiveHigh2->isChecked());
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
        QVERIFY(w->opGInput1->isChecked());
        QVERIFY(w->opGLevelLow1->isChecked());
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
        QVERIFY(hourglass);
        QVERIFY(buttonDisabled);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(w->cmdFlash->isEnabled());
        QCOMPARE(w->cmdFlash->text(), QStringLiteral("Write Settings Flash Memory"));
    }
};

SB_TEST_MAIN(DioGpioTest)
#include "tst_diogpio.moc"
