// The port window, the port-access step and finding the ppdev port by address.
#include "FakeBackends.h"
#include "TestSupport.h"
#include "capture/frmForm1.h"
#include "device/LinuxPortIo.h"
#include "device/SetupGiveIO.h"
#include "device/frmPort.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

class PortTest : public QObject {
    Q_OBJECT
    sim::Board* board = nullptr;

private slots:
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
};

SB_TEST_MAIN(PortTest)
#include "tst_port.moc"
