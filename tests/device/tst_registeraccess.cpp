// Register reads and writes turned into SPI frames, and the read decodings.
#include "FakeBackends.h"
#include "TestSupport.h"
#include "device/EzUsb.h"
#include "device/ParallelPort.h"
#include "device/Spi_mod.h"
#include "device/UsbSpiDrivers.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"

using namespace Spi_mod;
using Words = QList<int>;

class RegisterAccessTest : public QObject {
    Q_OBJECT
    std::shared_ptr<fake::Driver> drv;

    // The SPI words of every transfer command the card received, in order.
    Words SentFrames() const
    {
        Words w;
        for (const auto& m : drv->cards[0].sent)
            for (size_t i = 3; m[0] >= 13 && i + 1 < m.size(); i += 2)
                w << (m[i] * 256 + m[i + 1]);
        return w;
    }
    int Base(int16_t idx) const { return m470Reg::RegisterTable[static_cast<size_t>(idx)].BaseAddr; }

private slots:
    void init()
    {
        drv = std::make_shared<fake::Driver>();
        for (int i = 1; i < 4; ++i)
            drv->cards[static_cast<size_t>(i)].present = false;
        SetEzUsbDriver(drv);
        Module1::InitialiseState();
        SelectFirstUsbCard();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        drv->cards[0].sent.clear();
        Module1::InterfaceType = 2;
        Module1::ProductNumber = 31470;
        BuildTable31470();
        RegND = RegEC = 0x7777;
        sbtest::ClearMessages();
    }
    void cleanup() { SetEzUsbDriver(nullptr); }

    void writeFrames_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("value");
        QTest::addColumn<QList<int>>("transfers");   // words per transfer
        QTest::newRow("ordinary row high byte first") << 31470 << "X_NULL" << 0x1234 << QList<int>{2};
        QTest::newRow("keycode low byte first") << 31470 << "KEYCODE" << 0x1234 << QList<int>{2};
        QTest::newRow("command low byte") << 31473 << "COMMAND" << 3 << QList<int>{1};
        QTest::newRow("command high byte") << 31473 << "COMMAND" << 0x100 << QList<int>{1};
        QTest::newRow("command negative") << 31473 << "COMMAND" << -2 << QList<int>{1};
        QTest::newRow("negative value") << 31473 << "X_NULL" << -5 << QList<int>{2};
    }
    void writeFrames()
    {
        QFETCH(int, product);
        QFETCH(QString, row);
        QFETCH(int, value);
        QFETCH(QList<int>, transfers);
        product == 31470 ? BuildTable31470() : BuildTable31473();
        const int16_t idx = row == "X_NULL" ? m470Reg::idxX_NULL
                            : row == "KEYCODE" ? m470Reg::idxKEYCODE
                                               : m470Reg::idxCOMMAND;
        const int b = Base(idx);
        WriteRegister(idx, value);
        Words expected;
        if (row == "KEYCODE")
            expected = {0x8000 + b * 256 + (value & 0xFF), 0x8000 + (b + 1) * 256 + ((value >> 8) & 0xFF)};
        else if (row == "COMMAND")
            expected = {value >= 256 || value < 0 ? 0x8000 + (b + 1) * 256 + ((value >> 8) & 0xFF)
                                                  : 0x8000 + b * 256 + value};
        else
            expected = {0x8000 + (b + 1) * 256 + ((value >> 8) & 0xFF), 0x8000 + b * 256 + (value & 0xFF)};
        QCOMPARE(SentFrames(), expected);
        QCOMPARE(int(drv->cards[0].sent.size()), int(transfers.size()));
        QCOMPARE(int(drv->cards[0].sent[0][2]), transfers[0]);
    }

    void literalFrames()
    {
        // The examples worked out by hand, so a shared mistake in the formula above shows.
        BuildTable31473();
        WriteRegister(m470Reg::idxX_NULL, -5);                    // X_NULL at 0x02
        WriteRegister(m470Reg::idxCOMMAND, 0x100);                // COMMAND at 0x3E
        QCOMPARE(SentFrames(), (Words{0x83FF, 0x82FB, 0xBF01}));
    }

    void readDecoding_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("nd");
        QTest::addColumn<int>("ec");
        QTest::addColumn<float>("value");
        QTest::newRow("SUPPLY_OUT 12 bits unsigned") << 31470 << "SUPPLY_OUT" << 0xCFFF << 0xFFF << 0x8000
                                                     << 0x4000 << float(0xFFF * 0.00122f);
        QTest::newRow("SUPPLY_OUT flags clear") << 31470 << "SUPPLY_OUT" << 0x0123 << 0x123 << 0 << 0
                                                << float(0x123 * 0.00122f);
        QTest::newRow("X_OUT 14 bits signed") << 31470 << "X_OUT" << 0x3FFF << -1 << 0 << 0 << -0.0191f;
        QTest::newRow("X_OUT most negative") << 31470 << "X_OUT" << 0xE000 << -8192 << 0x8000 << 0x4000
                                             << float(-8192 * 0.0191f);
        QTest::newRow("X_NULL no flags kept") << 31473 << "X_NULL" << 0xFFFB << -5 << 0x7777 << 0x7777
                                              << float(-5 * 0.004768372f);
        QTest::newRow("TEMP_OUT offset") << 31470 << "TEMP_OUT" << 0 << 0 << 0 << 0 << 625.0f;
    }
    void readDecoding()
    {
        QFETCH(int, product);
        QFETCH(QString, row);
        QFETCH(int, word);
        QFETCH(int, raw);
        QFETCH(int, nd);
        QFETCH(int, ec);
        QFETCH(float, value);
        product == 31470 ? BuildTable31470() : BuildTable31473();
        const int16_t idx = row == "SUPPLY_OUT" ? m470Reg::idxSUPPLY_OUT
                            : row == "X_OUT"    ? m470Reg::idxX_OUT
                            : row == "TEMP_OUT" ? m470Reg::idxTEMP_OUT
                                                : m470Reg::idxX_NULL;
        // The answer comes back during the second of the two read frames.
        drv->cards[0].misoWords = {0xAAAA, static_cast<uint16_t>(word)};
        ReadRegister(idx);
        const int b = Base(idx);
        QCOMPARE(SentFrames(), (Words{b * 256, b * 256}));
        QCOMPARE(RegRaw, raw);
        QCOMPARE(RegHigh, int16_t(word / 256));
        QCOMPARE(RegLow, int16_t(word & 0xFF));
        QCOMPARE(RegND, nd);
        QCOMPARE(RegEC, ec);
        QCOMPARE(RegValue, value);
        QCOMPARE(SpiReadWord, word);
    }

    void unreadableRowChangesNothing()
    {
        BuildTable31473();
        RegRaw = 11, RegValue = 12.0f, RegHigh = 13, RegLow = 14, SpiReadWord = 15;
        ReadRegister(27);   // RESERVED27
        QVERIFY(drv->cards[0].sent.empty());
        QCOMPARE(RegRaw, 11);
        QCOMPARE(RegValue, 12.0f);
        QCOMPARE(RegHigh, int16_t(13));
        QCOMPARE(RegLow, int16_t(14));
        QCOMPARE(SpiReadWord, 15);
    }

    void noInterfaceSendsNothing()
    {
        auto port = std::make_shared<fake::Port>();
        SetPortIo(port);
        Module1::InterfaceType = 0;
        SpiReadWord = 99;
        WriteRegister(m470Reg::idxX_NULL, 0x1234);
        ReadRegister(m470Reg::idxTEMP_OUT);
        QVERIFY(drv->cards[0].sent.empty());
        QVERIFY(port->writes.empty());
        QCOMPARE(RegRaw, 0);
        QCOMPARE(RegValue, 625.0f);
        QCOMPARE(SpiReadWord, 99);
        SetPortIo(nullptr);
    }

    void cardFailureStopsTransfers()
    {
        drv->cards[0].failReads = true;
        UsbSpiDrivers::SpiRxWords[2] = 0x0ABC;
        ReadRegister(m470Reg::idxSUPPLY_OUT);
        QCOMPARE(sbtest::MessageTexts(), QStringList{"Error Reading SPI"});
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VFalse);
        // Later reads send nothing and return what the receive buffer still holds.
        drv->cards[0].sent.clear();
        ReadRegister(m470Reg::idxSUPPLY_OUT);
        QVERIFY(drv->cards[0].sent.empty());
        QCOMPARE(RegRaw, 0xABC);
        QCOMPARE(sbtest::MessageTexts().size(), 1);
    }
};

SB_TEST_MAIN(RegisterAccessTest)
#include "tst_registeraccess.moc"
