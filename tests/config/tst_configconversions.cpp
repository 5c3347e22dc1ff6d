// Number parsing, rounding, alarm units and register bit fields of the configuration windows.
#include "TestSupport.h"
#include "config/ConfigConversions.h"

#include <bit>

using namespace cfg;

class ConfigConversionsTest : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("not a number") << "Mag1" << 0.0;
        QTest::newRow("plain") << "0.0955" << 0.0955;
        QTest::newRow("leading blanks and sign") << "  -12.5" << -12.5;
        QTest::newRow("trailing text") << "3.3 V" << 3.3;
        QTest::newRow("blanks inside count as nothing") << "1 2" << 12.0;
        QTest::newRow("second point ends it") << "1.2.3" << 1.2;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("D exponent") << "2.5D-1" << 0.25;
        QTest::newRow("dangling exponent") << "7e" << 7.0;
        QTest::newRow("point only") << "." << 0.0;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("hex") << "&H1F" << 31.0;
        QTest::newRow("hex 16-bit negative") << "&HFFFF" << -1.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("comma ends it in English") << "1,56" << 1.0;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(LeadingNumber(text, QLocale(QLocale::English)), value);
    }

    void germanDecimalComma()
    {
        const QLocale de(QLocale::German, QLocale::Germany);
        QCOMPARE(LeadingNumber(QStringLiteral("1,56"), de), 1.56);
        QCOMPARE(LeadingNumber(QStringLiteral("1.56"), de), 1.56);
        QCOMPARE(FormatFixed(1234.5, 2, de), QStringLiteral("1234,50"));
        QCOMPARE(GeneralNumberText(0.0955f, de), QStringLiteral("0,0955"));
        // What the window shows reads back as the same value.
        QCOMPARE(LeadingNumber(AlarmMagText(0.0955f, de), de), 0.0955);
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
        QFETCH(int, n);
        QCOMPARE(RoundHalfEven(v), n);
    }

    void formats_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("two places") << 25.0 << 2 << "25.00";
        QTest::newRow("four places") << 0.0955 << 4 << "0.0955";
        QTest::newRow("no grouping") << 625.8497 << 4 << "625.8497";
        QTest::newRow("negative") << -0.0191 << 4 << "-0.0191";
        QTest::newRow("rounds to zero without sign") << -0.001 << 2 << "0.00";
    }
    void formats()
    {
        QFETCH(double, v);
        QFETCH(int, decimals);
        QFETCH(QString, text);
        QCOMPARE(FormatFixed(v, decimals, QLocale(QLocale::English)), text);
    }

    void generalNumberText_data()
    {
        QTest::addColumn<float>("v");
        QTest::addColumn<QString>("text");
        QTest::newRow("integer") << 625.0f << "625";
        QTest::newRow("scaled single") << 0.0955f << "0.0955";
        QTest::newRow("seven digits") << 1234567.0f << "1234567";
        QTest::newRow("large") << 12345678.0f << "1.234568E+07";
        QTest::newRow("small") << 0.00001f << "1E-05";
        QTest::newRow("negative") << -0.47f << "-0.47";
        QTest::newRow("scaled count keeps its single digits") << -5.0f * 0.0191f << "-0.09549999";
        QTest::newRow("seven digits at most") << 1.0f / 3.0f << "0.3333333";
    }
    void generalNumberText()
    {
        QFETCH(float, v);
        QFETCH(QString, text);
        QCOMPARE(GeneralNumberText(v, QLocale(QLocale::English)), text);
    }

    void hex()
    {
        QCOMPARE(Hex16(5), QStringLiteral("5"));
        QCOMPARE(Hex16(-1), QStringLiteral("FFFF"));
        QCOMPARE(Hex16(-5), QStringLiteral("FFFB"));
        QCOMPARE(Hex32(-5), QStringLiteral("FFFFFFFB"));
        QCOMPARE(Hex32(0xA2B5), QStringLiteral("A2B5"));
    }

    void alarmCounts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<float>("scale");
        QTest::addColumn<int>("counts");
        const float s31470 = std::bit_cast<float>(0x3C9C779Au);  // 0.0191
        const float s31473 = std::bit_cast<float>(0x3B9C4001u);  // 0.004768372
        QTest::newRow("0.0955 g") << 0.0955 << s31470 << 5;
        QTest::newRow("plain counts") << 100.0 << 1.0f << 100;
        QTest::newRow("1 g tri-axis") << 1.0 << s31473 << 210;
        QTest::newRow("clamped high") << 100000.0 << s31470 << 32767;
        QTest::newRow("clamped low") << -100000.0 << s31470 << -32768;
        QTest::newRow("plain counts clamped") << 40000.0 << 1.0f << 32767;
    }
    void alarmCounts()
    {
        QFETCH(double, value);
        QFETCH(float, scale);
        QFETCH(int, counts);
        QCOMPARE(AlarmMagCounts(value, scale), counts);
    }

    void alarm4_data()
    {
        QTest::addColumn<bool>("temperature");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("counts");
        QTest::addColumn<QString>("shown");
        QTest::newRow("25 degC") << true << 25.0 << 1278 << "25.00";
        QTest::newRow("0 degC") << true << 0.0 << 1331 << "0.12";
        QTest::newRow("3.3 V") << false << 3.3 << 2703 << "3.30";
        QTest::newRow("supply clamped") << false << 100.0 << 8191 << "10.00";
        QTest::newRow("temperature clamped") << true << 10000.0 << -8192 << "4471.01";
    }
    void alarm4()
    {
        QFETCH(bool, temperature);
        QFETCH(double, value);
        QFETCH(int, counts);
        QFETCH(QString, shown);
        const int n = Alarm4Clamp(temperature ? Alarm4CountsFromTemp(value) : Alarm4CountsFromVolts(value));
        QCOMPARE(n, counts);
        const double back = temperature ? Alarm4TempFromCounts(n) : Alarm4VoltsFromCounts(n);
        QCOMPARE(Alarm4Text(back, QLocale(QLocale::English)), shown);
    }

    void alarm4SourceSwitchKeepsCount()
    {
        const int n = Alarm4CountsFromTemp(25.0);
        QCOMPARE(Alarm4Text(Alarm4VoltsFromCounts(n), QLocale(QLocale::English)), QStringLiteral("1.56"));
        QCOMPARE(Alarm4CountsFromVolts(1.56), 1278);
    }

    void almCtrlBits_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("bit");
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("after");
        QTest::newRow("clear bit 0 drops bits 6 and 7") << 0xC5 << 0 << false << 0x04;
        QTest::newRow("set bit 0 keeps high bits") << 0xC4 << 0 << true << 0xC5;
        QTest::newRow("clear bit 5") << 0x3F << 5 << false << 0x1F;
        QTest::newRow("clear bit 3 of 0xFFF") << 0xFFF << 3 << false << 0x37;
        QTest::newRow("set bit 4") << 0x00 << 4 << true << 0x10;
    }
    void almCtrlBits()
    {
        QFETCH(int, before);
        QFETCH(int, bit);
        QFETCH(bool, on);
        QFETCH(int, after);
        QCOMPARE(AlmCtrlWithBit(before, bit, on), after);
    }

    void nullCounts()
    {
        const float s31470 = std::bit_cast<float>(0x3C9C779Au);
        QCOMPARE(NullCounts(0.0955, s31470), 5);
        QCOMPARE(NullCounts(-0.0191, s31470), -1);
        QCOMPARE(NullCounts(0.0, s31470), 0);
        // No range check: the register layer keeps the low 16 bits.
        QCOMPARE(NullCounts(1000.0, s31470), 52356);
    }

    void dioCtrl_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("high1");
        QTest::addColumn<bool>("high2");
        QTest::addColumn<int>("f1");
        QTest::addColumn<int>("f2");
        QTest::newRow("all zero") << 0x00 << false << false << 0 << 0;
        QTest::newRow("both busy, pin 1 high") << 0x3D << true << false << 3 << 3;
        QTest::newRow("capture trigger and GPIO") << 0x0B << true << true << 2 << 0;
        QTest::newRow("alarm on pin 2") << 0x12 << false << true << 0 << 1;
    }
    void dioCtrl()
    {
        QFETCH(int, value);
        QFETCH(bool, high1);
        QFETCH(bool, high2);
        QFETCH(int, f1);
        QFETCH(int, f2);
        const DioCtrlFields d = DecodeDioCtrl(value);
        QCOMPARE(d.activeHigh1, high1);
        QCOMPARE(d.activeHigh2, high2);
        QCOMPARE(static_cast<int>(d.function1), f1);
        QCOMPARE(static_cast<int>(d.function2), f2);
        QCOMPARE(ComposeDioCtrl(d), value);
        // Bits the window does not own are not read into the fields.
        QCOMPARE(ComposeDioCtrl(DecodeDioCtrl(value | 0xFFC0)), value);
    }

    void gpioCtrl()
    {
        GpioCtrlFields f;
        f.output2 = true;
        f.high2 = true;
        QCOMPARE(ComposeGpioCtrl(f), 0x0202);
        const GpioCtrlFields g = DecodeGpioCtrl(0x0100);
        QVERIFY(g.high1);
        QVERIFY(!g.high2);
        QCOMPARE(ComposeGpioCtrl(DecodeGpioCtrl(0xFFFF)), 0x0303);
    }

    void mscCtrl()
    {
        QVERIFY(MscSelfTestOn(0x0104));
        QVERIFY(!MscSelfTestOn(0x0007));
        QCOMPARE(MscWithSelfTestOff(0x0104), 0x0000);
        QCOMPARE(MscWithSelfTestOn(0x0007), 0x0107);
        QCOMPARE(MscWithSelfTestOff(0x0107), 0x0003);
    }
};

SB_TEST_MAIN(ConfigConversionsTest)
#include "tst_configconversions.moc"
