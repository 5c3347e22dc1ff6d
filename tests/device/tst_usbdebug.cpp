// The USB-SPI card debug window on the virtual card: what each control sends to the card
// and shows back.
#include "TestSupport.h"
#include "device/EzUsb.h"
#include "device/UsbDebug.h"
#include "device/UsbSpiDrivers.h"
#include "device/frmUSBdebug.h"
#include "device/frmUSBselect.h"
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
        QCOMPARE(w->windowTitle(), QStringLiteral("USB SPI Card Setup"));
        QVERIFY(!w->frameSpiSetup->isEnabled() && !w->frameManualSetup->isEnabled());
        QCOMPARE(w->cmdLoop->text(), QStringLiteral("Loop"));

        w->show();
        QVERIFY(w->frameSpiSetup->isEnabled() && w->frameManualSetup->isEnabled());
        QVERIFY(w->optUsbPort[0]->isChecked());
        QVERIFY(w->optUsbPort[1]->isEnabled());
        QVERIFY(!w->optUsbPort[2]->isEnabled());
        QCOMPARE((QStringList{w->txtUsbPort[0]->text(), w->txtUsbPort[1]->text(), w->txtUsbPort[2]->text()}),
                 (QStringList{"0 - FIFO4", "1 - FIFO4", "None"}));
        QCOMPARE(w->txtDriverRev[1]->text(), QStringLiteral("2.0"));
        QCOMPARE(w->txtSpeed[1]->text(), QStringLiteral("1.1"));
        QVERIFY(!w->txtDescript1[0]->text().isEmpty());
        QVERIFY(w->optSpiChan[3]->isChecked());
        QCOMPARE(w->cmdPolarity->text(), QStringLiteral("Neg"));

        // The search's firmware query, then bits, delay and the two read-backs.
        const std::vector<Bytes> setUp{{12, 0x50}, {11, 7}, {1}, {1}};
        QCOMPARE(std::vector<Bytes>(sent().begin() + 1, sent().end()), setUp);
        QCOMPARE(sent().front(), Bytes{0});
        QCOMPARE(w->txtLoopDelay->text(), QStringLiteral("7"));
        for (int cs = 2; cs <= 5; ++cs)
            QCOMPARE(w->chkStaticBits[cs]->isChecked(), cs == 3 || cs == 5);

        // Picking the second card sets it up in turn.
        board->Card(1).ClearMessages();
        w->optUsbPort[1]->click();
        QCOMPARE(board->Card(1).Messages(), setUp);
        QCOMPARE(EzUsb::SelectedUsbCard.Name, QStringLiteral("Ezusb-1"));
    }

    void noCardSearchSelectsNone()
    {
        open(0);
        QVERIFY(w->optUsbPort[4]->isChecked());
        QVERIFY(!w->frameSpiSetup->isEnabled() && !w->frameManualSetup->isEnabled());
        QCOMPARE(sbtest::MessageTexts(),
                 QStringList{QStringLiteral("No USB Buffers Found, Please Verify Setup and Restart")});
    }

    void actionsWithoutCardAskForOne_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("selectsNone");
        QTest::newRow("Write") << 0 << true;
        QTest::newRow("Set Bits") << 1 << true;
        QTest::newRow("delay Read") << 2 << false;
        QTest::newRow("bits Read") << 3 << false;
        QTest::newRow("delay Enter") << 4 << false;
    }
    void actionsWithoutCardAskForOne()
    {
        QFETCH(int, action);
        QFETCH(bool, selectsNone);
        open();
        EzUsb::SelectedUsbCard.Valid = VFalse;   // e.g. failed in another window
        Module1::SpiLoopStop = VFalse;
        w->txtLoopDelay->setText(QStringLiteral("99"));
        clearWire();
        if (action == 4)
            QTest::keyClick(w->txtLoopDelay, Qt::Key_Return);
        else
            QList<QPushButton*>{w->cmdWriteSpi, w->cmdSetSpiBits, w->cmdReadDelay, w->cmdReadBits}[action]->click();
        QCOMPARE(sbtest::MessageTexts(), QStringList{QStringLiteral("Please Select a Buffer first")});
        QVERIFY(sent().empty());
        QVERIFY(board->Sensor(0).Frames().empty());
        QCOMPARE(w->optUsbPort[4]->isChecked(), selectsNone);
        QCOMPARE(w->frameManualSetup->isEnabled(), !selectsNone);
        if (selectsNone)
            QCOMPARE(Module1::SpiLoopStop, VTrue);
        else
            QCOMPARE(w->txtLoopDelay->text(), QString::number(Module1::SpiDelay));
    }

    void wordCount_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count");
        QTest::newRow("0") << "0" << 1;
        QTest::newRow("negative") << "-4" << 1;
        QTest::newRow("20") << "20" << 16;
        QTest::newRow("3") << "3" << 3;
        QTest::newRow("16") << "16" << 16;
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
        w->txtNumWords->setText(typed);
        clearWire();
        w->cmdWriteSpi->click();

        QCOMPARE(w->txtNumWords->text(), QString::number(count));
        QCOMPARE(sent().size(), size_t(1));
        QCOMPARE(Bytes(sent()[0].begin(), sent()[0].begin() + 3), (Bytes{13, 1, uint8_t(count)}));
        QCOMPARE(sent()[0].size(), size_t(3 + 2 * count));
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

    void wordTexts()
    {
        open();
        w->txtNumWords->setText(QStringLiteral("4"));
        w->txtWriteSpi[1]->setText(QStringLiteral("12345"));
        w->txtWriteSpi[2]->clear();
        w->txtWriteSpi[3]->setText(QStringLiteral("beef"));
        w->txtWriteSpi[4]->setText(QStringLiteral("0x1G"));  // non-hex counts as 0
        clearWire();
        w->cmdWriteSpi->click();
        const Bytes expected{13, 1, 4, 0x23, 0x45, 0x00, 0x00, 0xBE, 0xEF, 0x00, 0x10};
        QCOMPARE(sent(), std::vector<Bytes>{expected});
        QCOMPARE((QStringList{w->txtWriteSpi[1]->text(), w->txtWriteSpi[2]->text(), w->txtWriteSpi[3]->text(),
                              w->txtWriteSpi[4]->text()}),
                 (QStringList{"2345", "0", "BEEF", "10"}));
    }

    void delayEntry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("sentDelay");
        QTest::newRow("0") << "0" << 1;
        QTest::newRow("300") << "300" << 255;
        QTest::newRow("2.5 to even") << "2.5" << 2;
        QTest::newRow("3.5 to even") << "3.5" << 4;
        QTest::newRow("text") << "abc" << 1;
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
        QCOMPARE(int(board->Card(0).SpiDelay()), sentDelay);
        QCOMPARE(w->txtLoopDelay->text(), QString::number(sentDelay));
        QVERIFY(sbtest::Messages().isEmpty());

        // Other keys send nothing.
        clearWire();
        QTest::keyClick(w->txtLoopDelay, Qt::Key_5);
        QVERIFY(sent().empty());
    }

    // The Read buttons show what the card holds (bits as CS2..CS5 ticks); Set Bits sends the ticks.
    void staticBits_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QList<bool>>("ticked");
        QTest::newRow("0x50") << 0x50 << QList<bool>{false, true, false, true};
        QTest::newRow("120") << 120 << QList<bool>{true, true, true, true};
        QTest::newRow("0x87 outside") << 0x87 << QList<bool>{false, false, false, false};
        QTest::newRow("0x28") << 0x28 << QList<bool>{true, false, true, false};
    }
    void staticBits()
    {
        QFETCH(int, bits);
        QFETCH(QList<bool>, ticked);
        open();
        for (int cs = 2; cs <= 5; ++cs)
            w->chkStaticBits[cs]->setChecked(!ticked[cs - 2]);
        SetSpiBits(uint8_t(bits));
        SetupSpi(uint8_t(42));
        w->txtLoopDelay->setText(QStringLiteral("3"));
        clearWire();
        w->cmdReadDelay->click();
        QCOMPARE(w->txtLoopDelay->text(), QStringLiteral("42"));
        w->cmdReadBits->click();
        QCOMPARE(sent(), (std::vector<Bytes>{{1}, {1}}));
        for (int cs = 2; cs <= 5; ++cs)
            QCOMPARE(w->chkStaticBits[cs]->isChecked(), ticked[cs - 2]);
        clearWire();
        w->cmdSetSpiBits->click();
        QCOMPARE(sent(), (std::vector<Bytes>{{12, uint8_t(bits & 0x78)}}));
        QCOMPARE(int(board->Card(0).StaticBits()), bits & 0x78);
    }

    void polarityAndChannelTravelWithTheNextTransfer()
    {
        open();
        clearWire();
        w->cmdPolarity->click();
        QCOMPARE(w->cmdPolarity->text(), QStringLiteral("Neg"));
        w->optSpiChan[2]->click();
        QVERIFY(sent().empty());
        QCOMPARE(Module1::SpiChannel, uint8_t(2));
        w->cmdWriteSpi->click();
        QCOMPARE(Bytes(sent().at(0).begin(), sent().at(0).begin() + 2), (Bytes{14, 2}));

        clearWire();
        w->cmdPolarity->click();
        QCOMPARE(w->cmdPolarity->text(), QStringLiteral("Pos"));
        QVERIFY(sent().empty());
        w->cmdWriteSpi->click();
        QCOMPARE(int(sent().at(0)[0]), 13);
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
        QCOMPARE(Module1::SpiLoopStop, VTrue);
        QVERIFY(w->optUsbPort[0]->isChecked());
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
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VFalse);
        QCOMPARE(w->cmdLoop->text(), QStringLiteral("Loop"));
        QCOMPARE(sbtest::Messages().size(), 1);
        QVERIFY(sbtest::MessageTexts()[0].startsWith(QStringLiteral("Error")));
    }

    void okAndCloseBoxHide()
    {
        open();
        w->cmdExit->click();
        QVERIFY(!w->isVisible());
        w->show();
        w->close();
        QVERIFY(!w->isVisible());
        QCOMPARE(frmUSBdebug::instance(), w);
    }

    void debugButtonOfTheSelectionWindowShowsIt()
    {
        sim::Install(1);
        sbtest::ModalsShown().clear();
        frmUSBselect::instance()->cmdDebugUsb->click();
        QCOMPARE(sbtest::ModalsShown().size(), 1);
        QCOMPARE(sbtest::ModalsShown()[0], static_cast<QWidget*>(frmUSBdebug::instance()));
        frmUSBselect::destroyInstance();
    }
};

SB_TEST_MAIN(TestUsbDebug)
#include "tst_usbdebug.moc"
