// "Interface" -> "Parallel Port...": the main window switches from the USB card to the bit-banged port.
#include "CaptureTestBench.h"
#include "device/ui/frmPort.h"
#include <QTemporaryDir>

class TestPortMenu : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }
    void cleanupTestCase() { frmForm1::destroyInstance(); }

    void portChosenReadsGoThroughThePortAndAreSaved()
    {
        frmForm1* w = tb::OpenMainWindow(2);
        sim::Board* board = sim::CurrentBoard();
        QVERIFY(w->mnuUsb->isChecked());
        sbtest::SetModalAction([](QWidget* shown) {
            auto* f = qobject_cast<frmPort*>(shown);
            QVERIFY(f);
            f->txtUser->setText(QStringLiteral("378"));
            f->cmdOK->click();
        });
        w->mnuParallelPort->trigger();
        sbtest::SetModalAction({});
        QCOMPARE(int(Module1::InterfaceType), 1);
        QCOMPARE(int(Module1::PortAddress), 0x378);
        QVERIFY(!w->mnuUsb->isChecked());
        QVERIFY(sbtest::MessageTexts().isEmpty());

        const int16_t idx = m470Reg::Table().idxX_NULL;
        board->Sensor(0).Poke(m470Reg::Table().RegisterTable[size_t(idx)].BaseAddr, 0x0123);
        board->Card(0).ClearMessages();
        board->Port().ClearDataWrites();
        ReadRegister(idx);
        QCOMPARE(Spi_mod::RegRaw & 0x3FFF, 0x0123);
        QVERIFY(board->Card(0).Messages().empty());
        // The frames were clocked out bit by bit on the data register.
        QVERIFY(board->Port().DataWrites().size() >= 16 * 4);
        QCOMPARE(board->Port().BrokenFrames(), 0);

        w->MnuExit_Click();
        QFile f(QStringLiteral("CommPort.cfg"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        QVERIFY2(saved.startsWith("Interface =  1 \r\nPort Address =  888 \r\n"), saved.constData());
    }
};

SB_TEST_MAIN(TestPortMenu)
#include "tst_portmenu.moc"
