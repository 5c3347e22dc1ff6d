// Renders each configuration and register window on the virtual board. With
// SB_WRITE_SCREENSHOTS=1 the images go to docs/ of the source tree.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/fmCalibration.h"
#include "config/frmAlarms.h"
#include "config/frmCommand.h"
#include "config/frmDIOGPIO.h"
#include "config/frmMisc.h"
#include "registers/frmManualReg.h"

#include <QComboBox>
#include <QDir>
#include <QImage>

using namespace cfgtest;

class ScreenshotsTest : public QObject {
    Q_OBJECT
    void Shoot(QWidget* w, const QString& name)
    {
        w->show();
        QImage image = w->grab().toImage();
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > 100 && image.height() > 100);
        if (qgetenv("SB_WRITE_SCREENSHOTS") == "1")
            QVERIFY(image.save(QDir(qEnvironmentVariable("SB_SOURCE_DIR")).filePath(QStringLiteral("docs/%1.png").arg(name))));
        w->hide();
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English));
        StartBoard(31473);
        Sensor().Poke(0x28, 0x0019);   // ALM_CTRL: alarms 1 and 4, temperature
        Sensor().Poke(0x26, 1278);     // 25 degC
        Sensor().Poke(0x20, 420);      // about 2 g
        Sensor().Poke(0x36, 0x000D);   // pin 1 busy, pin 2 GPIO
        Sensor().Poke(0x32, 0x0202);
        Sensor().Poke(0x02, 0xFFF6);
        Sensor().Poke(0x04, 12);
        Sensor().Poke(0x34, 0x0104);
    }
    void cleanupTestCase() { cfg::SetWaitObserver({}); }

    void windows()
    {
        Shoot(frmAlarms::instance(), QStringLiteral("frmAlarms"));
        Shoot(frmDIOGPIO::instance(), QStringLiteral("frmDIOGPIO"));
        Shoot(fmCalibration::instance(), QStringLiteral("fmCalibration"));
        Shoot(frmCommand::instance(), QStringLiteral("frmCommand"));
        Shoot(frmMisc::instance(), QStringLiteral("frmMisc"));
        frmManualReg* r = frmManualReg::instance();
        r->cmboRegister->setCurrentIndex(1);
        emit r->cmboRegister->activated(1);
        Shoot(r, QStringLiteral("frmManualReg"));
    }
};

SB_TEST_MAIN(ScreenshotsTest)
#include "tst_screenshots.moc"
