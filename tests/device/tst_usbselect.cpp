#include "TestSupport.h"
#include "capture/frmForm1.h"
#include "device/EzUsb.h"
#include "device/frmUSBselect.h"
#include "registers/m470Reg.h"
#include "device/Spi_mod.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

class TestUsbSelect : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    sim::Board* board = nullptr;
    frmForm1* w = nullptr;

    // The main window opened with no interface, then a board with `cards` virtual cards.
    void start(int cards)
    {
        frmForm1::destroyInstance();
        frmUSBselect::destroyInstance();
        board = &sim::Install(cards);
        Module1::InitialiseState();
        EzUsb::SelectedUsbCard = {};
        EzUsb::SelectedUsbCardIndex = -1;
        w = frmForm1::instance();
        sbtest::ClearMessages();
        sbtest::ModalsShown().clear();
    }

    // Opens the selection from the menu; `inside` runs while it is shown.
    void selectFromMenu(const std::function<void(frmUSBselect*)>& inside)
    {
        sbtest::SetModalAction([&](QWidget* shown) {
            auto* s = qobject_cast<frmUSBselect*>(shown);
            QVERIFY(s);
            inside(s);
        });
        w->mnuUsb->trigger();
        sbtest::SetModalAction({});
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }
    void cleanupTestCase()
    {
        frmForm1::destroyInstance();
        frmUSBselect::destroyInstance();
    }

    void noCards()
    {
        start(0);
        selectFromMenu([](frmUSBselect* s) {
            QCOMPARE(s->windowTitle(), QStringLiteral("USB SPI Card Selection"));
            for (int i = 0; i < 4; ++i) {
                QVERIFY(!s->optUsbPort[i]->isEnabled());
                QVERIFY(s->txtDescript0[i]->text().isEmpty());
            }
            QVERIFY(s->optUsbPort[4]->isChecked());
            s->cmdExit->click();
        });
        QCOMPARE(sbtest::MessageTexts(),
                 QStringList{QStringLiteral("No USB Buffers Found, Please Verify Setup and Restart")});
        QCOMPARE(int(Module1::InterfaceType), 0);
        QVERIFY(!w->mnuUsb->isChecked());
    }

    void oneCardIsSelectedAndDescribed()
    {
        start(1);
        board->Card(0).SetFirmwareVersion(3, 1);
        selectFromMenu([](frmUSBselect* s) {
            QVERIFY(s->optUsbPort[0]->isEnabled());
            QVERIFY(s->optUsbPort[0]->isChecked());
            QVERIFY(!s->optUsbPort[1]->isEnabled());
            QCOMPARE(s->txtDescript0[0]->text(), EzUsb::UsbCards[0].Manufacturer);
            QVERIFY(s->txtDescript0[0]->text().contains(QStringLiteral("Virtual")));
            QCOMPARE(s->txtDriverRev[0]->text(), QStringLiteral("3.1"));
            QCOMPARE(s->txtSpeed[0]->text(), QStringLiteral("2"));
            s->cmdExit->click();
        });
        QVERIFY(sbtest::MessageTexts().isEmpty());
        QCOMPARE(int(Module1::InterfaceType), 2);
        QVERIFY(w->mnuUsb->isChecked());
    }

    void choosingTheSecondCardSetsItUpAtOnce()
    {
        start(2);
        Module1::SpiDelay = 40;
        selectFromMenu([this](frmUSBselect* s) {
            QVERIFY(s->optUsbPort[0]->isChecked());
            QVERIFY(s->optUsbPort[1]->isEnabled());
            board->Card(0).ClearMessages();
            board->Card(1).ClearMessages();
            s->optUsbPort[1]->click();
            const std::vector<std::vector<uint8_t>> setUp{{11, 40}, {12, 120}};
            QCOMPARE(board->Card(1).Messages(), setUp);
            QVERIFY(board->Card(0).Messages().empty());
            s->close(); // the title bar's close acts as "OK"
            QVERIFY(!s->isVisible());
        });
        QCOMPARE(int(Module1::InterfaceType), 2);
        QCOMPARE(EzUsb::SelectedUsbCard.Name, QStringLiteral("Ezusb-1"));
        // Register access now reaches the second card's sensor.
        board->Sensor(0).ClearFrames();
        board->Sensor(1).ClearFrames();
        ReadRegister(m470Reg::idxSTATUS);
        QVERIFY(board->Sensor(0).Frames().empty());
        QCOMPARE(board->Sensor(1).Frames().size(), size_t(2));

        // Showing the window again searches again and goes back to the first card.
        selectFromMenu([](frmUSBselect* s) {
            QVERIFY(s->optUsbPort[0]->isChecked());
            s->cmdExit->click();
        });
        QCOMPARE(EzUsb::SelectedUsbCard.Name, QStringLiteral("Ezusb-0"));
    }

    void choosingNoneClearsTheInterface()
    {
        start(1);
        Module1::SpiLoopStop = VFalse;
        selectFromMenu([](frmUSBselect* s) {
            s->optUsbPort[4]->click();
            s->cmdExit->click();
        });
        QCOMPARE(int(Module1::InterfaceType), 0);
        QCOMPARE(Module1::SpiLoopStop, VTrue);
        QVERIFY(!w->mnuUsb->isChecked());
        board->Sensor(0).ClearFrames();
        ReadRegister(m470Reg::idxSTATUS);
        QVERIFY(board->Sensor(0).Frames().empty());
    }
};

SB_TEST_MAIN(TestUsbSelect)
#include "tst_usbselect.moc"
