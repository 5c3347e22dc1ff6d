// The main window's start-up, product switch and settings controls, at the wire of the virtual board.
#include "CaptureTestBench.h"
#include "capture/CaptureSettings.h"
#include "device/PortIo.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QTemporaryDir>

using namespace m470Reg;

namespace {
int Base(int16_t index) { return RegisterTable[index].BaseAddr; }

// Every byte written, as (address, data).
QList<QPair<int, int>> ByteWrites(const sim::VirtualSensor& s)
{
    QList<QPair<int, int>> out;
    for (const sim::SpiFrame& f : s.Frames())
        if (f.mosi & 0x8000)
            out.append({(f.mosi >> 8) & 0x7F, f.mosi & 0xFF});
    return out;
}

// 16-bit values written to the register at `base` (high byte first, then low byte).
QList<int> WordWrites(const sim::VirtualSensor& s, int base)
{
    QList<int> out;
    const auto w = ByteWrites(s);
    for (qsizetype i = 0; i + 1 < w.size(); ++i)
        if (w[i].first == base + 1 && w[i + 1].first == base) {
            out.append(w[i].second * 256 + w[i + 1].second);
            ++i;
        }
    return out;
}

int ReadFrames(const sim::VirtualSensor& s, int16_t index) { return tb::Count(s.Frames(), tb::Rd(Base(index))); }

// A user's choice in a drop-down list.
void Choose(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    frmForm1* w = nullptr;

    sim::Board& board() { return *sim::CurrentBoard(); }
    sim::VirtualSensor& sensor() { return board().Sensor(0); }

    // Sets the register and lets the window read it back, as after a change on the device.
    void deviceHolds(int16_t index, uint16_t value)
    {
        sensor().Poke(Base(index), value);
        if (index == idxCAPT_CTRL)
            w->ReadCapCtrl();
        sensor().ClearFrames();
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }
    void init()
    {
        w = tb::OpenMainWindow();
        sensor().ClearFrames();
    }
    void cleanupTestCase() { frmForm1::destroyInstance(); }

    void loadsOnTheTriAxisProductAndSetsUpTheCard()
    {
        w = tb::OpenMainWindow(2, 1, [] { Module1::SpiDelay = 30; });
        QCOMPARE(Module1::OsName, QStringLiteral("WinXP"));
        QVERIFY(sbtest::MessageTexts().isEmpty());
        QVERIFY(w->mnuUsb->isChecked());
        QVERIFY(w->mnu31473->isChecked());
        QVERIFY(!w->mnu31470->isChecked());
        QCOMPARE(w->windowTitle(), QStringLiteral("Quorvane         Sensor Bench"));
        QCOMPARE(w->lblProduct->text(), QStringLiteral("31473"));
        QCOMPARE(w->ComboCapMode->count(), 6);
        QCOMPARE(w->ComboAVG->itemText(10), QStringLiteral("1024"));
        QCOMPARE(w->ComboPreTrigLength->itemText(3), QStringLiteral("512"));
        QCOMPARE(w->ComboTimerUnits->itemText(2), QStringLiteral("Hours"));
        for (QLabel* l : {w->LbLSupply, w->LbLTemp, w->LbLXpk, w->LbLADC0, w->LbLADC1})
            QCOMPARE(l->text(), QStringLiteral("noData"));
        QCOMPARE(w->LBLAtitle[7]->text(), QStringLiteral("Data Ready"));
        QCOMPARE(w->LBLAtitle[4]->text(), QStringLiteral("Capture Period Violation"));
        QVERIFY(w->FrameDataPLot->ckXacc->isChecked());

        // Static bits first, then the delay, on the card the search selected.
        const auto& msgs = board().Card(0).Messages();
        const auto bitsAt = std::find(msgs.begin(), msgs.end(), std::vector<uint8_t>{12, 120});
        const auto delayAt = std::find(msgs.begin(), msgs.end(), std::vector<uint8_t>{11, 30});
        QVERIFY(delayAt != msgs.end());
        QVERIFY(bitsAt < delayAt);

        // Loading reads the settings back and writes nothing.
        QVERIFY(ByteWrites(sensor()).isEmpty());
        QVERIFY(ReadFrames(sensor(), idxCAPT_CTRL) > 0);
        QVERIFY(ReadFrames(sensor(), idxSTATUS) > 0);
    }

    void settingsFileWithSingleAxisStillOpensOnTriAxis()
    {
        QFile f(QStringLiteral("CommPort.cfg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Interface =  2 \r\nPort Address =  0 \r\nProductNumber =  31470 \r\n");
        f.close();
        frmForm1::destroyInstance();
        sim::Install(1);
        Module1::LoadStateAndTables();
        QCOMPARE(int(idxCAPT_CTRL), 14);
        w = frmForm1::instance();
        QCOMPARE(int(Module1::ProductNumber), 31473);
        QCOMPARE(int(idxCAPT_CTRL), 13);
        QCOMPARE(w->ComboCapMode->itemText(5), QStringLiteral("Extended Time Z"));
    }

    void noInterfaceAsksForOneAndStillOpens()
    {
        w = tb::OpenMainWindow(0);
        QCOMPARE(sbtest::MessageTexts(), QStringList{QStringLiteral("Please select an interface before taking data")});
        QCOMPARE(int(Module1::InterfaceType), 0);
        // Reads give 0: manual mode, seconds, averaging 1, every status row OK.
        QCOMPARE(w->ComboCapMode->currentIndex(), 0);
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger"));
        QCOMPARE(w->ComboAVG->currentIndex(), 0);
        QCOMPARE(w->txtTimerValue->text(), QStringLiteral("0"));
        QCOMPARE(w->LbLAbit[0]->text(), QStringLiteral("OK"));
        QVERIFY(board().Card(0).Messages().empty());
    }

    void parallelPortStartUp()
    {
        w = tb::OpenMainWindow(1);
        QVERIFY(sbtest::MessageTexts().isEmpty());
        QCOMPARE(Module1::GiveioInstalled, VTrue);
        QCOMPARE(board().Port().OtherWrites(), std::vector<uint8_t>{64});
        QCOMPARE(int(board().Port().DataWrites().front()), 0);
        // The load's reads went over the bit-banged port, none over the card.
        QVERIFY(ReadFrames(sensor(), idxCAPT_CTRL) > 0);
        QVERIFY(board().Card(0).Messages().empty());
        QVERIFY(!w->mnuUsb->isChecked());
    }

    void portWithoutPermissionIsReportedAndLoadGoesOn()
    {
        struct DeniedPort : PortIo {
            void Out(uint16_t, uint8_t) override {}
            uint8_t In(uint16_t) override { return 0x40; } // data-in idle: reads give 0
            bool Acquire(uint16_t, QString* error) override
            {
                if (error)
                    *error = QStringLiteral("Permission denied");
                return false;
            }
        };
        w = tb::OpenMainWindow(1, 1, [] {
            SetPortIo(std::make_shared<DeniedPort>());
            Module1::PortAddress = 0x278;
        });
        QCOMPARE(sbtest::MessageTexts(), QStringList{QStringLiteral("The required I/O drivers could not be installed.")});
        QCOMPARE(sbtest::Messages().first().title, QStringLiteral("Error"));
        QCOMPARE(Module1::GiveioInstalled, VTrue);
        QCOMPARE(w->lblProduct->text(), QStringLiteral("31473"));
    }

    void usbWithoutCardOpensTheSelectionWindow()
    {
        sbtest::ModalsShown().clear();
        w = tb::OpenMainWindow(2, 0);
        QCOMPARE(sbtest::ModalsShown().size(), 1);
        QCOMPARE(sbtest::ModalsShown().first()->windowTitle(), QStringLiteral("USB SPI Card Selection"));
        QVERIFY(sbtest::MessageTexts().contains(QStringLiteral("No USB Buffers Found, Please Verify Setup and Restart")));
        QCOMPARE(int(Module1::InterfaceType), 0);
        QVERIFY(!w->mnuUsb->isChecked());
    }

    void productSwitch_data()
    {
        tb::Columns<bool, QString, QString, int>({"single", "adc0", "adc1", "commandIndex"});
        QTest::newRow("single axis") << true << "ADC 0" << "ADC 1" << 28;
        QTest::newRow("and back") << false << "Y acc" << "Z acc" << 26;
    }
    void productSwitch()
    {
        QFETCH(bool, single);
        if (!single)
            w->mnu31470->trigger();
        sensor().ClearFrames();
        (single ? w->mnu31470 : w->mnu31473)->trigger();
        QCOMPARE(w->mnu31470->isChecked(), single);
        QCOMPARE(w->mnu31473->isChecked(), !single);
        QCOMPARE(w->lblProduct->text(), single ? QStringLiteral("31470") : QStringLiteral("31473"));
        QCOMPARE(w->ckBPfilter->isHidden(), single);
        QCOMPARE(w->ComboCapMode->count(), single ? 3 : 6);
        QTEST(w->FrameDataPLot->ckADC0->text(), "adc0");
        QTEST(w->FrameDataPLot->ckADC1->text(), "adc1");
        QCOMPARE(w->FrameDataPLot->ckADC0->isChecked(), !single);
        QCOMPARE(w->FrameDataPLot->ckADC1->isChecked(), !single);
        QTEST(int(idxCOMMAND), "commandIndex");
        // The switch only reads the device back.
        QVERIFY(ByteWrites(sensor()).isEmpty());
    }

    void captureControlWrites_data()
    {
        // mode: list index chosen, -1: tick power-down instead
        tb::Columns<int, int, int>({"before", "mode", "written"});
        QTest::newRow("Extended Time Y, 256, power-down, filter") << 0x00A1 << 4 << 0x1AD;
        QTest::newRow("Extended Time Z") << 0x0000 << 5 << 0x020C;
        QTest::newRow("Event keeps flash and pre-trigger") << 0x0070 << 2 << 0x0078;
        QTest::newRow("back to Manual clears the axis") << 0x020C << 0 << 0x0000;
        QTest::newRow("power-down ticked") << 0x0004 << -1 << 0x0005;
    }
    void captureControlWrites()
    {
        QFETCH(int, before);
        QFETCH(int, mode);
        QFETCH(int, written);
        deviceHolds(idxCAPT_CTRL, before);
        if (mode >= 0)
            Choose(w->ComboCapMode, mode);
        else
            w->ckPowerDown->click();
        QCOMPARE(WordWrites(sensor(), Base(idxCAPT_CTRL)), QList<int>{written});
        // Written once, then read back into the controls.
        QCOMPARE(ByteWrites(sensor()).size(), 2);
        QCOMPARE(sensor().Peek(Base(idxCAPT_CTRL)), written);
        QCOMPARE(w->ckPowerDown->isChecked(), (written & 1) != 0);
        QCOMPARE(w->CapCtrlUpdating, int16_t(0));
    }

    void captureControlReads_data()
    {
        tb::Columns<int, int, int, QString, QString, bool, QString>(
            {"product", "raw", "index", "caption", "modeName", "reArm", "message"});
        QTest::newRow("0x020C: Extended Time Z") << 31473 << 0x020C << 5 << "Trigger" << "MANUAL" << false << "";
        QTest::newRow("automatic") << 31473 << 0x0004 << 1 << "Start" << "TIMER" << false << "";
        QTest::newRow("event shows re-arm") << 31473 << 0x0008 << 2 << "Arm" << "EVENT" << true << "";
        QTest::newRow("axis 3") << 31473 << 0x030C << 3 << "Trigger" << "MANUAL" << false
                                << "Error reading CapCtrl register\r\n\r\nExtended mode field, bits 8 & 9 = 3"
                                   "\r\n\r\nThis value should not be greater than 2.";
        QTest::newRow("mode 3 on single axis") << 31470 << 0x000C << -1 << "no data" << "NODATA" << false << "";
    }
    void captureControlReads()
    {
        QFETCH(int, product);
        QFETCH(int, raw);
        QFETCH(QString, message);
        if (product != 31473)
            w->SetProductNumber(int16_t(product));
        sensor().Poke(Base(idxCAPT_CTRL), uint16_t(raw | 0x00B0)); // plus 512, filter
        sensor().ClearFrames();
        sbtest::ClearMessages();
        w->ReadCapCtrl();
        QTEST(w->ComboCapMode->currentIndex(), "index");
        QTEST(w->cmdONE->text(), "caption");
        QTEST(w->CaptureModeName, "modeName");
        QTEST(!w->ckAutoReArm->isHidden(), "reArm");
        QCOMPARE(w->ComboPreTrigLength->currentText(), QStringLiteral("512"));
        QVERIFY(w->ckBPfilter->isChecked());
        QCOMPARE(sbtest::MessageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(w->FraCap->title(), QStringLiteral("Buffer    CAPT_CTRL"));
        QVERIFY(ByteWrites(sensor()).isEmpty());
    }

    // A typed period over 255 is corrected in the box and written at the next key; no number or 0 becomes 1.
    void periodBox()
    {
        const int prd = Base(idxCAPT_PRD);
        w->txtTimerValue->setText(QStringLiteral("300"));
        QTest::keyRelease(w->txtTimerValue, Qt::Key_0);
        QCOMPARE(w->txtTimerValue->text(), QStringLiteral("255"));
        QVERIFY(ByteWrites(sensor()).isEmpty());
        QTest::keyRelease(w->txtTimerValue, Qt::Key_End);
        QCOMPARE(WordWrites(sensor(), prd), QList<int>{0x00FF});
        QCOMPARE(w->txtTimerValue->text(), QStringLiteral("255"));
        for (const char* typed : {"x", "0"}) {
            sensor().ClearFrames();
            w->txtTimerValue->setText(QString::fromLatin1(typed));
            QTest::keyRelease(w->txtTimerValue, Qt::Key_0);
            QCOMPARE(w->txtTimerValue->text(), QStringLiteral("1"));
            QVERIFY(ByteWrites(sensor()).isEmpty());
        }

        // Ten minutes.
        w->txtTimerValue->setText(QStringLiteral("10"));
        Choose(w->ComboTimerUnits, 1);
        QCOMPARE(WordWrites(sensor(), prd), QList<int>{0x010A});
        QCOMPARE(w->txtTimerValue->text(), QStringLiteral("10"));
        QCOMPARE(w->ComboTimerUnits->currentText(), QStringLiteral("Minutes"));
        QCOMPARE(w->FrameCaptPrd->title(), QStringLiteral("Timer   CAPT_PRD"));

        // Units 3 read back from the device are reported.
        Choose(w->ComboTimerUnits, 2);
        sensor().Poke(prd, 0x0305);
        sbtest::ClearMessages();
        w->ReadCapPrd();
        QCOMPARE(w->txtTimerValue->text(), QStringLiteral("5"));
        QCOMPARE(w->ComboTimerUnits->currentIndex(), 2);
        QCOMPARE(sbtest::MessageTexts().size(), 1);
        QVERIFY(sbtest::MessageTexts().first().contains(QStringLiteral("value = 3")));
    }

    void averagingAndDuration_data()
    {
        tb::Columns<int, int, int, int, QString>({"product", "captCtrl", "avg", "index", "duration"});
        QTest::newRow("AVG 64, flash on event") << 31473 << 0x0040 << 6 << 6 << "1.60";
        QTest::newRow("same in extended mode") << 31473 << 0x004C << 6 << 6 << "4.8";
        QTest::newRow("AVG 1 tri-axis") << 31473 << 0x0000 << 0 << 0 << "0.23";
        QTest::newRow("AVG 1024 single axis") << 31470 << 0x0000 << 10 << 10 << "12.13";
        QTest::newRow("above 15 selects 1") << 31473 << 0x0000 << 16 << 0 << "0.23";
        QTest::newRow("12 has no entry: longest duration") << 31473 << 0x0000 << 12 << -1 << "16.90";
        QTest::newRow("11 on single axis") << 31470 << 0x0000 << 11 << -1 << "12.13";
    }
    void averagingAndDuration()
    {
        QFETCH(int, product);
        QFETCH(int, captCtrl);
        QFETCH(int, avg);
        if (product != 31473)
            w->SetProductNumber(int16_t(product));
        deviceHolds(idxCAPT_CTRL, captCtrl);
        sensor().Poke(Base(idxAVG_CNT), uint16_t(avg));
        w->ReadAVG();
        QTEST(w->ComboAVG->currentIndex(), "index");
        QTEST(w->LbLCapDuration->text(), "duration");
        QVERIFY(ByteWrites(sensor()).isEmpty());
    }

    void choosingAveragingWritesIt()
    {
        Choose(w->ComboAVG, 6);
        QCOMPARE(WordWrites(sensor(), Base(idxAVG_CNT)), QList<int>{6});
        QCOMPARE(w->ComboAVG->currentIndex(), 6);
        QCOMPARE(w->LbLCapDuration->text(), QStringLiteral("1.10"));
        QCOMPARE(w->fraAvg->title(), QStringLiteral("AVG_CNT"));
    }

    void selfTestSwitch()
    {
        const int msc = Base(idxMSC_CTRL);
        sensor().Poke(msc, 0x0304);
        w->optSTOFF->click();
        QCOMPARE(WordWrites(sensor(), msc), QList<int>{0x0004});
        sensor().ClearFrames();
        sensor().Poke(msc, 0x0004);
        w->optSTON->click();
        QCOMPARE(WordWrites(sensor(), msc), QList<int>{0x0104});

        sensor().Poke(msc, 0x0100);
        w->ReadMscCtrl();
        QVERIFY(w->optSTON->isChecked());
        sensor().Poke(msc, 0x00FF);
        w->ReadMscCtrl();
        QVERIFY(w->optSTOFF->isChecked());
    }

    void flashButtons()
    {
        const int cmd = Base(idxCOMMAND);
        w->cmdWriteFlash->click();
        QCOMPARE(ByteWrites(sensor()), (QList<QPair<int, int>>{{cmd + 1, 0x10}}));
        sensor().ClearFrames();
        w->cmdRestoreFromFlash->click();
        QCOMPARE(ByteWrites(sensor()), (QList<QPair<int, int>>{{cmd + 1, 0x20}}));
        // The restored settings are read back into the controls.
        QCOMPARE(sensor().Frames().back().mosi, tb::Rd(Base(idxCAPT_CTRL)));
        const auto held = CaptureSettings::DecodeCaptCtrl(sensor().Peek(Base(idxCAPT_CTRL)));
        QCOMPARE(w->ComboCapMode->currentIndex(), CaptureSettings::ModeIndexForRead(held, 6));
        QCOMPARE(w->ckPowerDown->isChecked(), held.powerDown);
    }

    void dataLogCheckBox()
    {
        w->ckDataLog->click();
        QCOMPARE(w->ckDataLog->text(), QStringLiteral("Datalog   ON"));
        QVERIFY(w->LbLDataLogCount->font().bold());
        w->ckDataLog->click();
        QCOMPARE(w->ckDataLog->text(), QStringLiteral("Datalog   OFF"));
        QVERIFY(!w->LbLDataLogCount->font().bold());
    }

    void statusGrid_data()
    {
        // texts: one letter per row: O ok, F fail, S set
        tb::Columns<int, QString>({"status", "texts"});
        QTest::newRow("data ready") << 0x0080 << "OOOOOOOSOOOOOOO";
        QTest::newRow("bits 0, 4 and 15") << 0x8011 << "FOOOFOOOOOOOOOO";
        QTest::newRow("all events") << 0x7F80 << "OOOOOOOSSSSSSSS";
        QTest::newRow("clear") << 0x0000 << "OOOOOOOOOOOOOOO";
    }
    void statusGrid()
    {
        QFETCH(int, status);
        QFETCH(QString, texts);
        StatusDisplay::StatusBits[15] = QStringLiteral("untouched");
        sensor().Poke(Base(idxSTATUS), uint16_t(status));
        w->CmdReadStatus->click();
        for (int i = 0; i < 15; ++i) {
            const QChar c = texts[i];
            QCOMPARE(w->LbLAbit[i]->text(), QString(c == 'O' ? "OK" : c == 'F' ? "FAIL" : "SET"));
            QCOMPARE(w->LbLAbit[i]->palette().color(QPalette::Window),
                     c == 'O' ? QColor(0, 255, 0) : c == 'F' ? QColor(255, 0, 0) : QColor(255, 255, 0));
            QCOMPARE(StatusDisplay::StatusBits[i], c == 'O' ? QStringLiteral("0") : QStringLiteral("1"));
        }
        QCOMPARE(StatusDisplay::StatusBits[15], QStringLiteral("untouched"));
    }

    void clearSendsOneCommandByteThenReads()
    {
        w->cmdClearStatus->click();
        const auto& frames = sensor().Frames();
        QVERIFY(frames.size() >= 3);
        QCOMPARE(frames[0].mosi, tb::Wr(Base(idxCOMMAND), 0x10));
        QCOMPARE(ByteWrites(sensor()).size(), 1);
        QCOMPARE(frames[1].mosi, tb::Rd(Base(idxSTATUS)));
        QCOMPARE(frames[2].mosi, tb::Rd(Base(idxSTATUS)));
    }

    // README: SB_SCREENSHOT=$PWD/docs/mainwindow.png ... tst_mainwindow screenshot
    void screenshot()
    {
        w->resize(1280, 760);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        Choose(w->ComboAVG, 4);
        w->cmdONE->click(); // a manual capture, so the picture shows data
        QVERIFY(w->LbLSupply->text() != QStringLiteral("noData"));
        const QString path = qEnvironmentVariable("SB_SCREENSHOT");
        if (!path.isEmpty())
            QVERIFY(w->grab().save(path));
    }
};

SB_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
