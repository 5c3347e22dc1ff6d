// The register listing (Read All) line by line, and read on the virtual board.
#include "TestSupport.h"
#include "../config/ConfigTestBoard.h"
#include "device/Spi_mod.h"
#include "registers/RegisterListing.h"

class ListingTest : public QObject {
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("name");
        QTest::newRow("trailing blank removed") << " X_NULL  " << " X_NULL";
        QTest::newRow("cut to eleven") << " CAPT_SUPPLY " << " CAPT_SUPPL";
        QTest::newRow("exactly eleven kept") << " CAPT_PEAK_X " << " CAPT_PEAK_";
        QTest::newRow("underscores kept") << " REV___" << " REV___";
        QTest::newRow("short gets six underscores") << " AB" << " AB______";
        QTest::newRow("short cut after padding") << "ABCD" << "ABCD______";
        QTest::newRow("empty") << "" << "______";
    }
    void names()
    {
        QFETCH(QString, label);
        QFETCH(QString, name);
        QCOMPARE(RegisterListing::ListedName(label), name);
    }

    void values_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("text");
        QTest::newRow("padded") << 26 << "001A";
        QTest::newRow("negative") << -5 << "FFFB";
        QTest::newRow("zero") << 0 << "0000";
        QTest::newRow("full word") << 0xA2B5 << "A2B5";
        QTest::newRow("last four digits") << 0x12345 << "2345";
    }
    void values()
    {
        QFETCH(int, raw);
        QFETCH(QString, text);
        QCOMPARE(RegisterListing::ListedValue(raw), text);
    }

    void exactLines()
    {
        QCOMPARE(RegisterListing::HeaderLines(),
                 QStringLiteral("Name\t\tAddr\tHex\r\n--------------------\t---------\t---------\r\n"));
        QCOMPARE(RegisterListing::Line(QStringLiteral(" CAPT_SUPPLY "), 0x0A, 0x0A91),
                 QStringLiteral(" CAPT_SUPPL     \tA\t0A91\r\n"));
        QCOMPARE(RegisterListing::Line(QStringLiteral(" ENDURANCE "), 0, 0),
                 QStringLiteral(" ENDURANCE     \t0\t0000\r\n"));
    }

    void readAll_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("registerLines");
        QTest::newRow("31470") << 31470 << 27;
        QTest::newRow("31473") << 31473 << 35;
    }
    void readAll()
    {
        QFETCH(int, product);
        QFETCH(int, registerLines);
        cfgtest::StartBoard(static_cast<int16_t>(product));
        cfgtest::Sensor().Poke(0x02, 0xFFFB);  // X_NULL = -5
        cfgtest::Sensor().Poke(0x58, 0x001A);  // SCRATCH_A
        const QString text = RegisterListing::ReadAll();
        QVERIFY(text.endsWith(QLatin1String("\r\n")));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size() - 1, 2 + registerLines);
        QCOMPARE(lines[3], QStringLiteral(" X_NULL     \t2\tFFFB"));
        QCOMPARE(lines[2 + 5].section(u'\t', 0, 0), product == 31470 ? QStringLiteral(" CAPT_SUPPL     ")
                                                                     : QStringLiteral(" CAPT_TEMP     "));
        // Rows are read in order, nothing is written.
        QCOMPARE(cfgtest::Reads().size(), registerLines - (product == 31473 ? 1 : 0));
        QVERIFY(cfgtest::Writes().isEmpty());
        if (product == 31473) {
            // RESERVED27 is not readable: its line repeats COMMAND's value.
            QCOMPARE(lines[2 + 27], QStringLiteral(" RESERVED27     \t50\t") + lines[2 + 26].section(u'\t', 2));
            QCOMPARE(lines[2 + 33], QStringLiteral(" SCRATCH_A     \t58\t001A"));
            QCOMPARE(lines[2 + 28], QStringLiteral(" REV___     \t52\t") +
                                        RegisterListing::ListedValue(cfgtest::Sensor().Peek(0x52)));
        }
    }
};

SB_TEST_MAIN(ListingTest)
#include "tst_listing.moc"
