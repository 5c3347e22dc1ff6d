// Number parsing, rounding and number text of the configuration windows. (Unit conversions
// and bit fields are checked through the windows, at the wire.)
#include "TestSupport.h"
#include "config/ConfigConversions.h"

using namespace cfg;

namespace {
const QLocale kEn(QLocale::English);
const QLocale kDe(QLocale::German, QLocale::Germany);
} // namespace

class ConfigConversionsTest : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << "" << kEn << 0.0;
        QTest::newRow("not a number") << "Mag1" << kEn << 0.0;
        QTest::newRow("plain") << "0.0955" << kEn << 0.0955;
        QTest::newRow("leading blanks and sign") << "  -12.5" << kEn << -12.5;
        QTest::newRow("trailing text") << "3.3 V" << kEn << 3.3;
        QTest::newRow("blanks inside count as nothing") << "1 2" << kEn << 12.0;
        QTest::newRow("second point ends it") << "1.2.3" << kEn << 1.2;
        QTest::newRow("exponent") << "1e3" << kEn << 1000.0;
        QTest::newRow("D exponent") << "2.5D-1" << kEn << 0.25;
        QTest::newRow("dangling exponent") << "7e" << kEn << 7.0;
        QTest::newRow("point only") << "." << kEn << 0.0;
        QTest::newRow("leading point") << ".5" << kEn << 0.5;
        QTest::newRow("hex") << "&H1F" << kEn << 31.0;
        QTest::newRow("hex 16-bit negative") << "&HFFFF" << kEn << -1.0;
        QTest::newRow("octal") << "&O17" << kEn << 15.0;
        QTest::newRow("comma ends it in English") << "1,56" << kEn << 1.0;
        QTest::newRow("German comma") << "1,56" << kDe << 1.56;
        QTest::newRow("German takes a point too") << "1.56" << kDe << 1.56;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(QLocale, locale);
        QTEST(LeadingNumber(text, locale), "value");
    }

    void roundHalfEven_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<int>("n");
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("1331.25") << 1331.25 << 1331;
        QTest::newRow("2702.99") << 2702.99 << 2703;
        QTest::newRow("huge saturates") << 1e12 << 2147483647;
        QTest::newRow("huge negative saturates") << -1e12 << int(-2147483647 - 1);
    }
    void roundHalfEven()
    {
        QFETCH(double, v);
        QTEST(RoundHalfEven(v), "n");
    }

    void formatFixed_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("two places") << 25.0 << 2 << kEn << "25.00";
        QTest::newRow("no grouping") << 625.8497 << 4 << kEn << "625.8497";
        QTest::newRow("negative") << -0.0191 << 4 << kEn << "-0.0191";
        QTest::newRow("rounds to zero without sign") << -0.001 << 2 << kEn << "0.00";
        QTest::newRow("German") << 1234.5 << 2 << kDe << "1234,50";
    }
    void formatFixed()
    {
        QFETCH(double, v);
        QFETCH(int, decimals);
        QFETCH(QLocale, locale);
        QTEST(FormatFixed(v, decimals, locale), "text");
    }

    void generalNumberText_data()
    {
        QTest::addColumn<float>("v");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("integer") << 625.0f << kEn << "625";
        QTest::newRow("scaled single") << 0.0955f << kEn << "0.0955";
        QTest::newRow("seven digits") << 1234567.0f << kEn << "1234567";
        QTest::newRow("large") << 12345678.0f << kEn << "1.234568E+07";
        QTest::newRow("small") << 0.00001f << kEn << "1E-05";
        QTest::newRow("negative") << -0.47f << kEn << "-0.47";
        QTest::newRow("seven digits at most") << 1.0f / 3.0f << kEn << "0.3333333";
        QTest::newRow("German") << 0.0955f << kDe << "0,0955";
    }
    void generalNumberText()
    {
        QFETCH(float, v);
        QFETCH(QLocale, locale);
        QTEST(GeneralNumberText(v, locale), "text");
    }

    // What the alarms window shows reads back as the same value.
    void alarmTextRoundTrip()
    {
        QCOMPARE(LeadingNumber(AlarmMagText(0.0955f, kDe), kDe), 0.0955);
        QCOMPARE(LeadingNumber(AlarmMagText(0.0955f, kEn), kEn), 0.0955);
    }

    // Bits the DIO window does not own are not read into its fields.
    void dioCtrlIgnoresForeignBits_data()
    {
        QTest::addColumn<int>("value");
        QTest::newRow("all zero") << 0x00;
        QTest::newRow("both busy, pin 1 high") << 0x3D;
        QTest::newRow("capture trigger and GPIO") << 0x0B;
    }
    void dioCtrlIgnoresForeignBits()
    {
        QFETCH(int, value);
        QCOMPARE(ComposeDioCtrl(DecodeDioCtrl(value)), value);
        QCOMPARE(ComposeDioCtrl(DecodeDioCtrl(value | 0xFFC0)), value);
        QCOMPARE(ComposeGpioCtrl(DecodeGpioCtrl(0xFFFF)), 0x0303);
    }
};

SB_TEST_MAIN(ConfigConversionsTest)
#include "tst_configconversions.moc"
