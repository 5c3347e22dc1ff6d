// The register tables of both products and the listing's line format.
#include "TestSupport.h"
#include "registers/RegisterListing.h"
#include "registers/m470Reg.h"

using namespace m470Reg;

namespace {
void Build(int product) { product == 31470 ? BuildTable31470() : BuildTable31473(); }
} // namespace

class TestTables : public QObject {
    Q_OBJECT
private slots:
    void rows_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("addr");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("readLen");
        QTest::addColumn<QString>("flags"); // TwosCompl Read Write EC ND
        QTest::newRow("70 ENDURANCE") << 31470 << 0 << " ENDURANCE " << 0x00 << 2 << 16 << "FTFFF";
        QTest::newRow("70 GPIO_CTRL 8 bytes") << 31470 << 22 << " GPIO_CTRL " << 0x32 << 8 << 16 << "FTTFF";
        QTest::newRow("70 X_OUT") << 31470 << 32 << " X_OUT " << 0x46 << 2 << 14 << "TTFTT";
        QTest::newRow("70 DAY odd address") << 31470 << 38 << " DAY " << 0x53 << 2 << 8 << "FTTFF";
        QTest::newRow("73 STATUS 15 bits") << 31473 << 25 << " STATUS  " << 0x3C << 2 << 15 << "FTTFF";
        QTest::newRow("73 COMMAND 14 bits") << 31473 << 26 << " COMMAND " << 0x3E << 2 << 14 << "FTTFF";
        QTest::newRow("73 RESERVED27 not readable") << 31473 << 27 << " RESERVED27  " << 0x50 << 2 << 16 << "FFTFF";
        QTest::newRow("73 YEAR_") << 31473 << 31 << " YEAR_" << 0x55 << 1 << 8 << "FTTFF";
    }
    void rows()
    {
        QFETCH(int, product);
        QFETCH(int, row);
        Build(product);
        const RegisterEntry& e = RegisterTable[row];
        auto flag = [](VBool b) { return QString(b == VTrue ? u'T' : b == VFalse ? u'F' : u'?'); };
        QTEST(e.Label, "label");
        QTEST(int(e.BaseAddr), "addr");
        QTEST(int(e.NumBytes), "bytes");
        QTEST(int(e.ReadLen), "readLen");
        QTEST(flag(e.TwosCompl) + flag(e.ReadFlag) + flag(e.WriteFlag) + flag(e.ECflag) + flag(e.NDflag), "flags");
    }

    void everyBuiltRowIsFilledAndAddressesAscend_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("lastBuilt");
        QTest::addColumn<int>("lastListed");
        QTest::newRow("31470") << 31470 << 43 << 26;
        QTest::newRow("31473") << 31473 << 41 << 34;
    }
    void everyBuiltRowIsFilledAndAddressesAscend()
    {
        QFETCH(int, product);
        QFETCH(int, lastBuilt);
        Build(product);
        QTEST(int(LastRegisterIndex), "lastListed");
        for (int r = 0; r <= lastBuilt; ++r) {
            const RegisterEntry& e = RegisterTable[r];
            QVERIFY2(e.Label.startsWith(' ') && e.Label.size() > 3, qPrintable(QString::number(r)));
            QVERIFY(QList<int>({8, 12, 14, 15, 16}).contains(e.ReadLen));
            QVERIFY(e.RegScale != 0.0f);
            if (r > 0)
                QVERIFY2(e.BaseAddr > RegisterTable[r - 1].BaseAddr, qPrintable(QString::number(r)));
        }
    }

    // A listing line: name cut to eleven and right-trimmed (short ones padded), hex address,
    // the low four hex digits of the value.
    void listingLines_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("addr");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("line");
        QTest::newRow("cut to eleven") << " CAPT_SUPPLY " << 0x0A << 0x0A91 << " CAPT_SUPPL     \tA\t0A91\r\n";
        QTest::newRow("short gets six underscores") << " AB" << 0x58 << 26 << " AB______     \t58\t001A\r\n";
        QTest::newRow("short cut after padding") << "ABCD" << 0 << 0x12345 << "ABCD______     \t0\t2345\r\n";
        QTest::newRow("empty") << "" << 0 << 0 << "______     \t0\t0000\r\n";
    }
    void listingLines()
    {
        QFETCH(QString, label);
        QFETCH(int, addr);
        QFETCH(int, raw);
        QTEST(RegisterListing::Line(label, addr, raw), "line");
    }
    void listingHeader()
    {
        QCOMPARE(RegisterListing::HeaderLines(),
                 QStringLiteral("Name\t\tAddr\tHex\r\n--------------------\t---------\t---------\r\n"));
    }
};

SB_TEST_MAIN(TestTables)
#include "tst_tables.moc"
