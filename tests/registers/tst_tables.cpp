// The register tables of both products and the listing's line format.
#include "TestSupport.h"
#include "registers/RegisterListing.h"
#include "registers/m470Reg.h"

#include <bit>

using namespace m470Reg;

namespace {
quint32 Bits(float f) { return std::bit_cast<quint32>(f); }
void Build(int product) { product == 31470 ? BuildTable31470() : BuildTable31473(); }
} // namespace

class TestTables : public QObject {
    Q_OBJECT
private slots:
    void scaleBitPatterns_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("offset");
        QTest::addColumn<quint32>("bits");
        QTest::newRow("31470 X_NULL 0.0191") << 31470 << 1 << false << 0x3C9C779Au;
        QTest::newRow("31470 CAPT_SUPPLY 0.00122") << 31470 << 5 << false << 0x3A9FE868u;
        QTest::newRow("31470 CAPT_TEMP -0.47") << 31470 << 6 << false << 0xBEF0A3D7u;
        QTest::newRow("31470 CAPT_TEMP offset 625") << 31470 << 6 << true << Bits(625.0f);
        QTest::newRow("31473 X_NULL 0.004768372") << 31473 << 1 << false << 0x3B9C4001u;
        QTest::newRow("31473 CAPT_SUPPLY below 5/4096") << 31473 << 4 << false << 0x3A9FFFFFu;
        QTest::newRow("31473 CAPT_TEMP -0.47") << 31473 << 5 << false << 0xBEF0A3D7u;
        QTest::newRow("31473 CAPT_BUF_Z") << 31473 << 11 << false << 0x3B9C4001u;
    }
    void scaleBitPatterns()
    {
        QFETCH(int, row);
        QFETCH(bool, offset);
        QFETCH(int, product);
        Build(product);
        const RegisterEntry& e = RegisterTable[row];
        QTEST(Bits(offset ? e.RegOffset : e.RegScale), "bits");
    }

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
        QTest::newRow("70 CAPT_SUPPLY") << 31470 << 5 << " CAPT_SUPPLY " << 0x0A << 2 << 12 << "FTFTT";
        QTest::newRow("70 CAPT_PEAK_Y") << 31470 << 8 << " CAPT_PEAK_Y  " << 0x10 << 2 << 16 << "TTFFF";
        QTest::newRow("70 CAPT_PNTR") << 31470 << 13 << " CAPT_PNTR " << 0x1A << 2 << 16 << "TTFFF";
        QTest::newRow("70 ALM_MAG4") << 31470 << 19 << " ALM_MAG4  " << 0x26 << 2 << 12 << "FTTFF";
        QTest::newRow("70 GPIO_CTRL 8 bytes") << 31470 << 22 << " GPIO_CTRL " << 0x32 << 8 << 16 << "FTTFF";
        QTest::newRow("70 COMMAND1") << 31470 << 28 << " COMMAND1  " << 0x3E << 2 << 16 << "FTTFF";
        QTest::newRow("70 X_OUT") << 31470 << 32 << " X_OUT " << 0x46 << 2 << 14 << "TTFTT";
        QTest::newRow("70 DAY odd address") << 31470 << 38 << " DAY " << 0x53 << 2 << 8 << "FTTFF";
        QTest::newRow("70 YEAR") << 31470 << 40 << " YEAR  " << 0x55 << 1 << 8 << "FTTFF";
        QTest::newRow("70 SCRATCH_B") << 31470 << 43 << " SCRATCH_B " << 0x5A << 2 << 16 << "FTTFF";
        QTest::newRow("73 CAPT_SUPPLY") << 31473 << 4 << " CAPT_SUPPLY " << 0x0A << 2 << 16 << "FTFFF";
        QTest::newRow("73 CAPT_BUF_X") << 31473 << 9 << " CAPT_BUF_X  " << 0x14 << 2 << 16 << "TTFFF";
        QTest::newRow("73 STATUS 15 bits") << 31473 << 25 << " STATUS  " << 0x3C << 2 << 15 << "FTTFF";
        QTest::newRow("73 COMMAND 14 bits") << 31473 << 26 << " COMMAND " << 0x3E << 2 << 14 << "FTTFF";
        QTest::newRow("73 RESERVED27 not readable") << 31473 << 27 << " RESERVED27  " << 0x50 << 2 << 16 << "FFTFF";
        QTest::newRow("73 REV___") << 31473 << 28 << " REV___" << 0x52 << 2 << 16 << "FTTFF";
        QTest::newRow("73 YEAR_") << 31473 << 31 << " YEAR_" << 0x55 << 1 << 8 << "FTTFF";
        QTest::newRow("73 RESERVED5C") << 31473 << 35 << " RESERVED5C  " << 0x5C << 4 << 16 << "FTTFF";
        QTest::newRow("73 CHKSUMU") << 31473 << 41 << " CHKSUMU " << 0x65 << 1 << 8 << "FTTFF";
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
        QCOMPARE(e.Hidden, VFalse);
        QCOMPARE(e.AuxAddr, 0);
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

    void indexVariablesPerProduct()
    {
        BuildTable31470();
        QCOMPARE((QList<int>{idxCOMMAND, idxKEYCODE, idxCAPT_BUF1, idxST_DELTA, idxreserved8}),
                 (QList<int>{28, 36, 10, 29, 4}));
        BuildTable31473();
        QCOMPARE((QList<int>{idxCOMMAND, idxKEYCODE, idxCAPT_BUF1, idxNULL_CNT, idxCHKSUMU}),
                 (QList<int>{26, 27, 9, 24, 41}));
        // Roles one product lacks keep the other product's rows.
        QCOMPARE((QList<int>{idxST_DELTA, idxreserved8, idxX_OUT}), (QList<int>{29, 4, 32}));
        BuildTable31470();
        QCOMPARE((QList<int>{idxNULL_CNT, idxSIGNTRL}), (QList<int>{24, 36}));
    }

    void singleAxisRowsSurviveSwitchToTriAxis()
    {
        BuildTable31470();
        BuildTable31473();
        QCOMPARE(RegisterTable[42].Label, QStringLiteral(" SCRATCH_A "));
        QCOMPARE(int(RegisterTable[42].BaseAddr), 0x58);
        QCOMPARE(RegisterTable[43].Label, QStringLiteral(" SCRATCH_B "));
        QCOMPARE(RegisterTable[44].Label, QString());
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
        QTest::newRow("trailing blank removed") << " X_NULL  " << 2 << -5 << " X_NULL     \t2\tFFFB\r\n";
        QTest::newRow("exactly eleven kept") << " CAPT_PEAK_X " << 0x0E << 0 << " CAPT_PEAK_     \tE\t0000\r\n";
        QTest::newRow("underscores kept") << " REV___" << 0x52 << 0xA2B5 << " REV___     \t52\tA2B5\r\n";
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
        QCOMPARE(RegisterListing::HeaderLines(),
                 QStringLiteral("Name\t\tAddr\tHex\r\n--------------------\t---------\t---------\r\n"));
    }
};

SB_TEST_MAIN(TestTables)
#include "tst_tables.moc"
