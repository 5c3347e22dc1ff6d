// The main window's menu items open the configuration and register windows: modal or
// modeless, created once, placed relative to the main window. With SB_WRITE_SCREENSHOTS=1
// the windows are also rendered to docs/ of the source tree.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "capture/ui/frmForm1.h"
#include "config/ui/fmCalibration.h"
#include "config/ui/frmAlarms.h"
#include "config/ui/frmCommand.h"
#include "config/ui/frmDIOGPIO.h"
#include "config/ui/frmMisc.h"
#include "registers/ui/frmManualReg.h"
#include "ui/Ui.h"

#include <QAction>
#include <QComboBox>

using namespace cfgtest;

class ConfigMenusTest : public QObject {
    Q_OBJECT
    frmForm1* main = nullptr;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English));
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

    void menuOpensWindow_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("modal");
        QTest::addColumn<QPoint>("offsetTwips");
        QTest::newRow("ALARMS") << "ALARMS" << "frmAlarms" << true << QPoint(3300, 300);
        QTest::newRow("Registers") << "Registers" << "frmManualReg" << true << QPoint(0, 0);
        QTest::newRow("COMMAND") << "COMMAND" << "frmCommand" << false << QPoint(3300, 600);
    }
    void menuOpensWindow()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        QFETCH(bool, modal);
        QFETCH(QPoint, offsetTwips);
        const QMap<QString, QAction*> actions{
            {"ALARMS", main->mnuAlarms}, {"Registers", main->mnuRegisters}, {"COMMAND", main->mnuCommand}};
        auto windows = [&window] {
            QList<QWidget*> found;
            for (QWidget* t : QApplication::topLevelWidgets())
                if (t->objectName() == window)
                    found << t;
            return found;
        };
        sbtest::ModalsShown().clear();
        QPoint shownAt;
        sbtest::SetModalAction([&shownAt](QWidget* w) { shownAt = w->pos(); });
        actions[item]->trigger();
        sbtest::SetModalAction({});
        QCOMPARE(sbtest::ModalsShown().size(), modal ? 1 : 0);
        QWidget* w = modal ? sbtest::ModalsShown().first() : windows().value(0);
        QVERIFY(w);
        QCOMPARE(w->objectName(), window);
        // Modal windows are hidden again once the (intercepted) modal show returns.
        QCOMPARE(w->isVisible(), !modal);
        const QPoint expected = main->frameGeometry().topLeft() +
                                QPoint(ui::TwipsToPixelsX(offsetTwips.x()), ui::TwipsToPixelsY(offsetTwips.y()));
        QCOMPARE(modal ? shownAt : w->pos(), expected);
        // A second opening shows the same window.
        actions[item]->trigger();
        if (modal)
            QCOMPARE(sbtest::ModalsShown().at(1), w);
        else
            QCOMPARE(windows(), QList<QWidget*>{w});
        w->hide();
    }

    void screenshots()
    {
        if (qgetenv("SB_WRITE_SCREENSHOTS") != "1")
            QSKIP("only with SB_WRITE_SCREENSHOTS=1");
        for (auto [addr, value] : {std::pair{0x28, 0x0019}, {0x26, 1278}, {0x20, 420}, {0x36, 0x000D}, {0x32, 0x0202},
                                   {0x02, 0xFFF6}, {0x04, 12}, {0x34, 0x0104}})
            Sensor().Poke(addr, static_cast<uint16_t>(value));
        frmManualReg* r = frmManualReg::instance();
        r->cmboRegister->setCurrentIndex(1);
        emit r->cmboRegister->activated(1);
        const QDir docs(qEnvironmentVariable("SB_SOURCE_DIR") + "/docs");
        for (QWidget* w : QList<QWidget*>{frmAlarms::instance(), frmDIOGPIO::instance(), fmCalibration::instance(),
                                          frmCommand::instance(), frmMisc::instance(), r}) {
            w->show();
            QVERIFY(w->grab().save(docs.filePath(w->objectName() + ".png")));
            w->hide();
        }
    }
};

SB_TEST_MAIN(ConfigMenusTest)
#include "tst_configmenus.moc"
