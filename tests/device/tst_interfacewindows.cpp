// The interface windows: the parallel port window, its port-access step and finding the
// ppdev port by address; the card selection window and what choosing a card sets up.
#include "FakeBackends.h"
#include "TestSupport.h"
#include "capture/frmForm1.h"
#include "device/EzUsb.h"
#include "device/LinuxPortIo.h"
#include "device/SetupGiveIO.h"
#include "device/Spi_mod.h"
#include "device/frmPort.h"
#include "device/frmUSBselect.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

namespace {
// A port whose access step always fails.
class DeniedPort : public fake::Port {
public:
    bool Acquire(uint16_t, QString* error) override
    {
        if (error)
            *error = "denied";
        return false;
    }
};
} // namespace

class InterfaceWindowsTest : public QObject {
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
    // The main window's exit stores the settings in the working directory.
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }
    void cleanupTestCase()
    {
        frmForm1::destroyInstance();
        frmUSBselect::destroyInstance();
    }
    void init()
    {
        Module1::InitialiseState();
        Module1::OsName = "WinXP";
        Module1::PortAddress = 0x278;
        board = &sim::Install(1, 31473);
        sbtest::ClearMessages();
        sbtest::SetModalAction(nullptr);
    }

    void windowTextsAndPlace()
    {
        frmForm1* main = frmForm1::instance();
        main->move(120, 90);
        frmPort* w = frmPort::instance();
        w->Form_Load();
        QCOMPARE(w->pos(), main->pos());
        QCOMPARE(w->windowTitle(), QStringLiteral("Parallel Port Setup"));
        QCOMPARE((QStringList{w->Label1->text(), w->Label2->text(), w->cmdOK->text(), w->cmdCancel->text()}),
                 (QStringList{"Select the Parallel Port Address", "Port Address (Hex)", "OK", "Cancel"}));
    }

    void okSelectsThePort_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("os");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("accessStep");
        QTest::newRow("378 on an NT-class system") << "378" << "WinXP" << 888 << "378" << true;
        QTest::newRow("lower case, WinNT") << "3bc" << "WinNT" << 0x3BC << "3BC" << true;
        QTest::newRow("no access step on Win98") << "378" << "Win98" << 888 << "378" << false;
        QTest::newRow("FFFF is -1") << "FFFF" << "Win95" << -1 << "FFFF" << false;
        QTest::newRow("last four digits") << "10378" << "Win95" << 888 << "378" << false;
    }
    void okSelectsThePort()
    {
        QFETCH(QString, typed);
        QFETCH(QString, os);
        QFETCH(QString, shown);
        QFETCH(bool, accessStep);
        Module1::OsName = os;
        sbtest::SetModalAction([&](QWidget* w) {
            auto* f = static_cast<frmPort*>(w);
            QCOMPARE(f->txtUser->text(), QStringLiteral("278"));   // shown on activation
            f->txtUser->setText(typed);
            f->cmdOK->click();
            QCOMPARE(f->txtUser->text(), shown);
            QVERIFY(f->isHidden());
        });
        QVERIFY(frmPort::SelectPort());
        QTEST(int(Module1::PortAddress), "address");
        QCOMPARE(int(Module1::InterfaceType), 1);
        QCOMPARE(Module1::GiveioInstalled, accessStep ? VTrue : VFalse);
        // The start pulse: 64 on the status register, then 0 on the data register.
        QCOMPARE(board->Port().OtherWrites(), accessStep ? std::vector<uint8_t>{64} : std::vector<uint8_t>{});
        QCOMPARE(board->Port().DataWrites(), accessStep ? std::vector<uint8_t>{0} : std::vector<uint8_t>{});
        QVERIFY(sbtest::MessageTexts().isEmpty());
    }

    void menuItemSelectsThePort()
    {
        frmForm1* main = frmForm1::instance();
        main->mnuUsb->setChecked(true);
        Module1::InterfaceType = 2;
        sbtest::SetModalAction([](QWidget* w) {
            auto* f = qobject_cast<frmPort*>(w);
            QVERIFY(f);
            f->txtUser->setText("378");
            f->cmdOK->click();
        });
        main->mnuParallelPort->trigger();
        QCOMPARE(int(Module1::InterfaceType), 1);
        QCOMPARE(int(Module1::PortAddress), 0x378);
        QVERIFY(!main->mnuUsb->isChecked());
    }

    void accessStepOncePerRun()
    {
        AcceptPortAddress(0x378);
        AcceptPortAddress(0x278);
        QCOMPARE(board->Port().OtherWrites(), std::vector<uint8_t>{64});
    }

    void emptyTextOrCancelChangesNothing_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("empty OK") << false;
        QTest::newRow("cancel") << true;
    }
    void emptyTextOrCancelChangesNothing()
    {
        QFETCH(bool, cancel);
        Module1::PortAddress = 0;
        sbtest::SetModalAction([&](QWidget* w) {
            auto* f = static_cast<frmPort*>(w);
            f->txtUser->setText(cancel ? "378" : "");
            (cancel ? f->cmdCancel : f->cmdOK)->click();
        });
        QVERIFY(!frmPort::SelectPort());
        QCOMPARE(int(Module1::PortAddress), 0);
        QCOMPARE(int(Module1::InterfaceType), 0);
        QCOMPARE(Module1::GiveioInstalled, VFalse);
    }

    void failedAccessStepIsReported()
    {
        auto port = std::make_shared<DeniedPort>();
        SetPortIo(port);
        AcceptPortAddress(0x378);
        QCOMPARE(sbtest::MessageTexts(), QStringList{"The required I/O drivers could not be installed."});
        QCOMPARE(sbtest::Messages().first().title, QStringLiteral("Error"));
        // The program carries on as if the port were there.
        QCOMPARE(Module1::GiveioInstalled, VTrue);
        QCOMPARE(int(Module1::InterfaceType), 1);
        QCOMPARE(port->writes.size(), size_t(2));
    }

    void findsPpdevPortByAddress()
    {
        QTemporaryDir proc;
        auto add = [&](const char* name, const char* content) {
            QDir(proc.path()).mkpath(name);
            QFile f(proc.path() + "/" + name + "/base-addr");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        };
        add("parport0", "888\t1912\n");
        add("parport1", "632\t1656\n");
        add("parport12", "956\n");
        add("default", "0\n");
        LinuxPortIo io(proc.path().toStdString(), proc.path().toStdString());
        QCOMPARE(io.FindPpdevPort(0x378), 0);
        QCOMPARE(io.FindPpdevPort(0x278), 1);
        QCOMPARE(io.FindPpdevPort(0x3BC), 12);
        QCOMPARE(io.FindPpdevPort(0x2BC), -1);
        // A ppdev port whose device node cannot be opened: refused with a reason.
        QString reason;
        QVERIFY(!io.Acquire(0x278, &reason));
        QVERIFY(reason.contains("parport1"));
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

SB_TEST_MAIN(InterfaceWindowsTest)
#include "tst_interfacewindows.moc"
