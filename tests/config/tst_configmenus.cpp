// The main window's menu items open the configuration and register windows: modal or
// modeless, created once, placed relative to the main window.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "capture/frmForm1.h"
#include "config/fmCalibration.h"
#include "config/frmAlarms.h"
#include "config/frmCommand.h"
#include "config/frmDIOGPIO.h"
#include "config/frmMisc.h"
#include "registers/frmManualReg.h"
#include "ui/Ui.h"

#include <QAction>

using namespace cfgtest;

class ConfigMenusTest : public QObject {
    Q_OBJECT
    frmForm1* main = nullptr;

    QPoint Expected(int dx, int dy) const
    {
        return main->frameGeometry().topLeft() + QPoint(ui::TwipsToPixelsX(dx), ui::TwipsToPixelsY(dy));
    }

private slots:
    void initTestCase()
    {
        StartBoard(31473);
        main = frmForm1::instance();
        main->move(40, 30);
        main->show();
    }
    void cleanupTestCase()
    {
        cfg::SetWaitObserver({});
        frmForm1::destroyInstance();
    }

    void modalWindows_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QPoint>("offsetTwips");
        QTest::newRow("ALARMS") << "ALARMS" << "frmAlarms" << QPoint(3300, 300);
        QTest::newRow("Calibration") << "Calibration" << "fmCalibration" << QPoint(3000, 300);
        QTest::newRow("Registers") << "Registers" << "frmManualReg" << QPoint(0, 0);
    }
    void modalWindows()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        QFETCH(QPoint, offsetTwips);
        QAction* action = item == "ALARMS" ? main->mnuAlarms : item == "Calibration" ? main->MnuCal : main->mnuRegisters;
        sbtest::ModalsShown().clear();
        QPoint shownAt;
        sbtest::SetModalAction([&shownAt](QWidget* w) { shownAt = w->pos(); });
        action->trigger();
        sbtest::SetModalAction({});
        QCOMPARE(sbtest::ModalsShown().size(), 1);
        QWidget* w = sbtest::ModalsShown().first();
        QCOMPARE(w->objectName(), window);
        QVERIFY(!w->isVisible());
        QCOMPARE(shownAt, Expected(offsetTwips.x(), offsetTwips.y()));
        // A second opening shows the same window.
        action->trigger();
        QCOMPARE(sbtest::ModalsShown().size(), 2);
        QCOMPARE(sbtest::ModalsShown().at(1), w);
    }

    void modelessWindows_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QPoint>("offsetTwips");
        QTest::newRow("COMMAND") << "COMMAND" << "frmCommand" << QPoint(3300, 600);
        QTest::newRow("DIO_CTRL / GPIO_CTRL") << "DIO" << "frmDIOGPIO" << QPoint(2500, 300);
        QTest::newRow("MSC_CTRL") << "MSC" << "frmMisc" << QPoint(3000, 300);
    }
    void modelessWindows()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        QFETCH(QPoint, offsetTwips);
        QAction* action = item == "COMMAND" ? main->mnuCommand : item == "DIO" ? main->mnuDIOGPIO : main->mnumsc;
        sbtest::ModalsShown().clear();
        action->trigger();
        QVERIFY(sbtest::ModalsShown().isEmpty());
        QWidget* w = nullptr;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (t->objectName() == window)
                w = t;
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(!w->isModal());
        QCOMPARE(w->pos(), Expected(offsetTwips.x(), offsetTwips.y()));
        action->trigger();
        int count = 0;
        for (QWidget* t : QApplication::topLevelWidgets())
            count += t->objectName() == window ? 1 : 0;
        QCOMPARE(count, 1);
        w->hide();
    }
};

SB_TEST_MAIN(ConfigMenusTest)
#include "tst_configmenus.moc"
