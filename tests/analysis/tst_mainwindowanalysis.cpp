// The analysis views inside the main window: tabs beside the time plot, the Analysis menu, and a
// refresh after every read-out.
#include "TestSupport.h"
#include "analysis/AnalysisPanelWidget.h"
#include "analysis/GuiAnalysis.h"
#include "analysis/AmplitudeSpectrumWidget.h"
#include "capture/DataPlotWidget.h"
#include "capture/frmForm1.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"
#include "sim/SensorModel.h"
#include "sim/SignalModel.h"

#include <QComboBox>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace m470Reg;

class tst_mainwindowanalysis : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    sim::ManualClock clock;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }
    void cleanupTestCase() { frmForm1::destroyInstance(); }

    void spectrumTabMenuAndRefreshAfterReadOut()
    {
        frmForm1::destroyInstance();
        sim::Board& board = sim::Install(1);
        Module1::InitialiseState();
        Module1::InterfaceType = 2;
        frmForm1* w = frmForm1::instance();
        board.SetClock(clock.AsClock());

        auto* tabs = w->findChild<QTabWidget*>(QStringLiteral("tabPlots"));
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Time"));
        QCOMPARE(tabs->widget(0), static_cast<QWidget*>(w->FrameDataPLot));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Spectrum"));
        QStringList menus;
        for (QAction* a : w->menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus.indexOf("&Analysis") + 1, menus.indexOf("E&xit"));

        sim::SignalModel& signal = board.Sensor().Signal();
        signal = sim::SignalModel::Default(31473);
        signal.axis[0].impacts = {};
        w->ComboAVG->setCurrentIndex(2);
        w->ComboAVG_Click(); // writes AVG_CNT = 2
        WriteRegister(idxCOMMAND, 0x10);
        WriteRegister(idxCOMMAND, 0x800);
        clock.Advance(sim::CaptureSeconds(31473, 2, false) + 0.01);
        w->ReadCaptureBuffer();

        AnalysisPanelWidget* panel = GuiAnalysis::Panel(w);
        QCOMPARE(panel->tblStats->rowCount(), 3);
        const double expected[3] = {1210, 790, 2450};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(panel->Stats()[static_cast<size_t>(i)].dominantHz - expected[i]) <= 16000.0 / 1024,
                     qPrintable(panel->tblStats->item(i, 6)->text()));
        QCOMPARE(GuiAnalysis::Spectrum(w)->SampleRate(), 16000.0);
        // The time plot drew as before.
        QVERIFY(w->FrameDataPLot->picture1->StrokeCount() > 0);
    }
};

SB_TEST_MAIN(tst_mainwindowanalysis)
#include "tst_mainwindowanalysis.moc"
