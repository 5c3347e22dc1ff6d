// The spectrum view, the statistics panel, exports, the views in the main window, and captures
// on the virtual board.
#include "../capture/CaptureTestBench.h"
#include "analysis/AmplitudeSpectrumWidget.h"
#include "analysis/AnalysisPanelWidget.h"
#include "analysis/GuiAnalysis.h"
#include "analysis/SampleRate.h"
#include "capture/BufferReadout.h"

#include <QClipboard>
#include <QMenuBar>
#include <QSvgRenderer>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cmath>
#include <numbers>

using namespace m470Reg;

namespace {
void FillSines(double fs, const std::array<double, 3>& hz, const std::array<double, 3>& g)
{
    std::array<std::array<double, 1025>*, 3> bufs = {&CaptureRecord::BufValue1, &CaptureRecord::BufValue2,
                                                     &CaptureRecord::BufValue3};
    for (size_t c = 0; c < 3; ++c)
        for (int i = 0; i < 1024; ++i)
            (*bufs[c])[static_cast<size_t>(i)] = g[c] * std::sin(2 * std::numbers::pi * hz[c] * i / fs);
}
} // namespace

class tst_analysisviews : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    analysis::RecordView view;
    sim::ManualClock clock;

    std::unique_ptr<AnalysisPanelWidget> MakePanel(SpectrumWidget* spectrum)
    {
        auto panel = std::make_unique<AnalysisPanelWidget>();
        panel->recordView = [this] { return view; };
        panel->SetSpectrum(spectrum);
        return panel;
    }

    // 500, 1000 and 250 Hz at 1, 0.5 and 0.25 g, sampled at 4 kHz.
    void ThreeTones()
    {
        view.avgExponent = 4;
        FillSines(4000, {500, 1000, 250}, {1.0, 0.5, 0.25});
    }

    // The default machine signal without impacts on the sensor, and a manual capture of it
    // taken (not yet read out).
    sim::SignalModel& CaptureOnBoard(sim::Board& board, int avg)
    {
        board.SetClock(clock.AsClock());
        sim::SignalModel& signal = board.Sensor().Signal();
        signal = sim::SignalModel::Default(Module1::ProductNumber);
        signal.axis[0].impacts = {};
        WriteRegister(idxAVG_CNT, avg);
        WriteRegister(idxCOMMAND, 0x10);
        WriteRegister(idxCOMMAND, 0x800);
        clock.Advance(sim::CaptureSeconds(Module1::ProductNumber, avg, false) + 0.01);
        return signal;
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }
    void cleanupTestCase() { frmForm1::destroyInstance(); }
    void init()
    {
        view = {};
        sbtest::ClearMessages();
    }

    void spectrumShowsTickedChannelsAndResolution()
    {
        ThreeTones();
        SpectrumWidget w;
        w.resize(800, 400);
        w.SetRecord(view);
        QCOMPARE(int(w.Spectra().size()), 3);
        QCOMPARE(w.lblResolution->text(), QString("fs 4000 Hz, N 1024, \u0394f 3.906 Hz"));
        QVERIFY(w.lblPeak->text().startsWith("Peak: X acc 500.0 Hz, 1 g; Y acc 1000.0 Hz, 0.5 g; Z acc 250.0 Hz"));

        w.ckChannel[1]->setChecked(false);
        QCOMPARE(int(w.Spectra().size()), 2);
        QCOMPARE(w.Spectra()[1].channel.name, QString("Z acc"));

        // Window choice reaches the transform; the peak stays put.
        w.cboWindow->setCurrentIndex(1);
        QCOMPARE(w.CurrentWindow(), analysis::Window::FlatTop);
        QCOMPARE(w.Spectra()[0].spectrum.window, analysis::Window::FlatTop);
        QVERIFY(std::abs(w.Spectra()[0].spectrum.PeakFrequency() - 500) < 1);
    }

    void extendedRecordIsOneChannel()
    {
        view.extended = true;
        view.extendedAxis = 2;
        SpectrumWidget w;
        w.SetRecord(view);
        QCOMPARE(int(w.Spectra().size()), 1);
        QCOMPARE(w.Spectra()[0].spectrum.length, 3072);
        QVERIFY(!w.ckChannel[0]->isEnabled() && !w.ckChannel[1]->isEnabled() && w.ckChannel[2]->isEnabled());
        QVERIFY(w.lblResolution->text().contains("N 3072"));
    }

    void cursorAndMarkersRead_data()
    {
        tb::Columns<bool, QString>({"log", "cursor"});
        QTest::newRow("linear") << false << "Cursor: 500.0 Hz  X acc 1 g, Y acc";
        QTest::newRow("log") << true << "Cursor: 500.0 Hz  X acc 0.0 dB, Y acc";
    }
    void cursorAndMarkersRead()
    {
        QFETCH(bool, log);
        QFETCH(QString, cursor);
        ThreeTones();
        SpectrumWidget w;
        w.resize(800, 400);
        w.SetRecord(view);
        w.cboScale->setCurrentIndex(log ? 1 : 0);
        w.CursorAt(501.0); // snaps to the 500 Hz bin
        QVERIFY2(w.lblCursor->text().startsWith(cursor), qPrintable(w.lblCursor->text()));

        w.SetMarker(0, 250.0);
        w.SetMarker(1, 1001.0);
        QCOMPARE(*w.Marker(1), 1000.0);
        QCOMPARE(w.lblMarkers->text(), QString("A 250.0 Hz  B 1000.0 Hz  \u0394 750.0 Hz (192 bins, period 0.001333 s)"));

        // Mouse: a click on the canvas places A at the frequency under the pointer.
        const int x = int(w.canvas->PixelOf(1500.0, w.canvas->width()));
        QTest::mouseClick(w.canvas, Qt::LeftButton, {}, QPoint(x, 50));
        QVERIFY(std::abs(*w.Marker(0) - 1500.0) < 10);
        w.cmdClearMarkers->click();
        QVERIFY(!w.Marker(0) && !w.Marker(1));
    }

    void statisticsTableAndCounts()
    {
        view.product = 31470;
        FillSines(88000, {1375, 2750, 687.5}, {2.0, 1.0, 0.5});
        for (int i = 0; i < 1024; ++i)
            CaptureRecord::BufRaw1[static_cast<size_t>(i)] = CaptureRecord::BufValue1[static_cast<size_t>(i)] * 100;
        SpectrumWidget spectrum;
        auto panel = MakePanel(&spectrum);
        panel->Refresh();
        QTableWidget* t = panel->tblStats;
        QCOMPARE(t->rowCount(), 3);
        QCOMPARE(t->horizontalHeaderItem(2)->text(), QString("AC RMS (g)"));
        QCOMPARE(t->item(0, 0)->text(), QString("X acc"));
        QCOMPARE(t->item(0, 2)->text(), QString("1.414"));
        QCOMPARE(t->item(0, 6)->text(), QString("1375.0"));
        QCOMPARE(t->item(1, 0)->text(), QString("ADC 0"));
        QCOMPARE(t->item(1, 7)->text(), QString("-")); // no velocity for an ADC input
        QVERIFY(t->item(0, 7)->text() != "-");
        QCOMPARE(spectrum.Spectra().size(), size_t(3));

        panel->ckCounts->setChecked(true); // refreshes by itself
        QCOMPARE(t->horizontalHeaderItem(2)->text(), QString("AC RMS (counts)"));
        QCOMPARE(t->item(0, 2)->text(), QString("141.4"));
        QCOMPARE(t->item(0, 7)->text(), QString("-"));
        QVERIFY(spectrum.Record().raw);
    }

    void timeMarkersOnThePlot()
    {
        view.avgExponent = 6; // 1000 Hz
        DataPlotWidget plot;
        plot.resize(900, 400);
        plot.show();
        auto panel = MakePanel(nullptr);
        panel->AttachTimePlot(plot.picture1);
        plot.picture1->SetScale(0, 7, 1023, -7);
        QCOMPARE(panel->lblTimeMarkers->text(), QString("Time markers (left/right click on the plot): A -  B -"));
        const auto px = [&](double sample) {
            return PlotModel::UserToPixel(plot.picture1->Scale(), sample, 0, plot.picture1->width(),
                                          plot.picture1->height()).toPoint();
        };
        QTest::mouseClick(plot.picture1, Qt::LeftButton, {}, px(100));
        QTest::mouseClick(plot.picture1, Qt::RightButton, {}, px(350));
        QVERIFY(std::abs(*panel->TimeMarker(0) - 100) <= 1);
        QVERIFY(std::abs(*panel->TimeMarker(1) - 350) <= 1);
        panel->SetTimeMarker(0, 100);
        panel->SetTimeMarker(1, 350);
        QVERIFY(panel->lblTimeMarkers->text().endsWith("\u0394 250 samples, 0.25 s, 4 Hz"));
        // The plot's own cursor read-out still follows the mouse.
        QTest::mouseMove(plot.picture1, px(512));
        QVERIFY(std::abs(plot.lblCursorX->text().toInt() - 512) <= 1);
    }

    void exportsOpen()
    {
        ThreeTones();
        SpectrumWidget spectrum;
        spectrum.resize(700, 380);
        auto panel = MakePanel(&spectrum);
        panel->Refresh();
        DataPlotWidget plot;
        plot.resize(700, 380);
        QTemporaryDir dir;

        for (QWidget* w : {static_cast<QWidget*>(&spectrum), static_cast<QWidget*>(&plot)}) {
            const QString png = dir.filePath("plot.png");
            const QString svg = dir.filePath("plot.svg");
            QVERIFY(AnalysisPanelWidget::ExportPng(w, png));
            QVERIFY(AnalysisPanelWidget::ExportSvg(w, svg));
            QCOMPARE(QImage(png).width(), w->grab().width());
            QVERIFY(QSvgRenderer(svg).isValid());
        }

        // Through the menu actions, with the file name supplied instead of a dialog.
        QString next = dir.filePath("menu.svg");
        panel->askSavePath = [&](const QString&, const QString&) { return next; };
        panel->currentPlot = [&]() -> QWidget* { return &spectrum; };
        panel->actExportSvg->trigger();
        QVERIFY(QSvgRenderer(next).isValid());
        next = dir.filePath("menu.csv");
        panel->actExportCsv->trigger();
        QFile csv(next);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count('\n'), 1025);
        next = dir.filePath("no/such/dir/x.png");
        panel->actExportPng->trigger();
        QCOMPARE(sbtest::MessageTexts(), QStringList{"Could not write " + next});
        next.clear(); // cancelled: nothing written, nothing said
        sbtest::ClearMessages();
        panel->actExportCsv->trigger();
        QVERIFY(sbtest::Messages().isEmpty());

        panel->actCopyPlot->trigger();
        QCOMPARE(QApplication::clipboard()->image().size(), spectrum.grab().size());
    }

    // A capture on the virtual board: each axis's dominant frequency is the tone the sensor feels.
    void virtualBoardDominantFrequency_data()
    {
        tb::Columns<int, int>({"product", "avg"});
        QTest::newRow("31473 avg 4") << 31473 << 2;
        QTest::newRow("31470 avg 8") << 31470 << 3;
    }
    void virtualBoardDominantFrequency()
    {
        QFETCH(int, product);
        QFETCH(int, avg);
        sim::SignalModel& signal = CaptureOnBoard(tb::UseUsbCard(product), avg);
        BufferReadout::ReadCaptureRecord();
        view.product = product;
        view.avgExponent = avg;
        const double fs = analysis::SampleRate(product, avg);
        const auto peaks = analysis::DominantPeaks(view);
        QCOMPARE(int(peaks.size()), 3);
        for (size_t axis = 0; axis < 3; ++axis) {
            // The strongest configured tone of the axis.
            double want = 0, strongest = 0;
            for (const sim::Tone& t : signal.axis[axis].tones)
                if (t.amplitude > strongest) {
                    strongest = t.amplitude;
                    want = t.freqHz;
                }
            QVERIFY2(std::abs(peaks[axis].hz - want) <= fs / 1024,
                     qPrintable(QString("axis %1: %2 Hz, want %3").arg(axis).arg(peaks[axis].hz).arg(want)));
        }
    }

    // The views in the main window: a tab beside the time plot, a menu, a refresh after every read-out.
    void mainWindowTabMenuAndRefresh()
    {
        frmForm1* w = tb::OpenMainWindow();
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

        w->ComboAVG->setCurrentIndex(2);
        w->ComboAVG_Click(); // writes AVG_CNT = 2
        CaptureOnBoard(*sim::CurrentBoard(), 2);
        w->ReadCaptureBuffer();
        AnalysisPanelWidget* panel = GuiAnalysis::Panel(w);
        QCOMPARE(panel->tblStats->rowCount(), 3);
        const double expected[3] = {1210, 790, 2450};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(panel->Stats()[static_cast<size_t>(i)].dominantHz - expected[i]) <= 16000.0 / 1024,
                     qPrintable(panel->tblStats->item(i, 6)->text()));
        QCOMPARE(GuiAnalysis::Spectrum(w)->SampleRate(), 16000.0);
        QVERIFY(w->FrameDataPLot->picture1->StrokeCount() > 0); // the time plot drew as before
    }

    // With SB_DOCS_SCREENSHOTS set, saves docs/analysis-spectrum.png there.
    void screenshot()
    {
        CaptureOnBoard(tb::UseUsbCard(31473), 2);
        BufferReadout::ReadCaptureRecord();
        view.avgExponent = 2;
        SpectrumWidget w;
        w.resize(960, 520);
        w.SetRecord(view);
        w.SetMarker(0, 790);
        w.SetMarker(1, 2370);
        w.show();
        QTest::mouseMove(w.canvas, QPoint(int(w.canvas->PixelOf(1210, w.canvas->width())), 120));
        QVERIFY(w.lblCursor->text().startsWith("Cursor: 1203.1 Hz") || w.lblCursor->text().startsWith("Cursor: 1218.8 Hz"));
        const QString docs = qEnvironmentVariable("SB_DOCS_SCREENSHOTS");
        if (!docs.isEmpty())
            QVERIFY(w.grab().save(docs + QStringLiteral("/analysis-spectrum.png")));
    }
};

SB_TEST_MAIN(tst_analysisviews)
#include "tst_analysisviews.moc"
