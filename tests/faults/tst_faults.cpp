// Faults end to end on the virtual board: a card pulled or gone silent in the middle of a
// capture read-out is reported, keeps the previous capture everywhere, hangs nothing, and
// selecting the card again recovers.
#include "../capture/CaptureTestBench.h"
#include "capture/CaptureWorkflow.h"
#include "datalog/DataFile.h"
#include "device/FrameTrace.h"
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

class TestFaults : public QObject {
    Q_OBJECT
    sim::Board* board = nullptr;
    frmForm1* w = nullptr;

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
    void init()
    {
        w = tb::OpenMainWindow();
        board = sim::CurrentBoard();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
    }
    void cleanup()
    {
        SetFrameTraceHook({});
        frmForm1::destroyInstance();
    }

    void faultDuringReadOut_data()
    {
        tb::Columns<bool, QString>({"silent", "message"});
        QTest::newRow("card pulled") << false << "Error Writing SPI";
        QTest::newRow("card gone silent") << true << "Error Reading SPI";
    }
    void faultDuringReadOut()
    {
        QFETCH(bool, silent);
        QFETCH(QString, message);
        QTemporaryDir logDir;
        DataLog::ResetState();
        DataLog::FileDir = logDir.path() + QLatin1Char('/');
        w->ckDataLog->setChecked(true);
        // A good capture first: it must survive the lost one.
        w->cmdReadBuffer->click();
        QCOMPARE(QDir(logDir.path()).entryList(QDir::Files).size(), 1);
        const CaptureRecord::Record before = CaptureRecord::Last;
        QVERIFY(before.complete);
        const int clears = w->FrameDataPLot->picture1->ClearCount();

        // A silent card's read waits out the transfer timeout, as a real card's does.
        board->Card(0).SetSilentTimeout(sim::kSilentCardTimeout);
        // In buffer 1.
        FaultAfter(2500, [this, silent] {
            silent ? board->Card(0).SetSilent(true) : board->Card(0).SetUnplugged(true);
        });
        QElapsedTimer t;
        t.start();
        w->cmdReadBuffer->click();
        SetFrameTraceHook({});

        QCOMPARE(sbtest::MessageTexts(), (QStringList{message, capture::LostCaptureMessage(message)}));
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VFalse);
        // The earlier capture stays on the plot and in the record; no file; the grid does not claim "OK".
        QVERIFY(CaptureRecord::Last.value == before.value && CaptureRecord::Last.time == before.time);
        QVERIFY(w->FrameDataPLot->picture1->ClearCount() > clears);
        QVERIFY(w->FrameDataPLot->picture1->StrokeCount() > 0);
        QCOMPARE(QDir(logDir.path()).entryList(QDir::Files).size(), 1);
        QCOMPARE(DataLog::DataFileNumber, int16_t(2));
        for (QLabel* row : w->LbLAbit)
            QCOMPARE(row->text(), QStringLiteral("unknown"));
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
        ReadRegister(m470Reg::Table().idxSCRATCH_A);
        QCOMPARE(Spi_mod::RegRaw, 0x1234);
        w->cmdReadBuffer->click();
        QVERIFY(sbtest::MessageTexts().isEmpty());
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        QVERIFY(CaptureRecord::Last.time > before.time);
        QCOMPARE(QDir(logDir.path()).entryList(QDir::Files).size(), 2);
        w->ckDataLog->setChecked(false);
    }
};

SB_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
