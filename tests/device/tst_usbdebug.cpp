// The card debug window on the virtual card: what each control sends and shows back.
#include "TestSupport.h"
#include "device/EzUsb.h"
#include "device/UsbDebug.h"
#include "device/UsbSpiDrivers.h"
#include "device/ui/frmUSBdebug.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QElapsedTimer>
#include <QTimer>

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

class TestUsbDebug : public QObject {
    Q_OBJECT
    sim::Board* board = nullptr;
    frmUSBdebug* w = nullptr;

    const std::vector<Bytes>& sent() { return board->Card(0).Messages(); }
    void clearWire()
    {
        board->Card(0).ClearMessages();
        board->Sensor(0).ClearFrames();
        sbtest::ClearMessages();
    }
    // Shown on a fresh board: the search picks card 0 and sets it up.
    void open(int cards = 1)
    {
        frmUSBdebug::destroyInstance();
        board = &sim::Install(cards);
        Module1::InitialiseState();
        EzUsb::SelectedUsbCard = {};
        EzUsb::SelectedUsbCardIndex = -1;
        UsbSpiDrivers::SpiWordCount = 0;
        sbtest::ClearMessages();
        w = frmUSBdebug::instance();
        w->show();
    }
    int transfers()
    {
        int n = 0;
        for (const Bytes& m : sent())
            n += (m[0] == 13 || m[0] == 14);
        return n;
    }

private slots:
    void cleanup()
    {
        sbtest::SetModalAction({});
        frmUSBdebug::destroyInstance();
    }

    void startsDisabledThenSearchSetsUpTheCard()
    {
        frmUSBdebug::destroyInstance();
        board = &sim::Install(2);
        Module1::InitialiseState();
        Module1::SpiStaticBits = 0x50;
        Module1::SpiDelay = 7;
        Module1::SpiChannel = 3;
        Module1::SpiPolarityPositive = VFalse;
        board->Card(1).SetFirmwareVersion(2, 0);
        board->Card(1).SetFullSpeed(true);
        w = frmUSBdebug::instance();
        QVERIFY(!w->frameSpiSetup->isEnabled() && !w->frameManualSetup->isEnabled());

        w->show();
        QVERIFY(w->frameSpiSetup->isEnabled() && w->frameManualSetup->isEnabled());
        QVERIFY(w->optUsbPort[0]->isChecked() && !w->optUsbPort[2]->isEnabled());
        QCOMPARE(w->txtUsbPort[1]->text(), QStringLiteral("1 - FIFO4"));
        QCOMPARE(w->txtDriverRev[1]->text(), QStringLiteral("2.0"));
        QCOMPARE(w->txtSpeed[1]->text(), QStringLiteral("1.1"));
        QVERIFY(w->optSpiChan[3]->isChecked());
        QCOMPARE(w->cmdPolarity->text(), QStringLiteral("Neg"));

        // The search's firmware query, then bits, delay and the two read-backs.
        const std::vector<Bytes> setUp{{12, 0x50}, {11, 7}, {1}, {1}};
        QCOMPARE(sent().front(), Bytes{0});
        QCOMPARE(std::vector<Bytes>(sent().begin() + 1, sent().end()), setUp);
        QCOMPARE(w->txtLoopDelay->text(), QStringLiteral("7"));
        QVERIFY(w->chkStaticBits[3]->isChecked() && !w->chkStaticBits[4]->isChecked());
    }

    void actionsWithoutCardAskForOne_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("selectsNone");
        QTest::newRow("Write") << 0 << true;
        QTest::newRow("delay Enter") << 4 << false;
    }
    void actionsWithoutCardAskForOne()
    {
        QFETCH(int, action);
        QFETCH(bool, selectsNone);
        open();
        EzUsb::SelectedUsbCard.Valid = VFalse;   // e.g. failed in another window
        clearWire();
        if (action == 4)
            QTest::keyClick(w->txtLoopDelay, Qt::Key_Return);
        else
            w->cmdWriteSpi->click();
        QCOMPARE(sbtest::MessageTexts(), QStringList{QStringLiteral("Please Select a Buffer first")});
        QVERIFY(sent().empty());
        QCOMPARE(w->optUsbPort[4]->isChecked(), selectsNone);
        QCOMPARE(w->frameManualSetup->isEnabled(), !selectsNone);
    }

    void wordCount_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count");
        QTest::newRow("0") << "0" << 1;
        QTest::newRow("20") << "20" << 16;
    }
    void wordCount()
    {
        QFETCH(QString, typed);
        QFETCH(int, count);
        open();
        for (int i = 1; i <= 16; ++i) {
            w->txtWriteSpi[i]->setText(QString::number(0x100 + i, 16));
            w->txtReadSpi[i]->setText(QStringLiteral("old"));
        }
        w->txtWriteSpi[1]->setText(QStringLiteral("F0101"));   // the last four hex digits count
        w->txtNumWords->setText(typed);
        clearWire();
        w->cmdWriteSpi->click();

        QCOMPARE(w->txtNumWords->text(), QString::number(count));
        QCOMPARE(sent().size(), size_t(1));
        QCOMPARE(Bytes(sent()[0].begin(), sent()[0].begin() + 3), (Bytes{13, 1, uint8_t(count)}));
        const auto frames = board->Sensor(0).Frames();
        QCOMPARE(int(frames.size()), count);
        for (int i = 1; i <= 16; ++i) {
            if (i <= count) {
                QCOMPARE(int(frames[size_t(i - 1)].mosi), 0x100 + i);
                QCOMPARE(w->txtReadSpi[i]->text(), UsbDebug::WordText(frames[size_t(i - 1)].miso));
            } else {
                QVERIFY(w->txtWriteSpi[i]->text().isEmpty());
                QVERIFY(w->txtReadSpi[i]->text().isEmpty());
            }
        }
    }

    void delayEntry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("sentDelay");
        QTest::newRow("0") << "0" << 1;
        QTest::newRow("300") << "300" << 255;
        QTest::newRow("2.5 to even") << "2.5" << 2;
        QTest::newRow("40us") << "40us" << 40;
    }
    void delayEntry()
    {
        QFETCH(QString, typed);
        QFETCH(int, sentDelay);
        open();
        w->txtLoopDelay->setText(typed);
        clearWire();
        QTest::keyClick(w->txtLoopDelay, Qt::Key_Enter);
        QCOMPARE(sent(), (std::vector<Bytes>{{11, uint8_t(sentDelay)}}));
        QCOMPARE(w->txtLoopDelay->text(), QString::number(sentDelay));

        // Other keys send nothing.
        clearWire();
        QTest::keyClick(w->txtLoopDelay, Qt::Key_5);
        QVERIFY(sent().empty());
    }

    void loopRunsUntilStop()
    {
        open();
        w->txtNumWords->setText(QStringLiteral("2"));
        clearWire();
        // Stop once the loop has sent twice (or after 10 s, so a stuck loop fails instead of hanging).
        int seenWhileRunning = 0;
        QString captionWhileRunning;
        QElapsedTimer started;
        started.start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, w, [&] {
            if (transfers() < 2 && started.elapsed() < 10000)
                return;
            poll.stop();
            seenWhileRunning = transfers();
            captionWhileRunning = w->cmdLoop->text();
            w->cmdLoop->click();
        });
        poll.start(5);
        w->cmdLoop->click();   // returns once the loop has ended
        QCOMPARE(captionWhileRunning, QStringLiteral("Stop"));
        QVERIFY(seenWhileRunning >= 2);
        QCOMPARE(w->cmdLoop->text(), QStringLiteral("Loop"));
        QVERIFY(sbtest::Messages().isEmpty());
        for (const Bytes& m : sent())
            QCOMPARE(m.size(), size_t(3 + 4));
        const int after = transfers();
        QTest::qWait(20);
        QCOMPARE(transfers(), after);
    }

    void loopEndsOnCardFailure()
    {
        open();
        clearWire();
        QTimer::singleShot(30, w, [&] { board->Card(0).SetUnplugged(true); });
        w->cmdLoop->click();
        QVERIFY(transfers() >= 1);
        QVERIFY(w->optUsbPort[4]->isChecked());
        QVERIFY(!w->frameManualSetup->isEnabled());
        QCOMPARE(w->cmdLoop->text(), QStringLiteral("Loop"));
        QCOMPARE(sbtest::MessageTexts().size(), 1);
        QVERIFY(sbtest::MessageTexts()[0].startsWith(QStringLiteral("Error")));
    }
};

SB_TEST_MAIN(TestUsbDebug)
#include "tst_usbdebug.moc"
