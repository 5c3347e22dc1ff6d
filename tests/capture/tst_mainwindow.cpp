// The main window's start-up, product switch and settings controls, at the wire of the virtual board.
#include "CaptureTestBench.h"
#include "device/PortIo.h"
#include "ui/Ui.h"
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

using namespace m470Reg;

namespace {
int Base(int16_t index) { return m470Reg::Table().RegisterTable[index].BaseAddr; }

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
        if (index == m470Reg::Table().idxCAPT_CTRL)
            w->ReadCapCtrl();
        sensor().ClearFrames();
    }

private slots:
    // Enter never confirms a question that cannot be undone; a short text keeps its title whole.
    void messageBoxDefaultsAndWidth_data()
    {
        tb::Columns<int, QString, int>({"buttons", "title", "defaultButton"});
        QTest::newRow("yes/no defaults to No") << int(MsgButtons::YesNo) << "Exit" << int(QMessageBox::No);
        QTest::newRow("a long title on an OK box") << int(MsgButtons::Ok) << "Error Writing SPI to the sensor board"
                                                   << int(QMessageBox::Ok);
    }
    void messageBoxDefaultsAndWidth()
    {
        QFETCH(int, buttons);
        QFETCH(QString, title);
        QFETCH(int, defaultButton);
        MessageRequest req;
        req.text = QStringLiteral("x");
        req.title = title;
        req.buttons = static_cast<MsgButtons>(buttons);
        const auto box = ui::BuildMessageBox(req);
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        if (buttons == int(MsgButtons::YesNo))
            QCOMPARE(box->standardButton(box->defaultButton()), QMessageBox::StandardButton(defaultButton));
        QVERIFY(box->width() > QFontMetrics(box->font()).horizontalAdvance(title));
        box->hide();
    }

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
        QVERIFY(sbtest::MessageTexts().isEmpty());
        QVERIFY(w->mnuUsb->isChecked());
        QVERIFY(w->mnu31473->isChecked());
        QCOMPARE(w->lblProduct->text(), QStringLiteral("31473"));

        // Static bits first, then the delay, on the card the search selected.
        const auto& msgs = board().Card(0).Messages();
        const auto bitsAt = std::find(msgs.begin(), msgs.end(), std::vector<uint8_t>{12, 120});
        const auto delayAt = std::find(msgs.begin(), msgs.end(), std::vector<uint8_t>{11, 30});
        QVERIFY(delayAt != msgs.end());
        QVERIFY(bitsAt < delayAt);

        // Loading reads the settings back and writes nothing.
        QVERIFY(ByteWrites(sensor()).isEmpty());
    }

    void noInterfaceAsksForOneAndStillOpens()
    {
        w = tb::OpenMainWindow(0);
        QCOMPARE(sbtest::MessageTexts(), QStringList{QStringLiteral("Please select an interface before taking data")});
        QCOMPARE(int(Module1::InterfaceType), 0);
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger")); // reads give 0: manual mode
        QVERIFY(board().Card(0).Messages().empty());
        // Nothing answers, so the grid cannot claim the sensor is fine.
        w->CmdReadStatus->click();
        for (QLabel* row : w->LbLAbit)
            QCOMPARE(row->text(), QStringLiteral("unknown"));
    }

    // Leaving with a settings file that cannot be written says which file and why.
    void exitWithUnwritableSettingsSaysWhy()
    {
        QTemporaryDir here;
        QVERIFY(QDir::setCurrent(here.path()));
        QVERIFY(QDir(here.path()).mkdir(kSettingsFileName)); // a directory in its place
        w->MnuExit->trigger();
        QVERIFY(QDir::setCurrent(dir.path()));
        const QStringList texts = sbtest::MessageTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].startsWith(QStringLiteral("The settings could not be written:\n") + here.path()
                                     + QLatin1Char('/') + kSettingsFileName + QStringLiteral("\n\n")),
                 qPrintable(texts[0]));
        QVERIFY(!texts[0].endsWith(QStringLiteral("\n\n")));
    }

    void parallelPortStartUp()
    {
        w = tb::OpenMainWindow(1);
        QVERIFY(sbtest::MessageTexts().isEmpty());
        QCOMPARE(Module1::GiveioInstalled, VTrue);
        QCOMPARE(board().Port().OtherWrites(), std::vector<uint8_t>{64});
        // The load's reads went over the bit-banged port, none over the card.
        QVERIFY(ReadFrames(sensor(), m470Reg::Table().idxCAPT_CTRL) > 0);
        QVERIFY(board().Card(0).Messages().empty());
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
        QCOMPARE(sbtest::MessageTexts(), QStringList{QStringLiteral("The required I/O drivers could not be installed.\n\nPermission denied")});
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
        QCOMPARE(w->ckBPfilter->isHidden(), single);
        QCOMPARE(w->ComboCapMode->count(), single ? 3 : 6);
        QTEST(w->FrameDataPLot->ckADC0->text(), "adc0");
        QTEST(w->FrameDataPLot->ckADC1->text(), "adc1");
        QTEST(int(m470Reg::Table().idxCOMMAND), "commandIndex");
        // The switch only reads the device back.
        QVERIFY(ByteWrites(sensor()).isEmpty());
    }

    void captureControlWrites_data()
    {
        // mode: list index chosen, -1: tick power-down instead
        tb::Columns<int, int, int>({"before", "mode", "written"});
        QTest::newRow("Extended Time Y, 256, power-down, filter") << 0x00A1 << 4 << 0x1AD;
        QTest::newRow("Extended Time Z") << 0x0000 << 5 << 0x020C;
        QTest::newRow("back to Manual clears the axis") << 0x020C << 0 << 0x0000;
        QTest::newRow("power-down ticked") << 0x0004 << -1 << 0x0005;
    }
    void captureControlWrites()
    {
        QFETCH(int, before);
        QFETCH(int, mode);
        QFETCH(int, written);
        deviceHolds(m470Reg::Table().idxCAPT_CTRL, before);
        if (mode >= 0)
            Choose(w->ComboCapMode, mode);
        else
            w->ckPowerDown->click();
        QCOMPARE(WordWrites(sensor(), Base(m470Reg::Table().idxCAPT_CTRL)), QList<int>{written});
        // Written once, then read back into the controls.
        QCOMPARE(ByteWrites(sensor()).size(), 2);
        QCOMPARE(sensor().Peek(Base(m470Reg::Table().idxCAPT_CTRL)), written);
        QCOMPARE(w->ckPowerDown->isChecked(), (written & 1) != 0);
    }

    // A typed period over 255 is corrected in the box and written at the next key; no number or 0 becomes 1.
    void periodBox()
    {
        const int prd = Base(m470Reg::Table().idxCAPT_PRD);
        w->txtTimerValue->setText(QStringLiteral("300"));
        QTest::keyRelease(w->txtTimerValue, Qt::Key_0);
        QCOMPARE(w->txtTimerValue->text(), QStringLiteral("255"));
        QVERIFY(ByteWrites(sensor()).isEmpty());
        QTest::keyRelease(w->txtTimerValue, Qt::Key_End);
        QCOMPARE(WordWrites(sensor(), prd), QList<int>{0x00FF});
        QCOMPARE(w->txtTimerValue->text(), QStringLiteral("255"));
        sensor().ClearFrames();
        w->txtTimerValue->setText(QStringLiteral("x"));
        QTest::keyRelease(w->txtTimerValue, Qt::Key_0);
        QCOMPARE(w->txtTimerValue->text(), QStringLiteral("1"));
    }

    // Each key release writes and reads back the interval, and the user's caret and selection
    // survive it: typing goes on where the user is.
    void periodBoxKeepsTheCaret_data()
    {
        tb::Columns<QString, QList<int>, QString, int>({"start", "keys", "typed", "written"});
        const int ctrlA = int(Qt::ControlModifier) | Qt::Key_A;
        QTest::newRow("select all, then type") << "0" << QList<int>{ctrlA, Qt::Key_1} << "1" << 1;
        QTest::newRow("Home, then Delete") << "25" << QList<int>{Qt::Key_Home, Qt::Key_Delete} << "5" << 5;
        const int shiftLeft = int(Qt::ShiftModifier) | Qt::Key_Left;
        QTest::newRow("a partial selection replaced") << "125" << QList<int>{shiftLeft, shiftLeft, Qt::Key_9} << "19" << 19;
        QTest::newRow("caret mid-text") << "15" << QList<int>{Qt::Key_Left, Qt::Key_2} << "125" << 125;
    }
    void periodBoxKeepsTheCaret()
    {
        QFETCH(QString, start);
        QFETCH(QList<int>, keys);
        deviceHolds(m470Reg::Table().idxCAPT_PRD, uint16_t(start.toInt()));
        w->ReadCapPrd();
        QCOMPARE(w->txtTimerValue->text(), start);
        w->txtTimerValue->setCursorPosition(int(start.size()));
        sensor().ClearFrames();
        for (int key : keys)
            QTest::keyClick(w->txtTimerValue, Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QTEST(w->txtTimerValue->text(), "typed");
        QTEST(WordWrites(sensor(), Base(m470Reg::Table().idxCAPT_PRD)).last(), "written");
    }

    void flashButtons()
    {
        const int cmd = Base(m470Reg::Table().idxCOMMAND);
        w->cmdWriteFlash->click();
        QCOMPARE(ByteWrites(sensor()), (QList<QPair<int, int>>{{cmd + 1, 0x10}}));
        sensor().ClearFrames();
        w->cmdRestoreFromFlash->click();
        QCOMPARE(ByteWrites(sensor()), (QList<QPair<int, int>>{{cmd + 1, 0x20}}));
        // The restored settings are read back into the controls.
        QCOMPARE(sensor().Frames().back().mosi, tb::Rd(Base(m470Reg::Table().idxCAPT_CTRL)));
    }

    void clearSendsOneCommandByteThenReads()
    {
        w->cmdClearStatus->click();
        const auto& frames = sensor().Frames();
        QVERIFY(frames.size() >= 2);
        QCOMPARE(frames[0].mosi, tb::Wr(Base(m470Reg::Table().idxCOMMAND), 0x10));
        QCOMPARE(ByteWrites(sensor()).size(), 1);
        QCOMPARE(frames[1].mosi, tb::Rd(Base(m470Reg::Table().idxSTATUS)));
    }
};

SB_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
