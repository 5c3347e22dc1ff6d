// The parallel port window and its port-access step; the card selection window.
#include "FakeBackends.h"
#include "TestSupport.h"
#include "capture/ui/frmForm1.h"
#include "device/EzUsb.h"
#include "device/LinuxPortIo.h"
#include "device/SetupGiveIO.h"
#include "device/Spi_mod.h"
#include "device/ui/frmPort.h"
#include "device/ui/frmUSBselect.h"
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

    void okSelectsThePort_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("os");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("accessStep");
        QTest::newRow("378 on an NT-class system") << "378" << "WinXP" << 888 << "378" << true;
        QTest::newRow("no access step on Win98") << "378" << "Win98" << 888 << "378" << false;
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
        QCOMPARE(int(Module1::InterfaceType), int(kInterfaceParallel));
        // The start pulse: 64 on the status register, then 0 on the data register.
        QCOMPARE(board->Port().OtherWrites(), accessStep ? std::vector<uint8_t>{64} : std::vector<uint8_t>{});
        QCOMPARE(board->Port().DataWrites(), accessStep ? std::vector<uint8_t>{0} : std::vector<uint8_t>{});
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
        QCOMPARE(int(Module1::InterfaceType), int(kInterfaceNone));
    }

    void failedAccessStepIsReported()
    {
        auto port = std::make_shared<DeniedPort>();
        SetPortIo(port);
        AcceptPortAddress(0x378);
        // The program's message, then the reason the port refused.
        QCOMPARE(sbtest::MessageTexts(), QStringList{"The required I/O drivers could not be installed.\n\ndenied"});
        // The program carries on as if the port were there.
        QCOMPARE(int(Module1::InterfaceType), int(kInterfaceParallel));
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
        add("default", "0\n");
        LinuxPortIo io(proc.path().toStdString(), proc.path().toStdString());
        QCOMPARE(io.FindPpdevPort(0x378), 0);
        QCOMPARE(io.FindPpdevPort(0x278), 1);
        QCOMPARE(io.FindPpdevPort(0x2BC), -1);
        // A ppdev port whose device node cannot be opened: refused with a reason.
        QString reason;
        QVERIFY(!io.Acquire(0x278, &reason));
        QVERIFY(reason.contains("parport1"));
    }

    // Choosing a card sets it up at once and the status grid shows that card's sensor; choosing
    // None leaves no interface and a grid that claims nothing.
    void chooseCard_data()
    {
        QTest::addColumn<int>("option");
        QTest::newRow("second card") << 1;
        QTest::newRow("none") << 4;
    }
    void chooseCard()
    {
        QFETCH(int, option);
        start(2);
        Module1::SpiDelay = 40;
        // A flash update failure, on the second card's sensor only.
        board->Sensor(1).Poke(m470Reg::Table().RegisterTable[m470Reg::Table().idxSTATUS].BaseAddr, 0x0004);
        selectFromMenu([&](frmUSBselect* s) {
            board->Card(0).ClearMessages();
            board->Card(1).ClearMessages();
            s->optUsbPort[option]->click();
            if (option == 1)
                QCOMPARE(board->Card(1).Messages(), (std::vector<std::vector<uint8_t>>{{11, 40}, {12, 120}}));
            QVERIFY(board->Card(0).Messages().empty());
            s->close(); // the title bar's close acts as "OK"
        });
        QCOMPARE(w->mnuUsb->isChecked(), option == 1);
        // Fault rows exactly; the event rows follow the sensor's own state but are known.
        for (int row = 0; row < 15; ++row) {
            const QString shown = w->LbLAbit[row]->text();
            if (option == 4)
                QCOMPARE(shown, QStringLiteral("unknown"));
            else if (row < 7)
                QCOMPARE(shown, row == 2 ? QStringLiteral("FAIL") : QStringLiteral("OK"));
            else
                QVERIFY(shown == "OK" || shown == "SET");
        }
        board->Sensor(0).ClearFrames();
        board->Sensor(1).ClearFrames();
        ReadRegister(m470Reg::Table().idxSTATUS);
        QVERIFY(board->Sensor(0).Frames().empty());
        QCOMPARE(board->Sensor(1).Frames().size(), size_t(option == 1 ? 2 : 0));
    }
};

SB_TEST_MAIN(InterfaceWindowsTest)
#include "tst_interfacewindows.moc"
