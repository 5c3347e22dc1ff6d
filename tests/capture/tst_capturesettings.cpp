#include "TestSupport.h"
#include "capture/CaptureSettings.h"

#include <QLocale>
#include <cmath>

using namespace CaptureSettings;

class TestCaptureSettings : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void composeCaptCtrl_data()
    {
        QTest::addColumn<bool>("powerDown");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("preTrig");
        QTest::addColumn<bool>("writeFlash");
        QTest::addColumn<bool>("filter");
        QTest::addColumn<int>("expected");
        QTest::newRow("extended Y, 256, power-down, filter") << true << 4 << 2 << false << true << 0x1AD;
        QTest::newRow("extended X keeps axis 0") << false << 3 << 0 << false << false << 0x00C;
        QTest::newRow("extended Z") << false << 5 << 3 << true << false << 0x27C;
        QTest::newRow("event with flash") << false << 2 << 1 << true << false << 0x058;
        QTest::newRow("no mode selected counts as manual") << false << -1 << -1 << false << false << 0;
    }
    void composeCaptCtrl()
    {
        QFETCH(bool, powerDown);
        QFETCH(int, mode);
        QFETCH(int, preTrig);
        QFETCH(bool, writeFlash);
        QFETCH(bool, filter);
        QFETCH(int, expected);
        QCOMPARE(ComposeCaptCtrl(powerDown, mode, preTrig, writeFlash, filter), expected);
    }

    void readSelectsModeEntry_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("index");
        QTest::newRow("0x020C tri-axis: Extended Time Z") << 0x020C << 6 << 5;
        QTest::newRow("0x010C tri-axis: Extended Time Y") << 0x010C << 6 << 4;
        QTest::newRow("0x030C tri-axis: axis 3 stays on X") << 0x030C << 6 << 3;
        QTest::newRow("event") << 0x00C8 << 3 << 2;
        QTest::newRow("mode 3 on single axis: nothing") << 0x000C << 3 << -1;
    }
    void readSelectsModeEntry()
    {
        QFETCH(int, raw);
        QFETCH(int, items);
        QFETCH(int, index);
        QCOMPARE(ModeIndexForRead(DecodeCaptCtrl(raw), items), index);
    }

    void singleAxisDurationsAreTheMeasuredTimesRounded()
    {
        const double measured[] = {0.387034633, 0.460679266, 0.907968532, 1.602547065,
                                   3.00170413,  6.001826,    12.12664652};
        const auto table = DurationTable(31470, false);
        QVERIFY(table.has_value());
        for (int i = 0; i < 7; ++i)
            QCOMPARE((*table)[4 + i], std::nearbyint(measured[i] * 100) / 100);
        QVERIFY(!DurationTable(12345, false).has_value());
        QCOMPARE((*DurationTable(31473, true))[6], 1.6);
        QCOMPARE((*DurationTable(31473, false))[6], 1.1);
    }

    void durationLabel_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<QString>("text");
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
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(DurationLabelText(seconds, extended), text);
    }

    void avgExponent_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("exponent");
        QTest::newRow("6") << 6.0 << 6;
        QTest::newRow("15 kept") << 15.0 << 15;
        QTest::newRow("16 becomes 0") << 16.0 << 0;
        QTest::newRow("65535 becomes 0") << 65535.0 << 0;
    }
    void avgExponent()
    {
        QFETCH(double, value);
        QFETCH(int, exponent);
        QCOMPARE(AvgExponentForRead(value), exponent);
    }

    void typedNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("leading");
        QTest::newRow("integer") << "300" << true << 300.0;
        QTest::newRow("blanks around") << " 12 " << true << 12.0;
        QTest::newRow("decimal") << "2.5" << true << 2.5;
        QTest::newRow("trailing letters") << "12abc" << false << 12.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("negative") << "-4" << true << -4.0;
        QTest::newRow("lone sign") << "-" << false << 0.0;
    }
    void typedNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(double, leading);
        QCOMPARE(IsNumericText(text), numeric);
        QCOMPARE(LeadingNumber(text), leading);
    }

    void roundsHalvesToEven()
    {
        QCOMPARE(RoundHalfEven(2.5), int64_t(2));
        QCOMPARE(RoundHalfEven(3.5), int64_t(4));
        QCOMPARE(RoundHalfEven(110.6), int64_t(111));
    }

    void captPrdFields()
    {
        QCOMPARE(ComposeCaptPrd(1, 10), 0x010A);
        QCOMPARE(PeriodOf(0x03FF), 255);
        QCOMPARE(UnitsOf(0x03FF), 3);
        QCOMPARE(TimeUnitsErrorText(3),
                 QStringLiteral("Error reading Capture Period register\r\n\r\nTime units bit field (bits 8, 9) "
                                "value = 3\r\n\r\nThis value should not be greater than 2."));
    }

    void statusRows()
    {
        QCOMPARE(StatusTitle(0), QStringLiteral("Supply < 3.150 V"));
        QCOMPARE(StatusTitle(14), QStringLiteral("Alarm Z Event"));
        for (int bit = 0; bit < kStatusRows; ++bit) {
            const StatusRow clear = DecodeStatusRow(0xFFFF & ~(1 << bit), bit);
            QCOMPARE(clear.text, QStringLiteral("OK"));
            QCOMPARE(clear.rgb, kGreen);
            const StatusRow set = DecodeStatusRow(1 << bit, bit);
            QCOMPARE(set.text, bit <= 6 ? QStringLiteral("FAIL") : QStringLiteral("SET"));
            QCOMPARE(set.rgb, bit <= 6 ? kRed : kYellow);
        }
    }
};

SB_TEST_MAIN(TestCaptureSettings)
#include "tst_capturesettings.moc"
