// Faults end to end on the virtual board: a card pulled or gone silent in the middle of a
// capture read-out costs one message, no hang and no crash, and selecting the card again recovers.
#include "TestSupport.h"
#include "capture/CaptureRecord.h"
#include "capture/frmForm1.h"
#include "device/EzUsb.h"
#include "device/FrameTrace.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QElapsedTimer>
#include <QPushButton>

class TestFaults : public QObject {
    Q_OBJECT
    sim::Board* board = nullptr;
    frmForm1* w = nullptr;

    void Open()
    {
        frmForm1::destroyInstance();
        board = &sim::Install(1, 0);
        Module1::InitialiseState();
        Module1::InterfaceType = 2;
        Module1::ProductNumber = 31473;
        BuildTable31473();
        w = frmForm1::instance();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        sbtest::ClearMessages();
    }

    // Injects `fault` on the card after `frames` more frames have crossed the bus.
    void FaultAfter(int frames, std::function<void()> fault)
    {
        auto left = std::make_shared<int>(frames);
        SetFrameTraceHook([left, fault](uint16_t, std::optional<uint16_t>) {
            if (--*left == 0)
                fault();
        });
    }

private slots:
    void init() { Open(); }
    void cleanup()
    {
        SetFrameTraceHook({});
        frmForm1::destroyInstance();
        w = nullptr;
        board = &sim::Install(1, 0);
    }

    void faultDuringReadOut_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("message");
        QTest::newRow("card pulled") << false << "Error Writing SPI";
        QTest::newRow("card gone silent") << true << "Error Reading SPI";
    }
    void faultDuringReadOut()
    {
        QFETCH(bool, silent);
        QFETCH(QString, message);
        // A silent card's read waits out the transfer timeout, as a real card's does.
        board->Card(0).SetSilentTimeout(sim::kSilentCardTimeout);
        // Half-way through buffer 1.
        FaultAfter(2000, [this, silent] {
            silent ? board->Card(0).SetSilent(true) : board->Card(0).SetUnplugged(true);
        });
        QElapsedTimer t;
        t.start();
        w->cmdReadBuffer->click();
        SetFrameTraceHook({});

        QCOMPARE(sbtest::MessageTexts(), QStringList{message});
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VFalse);
        QVERIFY(w->cmdReadBuffer->isEnabled());
        // One transfer timeout plus the skipped accesses' settling delays, not a hang.
        if (silent)
            QVERIFY2(t.elapsed() >= 900, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(t.elapsed() < 60000, qPrintable(QString::number(t.elapsed())));

        // The card comes back and is selected again: reads work once more.
        board->Card(0).SetUnplugged(false);
        board->Card(0).SetSilent(false);
        sbtest::ClearMessages();
        SelectFirstUsbCard();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        board->Sensor().Poke(0x58, 0x1234);
        ReadRegister(m470Reg::idxSCRATCH_A);
        QCOMPARE(Spi_mod::RegRaw, 0x1234);
        w->cmdReadBuffer->click();
        QVERIFY(sbtest::MessageTexts().isEmpty());
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
    }
};

SB_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
