// Capture durations, their label, and the numbers typed into the settings boxes.
#include "../sim/SimTestBench.h"
#include "capture/CaptureSettings.h"

#include <QLocale>
#include <cmath>

using namespace CaptureSettings;

class TestCaptureSettings : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void unknownProductHasNoDurations() { QVERIFY(!DurationTable(12345, false).has_value()); }

    void durationLabel_data()
    {
        tb::Columns<QString, double, bool, QString>({"locale", "seconds", "extended", "text"});
        QTest::newRow("two decimals") << "C" << 1.6 << false << "1.60";
        QTest::newRow("extended: three times, general format") << "C" << 1.6 << true << "4.8";
        QTest::newRow("extended 0.23") << "C" << 0.23 << true << "0.69";
        QTest::newRow("extended 16.9") << "C" << 16.9 << true << "50.7";
        QTest::newRow("German") << "de_DE" << 1.6 << false << "1,60";
        QTest::newRow("German extended") << "de_DE" << 1.6 << true << "4,8";
    }
    void durationLabel()
    {
        QFETCH(QString, locale);
        QFETCH(double, seconds);
        QFETCH(bool, extended);
        QLocale::setDefault(QLocale(locale));
        QTEST(DurationLabelText(seconds, extended), "text");
    }

    void typedNumbers_data()
    {
        tb::Columns<QString, QString, bool, double>({"locale", "text", "numeric", "leading"});
        QTest::newRow("integer") << "C" << "300" << true << 300.0;
        QTest::newRow("blanks around") << "C" << " 12 " << true << 12.0;
        QTest::newRow("decimal") << "C" << "2.5" << true << 2.5;
        QTest::newRow("trailing letters") << "C" << "12abc" << false << 12.0;
        QTest::newRow("letters") << "C" << "abc" << false << 0.0;
        QTest::newRow("empty") << "C" << "" << false << 0.0;
        QTest::newRow("negative") << "C" << "-4" << true << -4.0;
        QTest::newRow("lone sign") << "C" << "-" << false << 0.0;
        QTest::newRow("German decimal comma") << "de_DE" << "2,5" << true << 2.5;
    }
    void typedNumbers()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QTEST(IsNumericText(text), "numeric");
        QTEST(LeadingNumber(text), "leading");
    }

};

SB_TEST_MAIN(TestCaptureSettings)
#include "tst_capturesettings.moc"
