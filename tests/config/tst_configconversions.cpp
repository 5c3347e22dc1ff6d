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
        QTest::newRow("trailing text") << "3.3 V" << kEn << 3.3;
        QTest::newRow("blanks inside count as nothing") << "1 2" << kEn << 12.0;
        QTest::newRow("second point ends it") << "1.2.3" << kEn << 1.2;
        QTest::newRow("D exponent") << "2.5D-1" << kEn << 0.25;
        QTest::newRow("hex") << "&H1F" << kEn << 31.0;
        QTest::newRow("hex 16-bit negative") << "&HFFFF" << kEn << -1.0;
        QTest::newRow("octal ends at 8") << "&O178" << kEn << 15.0;
        QTest::newRow("comma ends it in English") << "1,56" << kEn << 1.0;
        QTest::newRow("German comma") << "1,56" << kDe << 1.56;
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
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("huge saturates") << 1e12 << 2147483647;
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
        QTest::newRow("negative") << -0.0191 << 4 << kEn << "-0.0191";
        QTest::newRow("rounds to zero without sign") << -0.001 << 2 << kEn << "0.00";
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
        QTest::newRow("seven digits") << 1234567.0f << kEn << "1234567";
        QTest::newRow("large") << 12345678.0f << kEn << "1.234568E+07";
        QTest::newRow("small") << 0.00001f << kEn << "1E-05";
        QTest::newRow("seven digits at most") << 1.0f / 3.0f << kEn << "0.3333333";
        QTest::newRow("German") << 0.0955f << kDe << "0,0955";
    }
    void generalNumberText()
    {
        QFETCH(float, v);
        QFETCH(QLocale, locale);
        QTEST(GeneralNumberText(v, locale), "text");
    }
};

SB_TEST_MAIN(ConfigConversionsTest)
#include "tst_configconversions.moc"
