// "Interface" -> "Parallel Port...": the main window switches to the bit-banged port.
#include "CaptureTestBench.h"
#include "device/frmPort.h"
#include "device/frmUSBselect.h"
#include <QTemporaryDir>

class TestPortMenu : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    sim::Board* board = nullptr;
    frmForm1* w = nullptr;

    // The main window with card 0 in use through the USB menu.
    void startOnUsb()
    {
        frmUSBselect::destroyInstance();
        w = tb::OpenMainWindow(0, 1, [] {
            EzUsb::SelectedUsbCard = {};
            EzUsb::SelectedUsbCardIndex = -1;
        });
        board = sim::CurrentBoard();
        sbtest::SetModalAction([](QWidget* shown) {
            if (auto* s = qobject_cast<frmUSBselect*>(shown))
                s->cmdExit->click();
        });
        w->mnuUsb->trigger();
        QCOMPARE(int(Module1::InterfaceType), 2);
        QVERIFY(w->mnuUsb->isChecked());
        sbtest::ClearMessages();
    }

    // Runs "Parallel Port..." and answers the port window.
    void choosePort(const QString& typed, bool ok)
    {
        sbtest::SetModalAction([&](QWidget* shown) {
            auto* f = qobject_cast<frmPort*>(shown);
            QVERIFY(f);
            f->txtUser->setText(typed);
            (ok ? f->cmdOK : f->cmdCancel)->click();
        });
        w->mnuParallelPort->trigger();
        sbtest::SetModalAction({});
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }
    void cleanupTestCase()
    {
        frmForm1::destroyInstance();
        frmUSBselect::destroyInstance();
    }

    void portChosenReadsGoThroughThePortAndAreSaved()
    {
        startOnUsb();
        choosePort(QStringLiteral("378"), true);
        QCOMPARE(int(Module1::InterfaceType), 1);
        QCOMPARE(int(Module1::PortAddress), 0x378);
        QVERIFY(!w->mnuUsb->isChecked());
        QVERIFY(sbtest::MessageTexts().isEmpty());

        const int16_t idx = m470Reg::idxX_NULL;
        const int addr = m470Reg::RegisterTable[size_t(idx)].BaseAddr;
        board->Sensor(0).Poke(addr, 0x0123);
        board->Card(0).ClearMessages();
        board->Sensor(0).ClearFrames();
        board->Port().ClearDataWrites();
        ReadRegister(idx);
        QCOMPARE(Spi_mod::RegRaw & 0x3FFF, 0x0123);
        QVERIFY(board->Card(0).Messages().empty());
        QVERIFY(!board->Sensor(0).Frames().empty());
        // The frames were clocked out bit by bit on the data register.
        QVERIFY(board->Port().DataWrites().size() >= 16 * 4);
        QCOMPARE(board->Port().BrokenFrames(), 0);

        w->MnuExit_Click();
        QFile f(QStringLiteral("CommPort.cfg"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        QVERIFY2(saved.startsWith("Interface =  1 \r\nPort Address =  888 \r\n"), saved.constData());
    }

    void cancelWithoutAddressKeepsTheUsbCard()
    {
        startOnUsb();
        Module1::PortAddress = 0;
        choosePort(QStringLiteral("378"), false);
        QCOMPARE(int(Module1::InterfaceType), 2);
        QCOMPARE(int(Module1::PortAddress), 0);
        QVERIFY(w->mnuUsb->isChecked());
    }
};

SB_TEST_MAIN(TestPortMenu)
#include "tst_portmenu.moc"
