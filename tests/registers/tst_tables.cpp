#include "TestSupport.h"
#include "registers/m470Reg.h"

#include <bit>

using namespace m470Reg;

namespace {
quint32 Bits(float f) { return std::bit_cast<quint32>(f); }
}

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
        QFETCH(int, product);
        QFETCH(int, row);
        product == 31470 ? BuildTable31470() : BuildTable31473();
        QFETCH(bool, offset);
        QFETCH(quint32, bits);
        const RegisterEntry& e = RegisterTable[row];
        QCOMPARE(Bits(offset ? e.RegOffset : e.RegScale), bits);
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
        QTest::newRow("70 ENDURANCE") << 31470 << 0 << QString(" ENDURANCE ") << 0x00 << 2 << 16 << QString("FTFFF");
        QTest::newRow("70 CAPT_SUPPLY") << 31470 << 5 << QString(" CAPT_SUPPLY ") << 0x0A << 2 << 12 << QString("FTFTT");
        QTest::newRow("70 CAPT_PEAK_Y") << 31470 << 8 << QString(" CAPT_PEAK_Y  ") << 0x10 << 2 << 16 << QString("TTFFF");
        QTest::newRow("70 CAPT_PNTR") << 31470 << 13 << QString(" CAPT_PNTR ") << 0x1A << 2 << 16 << QString("TTFFF");
        QTest::newRow("70 ALM_MAG4") << 31470 << 19 << QString(" ALM_MAG4  ") << 0x26 << 2 << 12 << QString("FTTFF");
        QTest::newRow("70 GPIO_CTRL 8 bytes") << 31470 << 22 << QString(" GPIO_CTRL ") << 0x32 << 8 << 16 << QString("FTTFF");
        QTest::newRow("70 COMMAND1") << 31470 << 28 << QString(" COMMAND1  ") << 0x3E << 2 << 16 << QString("FTTFF");
        QTest::newRow("70 X_OUT") << 31470 << 32 << QString(" X_OUT ") << 0x46 << 2 << 14 << QString("TTFTT");
        QTest::newRow("70 DAY odd address") << 31470 << 38 << QString(" DAY ") << 0x53 << 2 << 8 << QString("FTTFF");
        QTest::newRow("70 YEAR") << 31470 << 40 << QString(" YEAR  ") << 0x55 << 1 << 8 << QString("FTTFF");
        QTest::newRow("70 SCRATCH_B") << 31470 << 43 << QString(" SCRATCH_B ") << 0x5A << 2 << 16 << QString("FTTFF");
        QTest::newRow("73 CAPT_SUPPLY") << 31473 << 4 << QString(" CAPT_SUPPLY ") << 0x0A << 2 << 16 << QString("FTFFF");
        QTest::newRow("73 CAPT_BUF_X") << 31473 << 9 << QString(" CAPT_BUF_X  ") << 0x14 << 2 << 16 << QString("TTFFF");
        QTest::newRow("73 STATUS 15 bits") << 31473 << 25 << QString(" STATUS  ") << 0x3C << 2 << 15 << QString("FTTFF");
        QTest::newRow("73 COMMAND 14 bits") << 31473 << 26 << QString(" COMMAND ") << 0x3E << 2 << 14 << QString("FTTFF");
        QTest::newRow("73 RESERVED27 not readable") << 31473 << 27 << QString(" RESERVED27  ") << 0x50 << 2 << 16 << QString("FFTFF");
        QTest::newRow("73 REV___") << 31473 << 28 << QString(" REV___") << 0x52 << 2 << 16 << QString("FTTFF");
        QTest::newRow("73 YEAR_") << 31473 << 31 << QString(" YEAR_") << 0x55 << 1 << 8 << QString("FTTFF");
        QTest::newRow("73 RESERVED5C") << 31473 << 35 << QString(" RESERVED5C  ") << 0x5C << 4 << 16 << QString("FTTFF");
        QTest::newRow("73 CHKSUMU") << 31473 << 41 << QString(" CHKSUMU ") << 0x65 << 1 << 8 << QString("FTTFF");
    }
    void rows()
    {
        QFETCH(int, product);
        QFETCH(int, row);
        QFETCH(QString, flags);
        product == 31470 ? BuildTable31470() : BuildTable31473();
        QFETCH(QString, label);
        QFETCH(int, addr);
        QFETCH(int, bytes);
        QFETCH(int, readLen);
        const RegisterEntry& e = RegisterTable[row];
        QCOMPARE(e.Label, label);
        QCOMPARE(int(e.BaseAddr), addr);
        QCOMPARE(int(e.NumBytes), bytes);
        QCOMPARE(int(e.ReadLen), readLen);
        const VBool want[5] = {flags[0] == 'T' ? VTrue : VFalse, flags[1] == 'T' ? VTrue : VFalse,
                               flags[2] == 'T' ? VTrue : VFalse, flags[3] == 'T' ? VTrue : VFalse,
                               flags[4] == 'T' ? VTrue : VFalse};
        QCOMPARE(e.TwosCompl, want[0]);
        QCOMPARE(e.ReadFlag, want[1]);
        QCOMPARE(e.WriteFlag, want[2]);
        QCOMPARE(e.ECflag, want[3]);
        QCOMPARE(e.NDflag, want[4]);
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
        QFETCH(int, lastListed);
        product == 31470 ? BuildTable31470() : BuildTable31473();
        QCOMPARE(int(LastRegisterIndex), lastListed);
        for (int r = 0; r <= lastBuilt; ++r) {
            const RegisterEntry& e = RegisterTable[r];
            QVERIFY2(e.Label.startsWith(' ') && e.Label.size() > 3, qPrintable(QString::number(r)));
            QVERIFY(e.ReadLen == 8 || e.ReadLen == 12 || e.ReadLen == 14 || e.ReadLen == 15 || e.ReadLen == 16);
            QVERIFY(e.RegScale != 0.0f);
            if (r > 0)
                QVERIFY2(e.BaseAddr > RegisterTable[r - 1].BaseAddr, qPrintable(QString::number(r)));
        }
    }

    void indexVariablesPerProduct()
    {
        BuildTable31470();
        QCOMPARE(int(idxCOMMAND), 28);
        QCOMPARE(int(idxKEYCODE), 36);
        QCOMPARE(int(idxCAPT_BUF1), 10);
        QCOMPARE(int(idxST_DELTA), 29);
        QCOMPARE(int(idxreserved8), 4);
        BuildTable31473();
        QCOMPARE(int(idxCOMMAND), 26);
        QCOMPARE(int(idxKEYCODE), 27);
        QCOMPARE(int(idxCAPT_BUF1), 9);
        QCOMPARE(int(idxNULL_CNT), 24);
        QCOMPARE(int(idxCHKSUMU), 41);
        // Roles the tri-axis product lacks keep the single-axis rows.
        QCOMPARE(int(idxST_DELTA), 29);
        QCOMPARE(int(idxreserved8), 4);
        QCOMPARE(int(idxX_OUT), 32);
        BuildTable31470();
        // ... and the other way round.
        QCOMPARE(int(idxNULL_CNT), 24);
        QCOMPARE(int(idxSIGNTRL), 36);
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
};

SB_TEST_MAIN(TestTables)
#include "tst_tables.moc"
