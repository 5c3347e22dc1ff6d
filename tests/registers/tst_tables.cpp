// The register tables of both products, what they make of the sensor's measurements, and the
// listing's line format.
#include "../sim/SimTestBench.h"
#include "registers/RegisterListing.h"
#include <map>

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
        QTest::newRow("70 ALM_MAG4 12 bits") << 31470 << 19 << " ALM_MAG4  " << 0x26 << 2 << 12 << "FTTFF";
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
        const RegisterEntry& e = m470Reg::Table().RegisterTable[row];
        auto flag = [](VBool b) { return QString(b == VTrue ? u'T' : b == VFalse ? u'F' : u'?'); };
        QTEST(e.Label, "label");
        QTEST(int(e.BaseAddr), "addr");
        QTEST(int(e.NumBytes), "bytes");
        QTEST(int(e.ReadLen), "readLen");
        QTEST(flag(e.TwosCompl) + flag(e.ReadFlag) + flag(e.WriteFlag) + flag(e.ECflag) + flag(e.NDflag), "flags");
    }

    // Both products' tables exist side by side and never change: choosing a product only picks
    // which one the program is set to, and a capture's own product reads through its own.
    void tablesAreConstantPerProduct()
    {
        const RegisterMap& t70 = RegisterMapFor(31470);
        const RegisterMap& t73 = RegisterMapFor(31473);
        for (int product : {31473, 31470, 31473}) {
            Build(product);
            QCOMPARE(&m470Reg::Table(), product == 31470 ? &t70 : &t73);
            QCOMPARE(int(t70.idxCAPT_BUF1), 10);
            QCOMPARE(int(t73.idxCAPT_BUF1), 9);
            QCOMPARE(t70.GPerCount(), double(0.0191f));
            QCOMPARE(t73.GPerCount(), double(0.004768372f));
            // Rows the other product has are not left behind.
            QCOMPARE(int(t73.idxX_OUT), 0);
            QVERIFY(t73.RegisterTable[42].Label.isEmpty());
        }
        QCOMPARE(t73.RawOf(t73.idxCAPT_BUF1, 0xFFFF), -1);      // 16-bit two's complement
        QCOMPARE(t70.RawOf(t70.idxCAPT_SUPPLY, 0xFFFF), 0x0FFF); // 12-bit unsigned
        ClearTable();
        QCOMPARE(int(m470Reg::Table().LastRegisterIndex), 0);
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
        QTEST(int(m470Reg::Table().LastRegisterIndex), "lastListed");
        for (int r = 0; r <= lastBuilt; ++r) {
            const RegisterEntry& e = m470Reg::Table().RegisterTable[r];
            QVERIFY2(e.Label.startsWith(' ') && e.Label.size() > 3, qPrintable(QString::number(r)));
            QVERIFY(QList<int>({8, 12, 14, 15, 16}).contains(e.ReadLen));
            QVERIFY(e.RegScale != 0.0f);
            if (r > 0)
                QVERIFY2(e.BaseAddr > m470Reg::Table().RegisterTable[r - 1].BaseAddr, qPrintable(QString::number(r)));
        }
    }

    // The virtual sensor measures 3.3 V, 25 degC and 10, -5 and 2.5 g on its three channels;
    // each register reads that back in engineering units (the live outputs only on 31470).
    void scaledReadings_data()
    {
        tb::Columns<int, QString, double>({"product", "reg", "value"});
        for (int product : {31470, 31473}) {
            const auto row = [product](const char* reg, double value) {
                QTest::addRow("%d %s", product, reg) << product << QString(reg) << value;
            };
            row("CAPT_SUPPLY", 3.3);
            row("CAPT_TEMP", 25.0);
            row("CAPT_PEAK_X", 10.0);
            row("CAPT_PEAK_Y", 5.0);
            row("CAPT_PEAK_Z", 2.5);
            row("CAPT_BUF1", 10.0);
            row("CAPT_BUF2", -5.0);
            row("CAPT_BUF3", 2.5);
            if (product == 31470) {
                row("SUPPLY_OUT", 3.3);
                row("TEMP_OUT", 25.0);
                row("X_OUT", 10.0);
                row("AUX0_OUT", -5.0);
                row("AUX1_OUT", 2.5);
            }
        }
    }
    void scaledReadings()
    {
        QFETCH(int, product);
        QFETCH(QString, reg);
        QFETCH(double, value);
        sim::ManualClock clock;
        sim::SignalModel& signal = tb::UseUsbCard(product, &clock).Sensor().Signal();
        signal = sim::SignalModel::Quiet();
        signal.supplyVolts = 3.3;
        signal.temperatureC = 25.0;
        for (int axis = 0; axis < 3; ++axis)
            signal.axis[static_cast<size_t>(axis)].offset = std::array{10.0, -5.0, 2.5}[static_cast<size_t>(axis)];
        WriteRegister(m470Reg::Table().idxCOMMAND, 0x0800);
        clock.Advance(0.5);
        WriteRegister(m470Reg::Table().idxCAPT_PNTR, 0);
        const std::map<QString, int16_t> index{
            {"CAPT_SUPPLY", m470Reg::Table().idxCAPT_SUPPLY}, {"CAPT_TEMP", m470Reg::Table().idxCAPT_TEMP},   {"CAPT_PEAK_X", m470Reg::Table().idxCAPT_PEAK_X},
            {"CAPT_PEAK_Y", m470Reg::Table().idxCAPT_PEAK_Y}, {"CAPT_PEAK_Z", m470Reg::Table().idxCAPT_PEAK_Z}, {"CAPT_BUF1", m470Reg::Table().idxCAPT_BUF1},
            {"CAPT_BUF2", m470Reg::Table().idxCAPT_BUF2},     {"CAPT_BUF3", m470Reg::Table().idxCAPT_BUF3},   {"SUPPLY_OUT", m470Reg::Table().idxSUPPLY_OUT},
            {"TEMP_OUT", m470Reg::Table().idxTEMP_OUT},       {"X_OUT", m470Reg::Table().idxX_OUT},           {"AUX0_OUT", m470Reg::Table().idxAUX0_OUT},
            {"AUX1_OUT", m470Reg::Table().idxAUX1_OUT}};
        ReadRegister(index.at(reg));
        // Within the sensor's resolution: 1.22 mV, 0.47 degC, one count of acceleration.
        const double resolution = reg.contains("SUPPLY") ? 0.00122
                                  : reg.contains("TEMP") ? 0.47
                                  : product == 31470     ? 0.0191
                                                         : 0.004768372;
        QVERIFY2(std::abs(Spi_mod::RegValue - value) <= 0.6 * resolution, qPrintable(QString::number(Spi_mod::RegValue)));
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
        QTest::newRow("five characters get none") << " DAY " << 0x53 << 14 << " DAY     \t53\t000E\r\n";
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
