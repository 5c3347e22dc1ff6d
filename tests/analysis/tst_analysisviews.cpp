// The spectrum view, the statistics panel, exports, the views in the main window, and captures
// on the virtual board.
#include "../capture/CaptureTestBench.h"
#include "analysis/ui/AmplitudeSpectrumWidget.h"
#include "analysis/ui/AnalysisPanelWidget.h"
#include "analysis/ui/GuiAnalysis.h"
#include "capture/ui/DataPlotWidget.h"

#include <QClipboard>
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
        WriteRegister(m470Reg::Table().idxAVG_CNT, avg);
        WriteRegister(m470Reg::Table().idxCOMMAND, 0x10);
        WriteRegister(m470Reg::Table().idxCOMMAND, 0x800);
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

        // Window choice reaches the transform.
        w.cboWindow->setCurrentIndex(1);
        QCOMPARE(w.Spectra()[0].spectrum.window, analysis::Window::FlatTop);
    }

    void cursorAndMarkersRead()
    {
        ThreeTones();
        SpectrumWidget w;
        w.resize(800, 400);
        w.SetRecord(view);
        w.cboScale->setCurrentIndex(1);
        w.CursorAt(501.0); // snaps to the 500 Hz bin
        QVERIFY2(w.lblCursor->text().startsWith("Cursor: 500.0 Hz  X acc 0.0 dB, Y acc"), qPrintable(w.lblCursor->text()));

        w.SetMarker(0, 250.0);
        w.SetMarker(1, 1001.0);
        QCOMPARE(*w.Marker(1), 1000.0);
        // Frequency and amplitude of each marker (the first channel's, in the scale shown), and
        // their differences.
        QCOMPARE(w.lblMarkers->text(), QString("A 250.0 Hz, -154.2 dB  B 1000.0 Hz, -144.5 dB  "
                                               "\u0394 750.0 Hz (192 bins, period 0.001333 s), \u0394 9.7 dB"));
        w.SetMarker(1, 500.0);
        QVERIFY2(w.lblMarkers->text().startsWith("A 250.0 Hz, -154.2 dB  B 500.0 Hz, 0.0 dB"), qPrintable(w.lblMarkers->text()));
        w.cboScale->setCurrentIndex(0);
        QVERIFY2(w.lblMarkers->text().contains("B 500.0 Hz, 1 g") && w.lblMarkers->text().endsWith("\u0394 1 g"),
                 qPrintable(w.lblMarkers->text()));

        // Mouse: a click on the canvas places A at the frequency under the pointer.
        const int x = int(w.canvas->PixelOf(1500.0));
        QTest::mouseClick(w.canvas, Qt::LeftButton, {}, QPoint(x, 50));
        QVERIFY(std::abs(*w.Marker(0) - 1500.0) < 10);
        w.cmdClearMarkers->click();
        QVERIFY(!w.Marker(0) && !w.Marker(1));
    }

    void spectrumZoomsAndMarkersSnapToPeaks()
    {
        ThreeTones();
        SpectrumWidget w;
        w.resize(800, 400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.SetRecord(view);
        SpectrumCanvas* c = w.canvas;
        // Three notches in about 1000 Hz: the span shrinks and 1000 Hz stays under the mouse.
        const double px = c->PixelOf(1000.0);
        QWheelEvent wheel(QPointF(px, 100), c->mapToGlobal(QPointF(px, 100)), QPoint(), QPoint(0, 360), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(c, &wheel);
        QVERIFY(std::abs(w.ViewHigh() - w.ViewLow() - 2000 * 0.512) < 1);
        QVERIFY(std::abs(c->FrequencyAt(px) - 1000.0) < 1);
        // A drag pans and sets no marker.
        const double low = w.ViewLow();
        QTest::mousePress(c, Qt::LeftButton, {}, QPoint(int(px), 50));
        QTest::mouseMove(c, QPoint(int(px) - 60, 50));
        QTest::mouseRelease(c, Qt::LeftButton, {}, QPoint(int(px) - 60, 50));
        QVERIFY(w.ViewLow() > low);
        QVERIFY(!w.Marker(0));
        // A click a few pixels beside the 500 Hz peak puts A on it; with Shift, exactly there.
        const int near = int(c->PixelOf(500.0)) + 4;
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(near, 50));
        QCOMPARE(*w.Marker(0), 500.0);
        QTest::mouseClick(c, Qt::RightButton, Qt::ShiftModifier, QPoint(near, 50));
        QVERIFY(*w.Marker(1) > 500.0);
        QTest::keyClick(c, Qt::Key_Home);
        QCOMPARE(w.ViewLow(), 0.0);
        QCOMPARE(w.ViewHigh(), 2000.0);
    }

    // A peak label never covers another: wanted where others stand, it goes below them.
    void peakLabelsNeverOverlap_data()
    {
        tb::Columns<QList<QRectF>, double>({"placed", "top"});
        QTest::newRow("free") << QList<QRectF>{QRectF(0, 40, 50, 12)} << 0.0;
        QTest::newRow("on one") << QList<QRectF>{QRectF(20, 4, 50, 12)} << 16.0;
        QTest::newRow("on two stacked, listed bottom first")
            << QList<QRectF>{QRectF(20, 12, 50, 12), QRectF(20, 0, 50, 12)} << 24.0;
        QTest::newRow("a gap too small") << QList<QRectF>{QRectF(0, 0, 50, 12), QRectF(0, 20, 50, 12)} << 32.0;
        QTest::newRow("touching edges only") << QList<QRectF>{QRectF(60, 0, 50, 12)} << 0.0;
    }
    void peakLabelsNeverOverlap()
    {
        QFETCH(QList<QRectF>, placed);
        const std::vector<QRectF> taken(placed.begin(), placed.end());
        const QRectF r = SpectrumCanvas::FreeLabelPlace(QRectF(10, 0, 50, 12), taken);
        QTEST(r.top(), "top");
        QCOMPARE(r.left(), 10.0);
        for (const QRectF& o : taken)
            QVERIFY(!o.intersects(r));
    }

    void statisticsTableAndCounts()
    {
        view.product = 31470;
        view.avgExponent = 4; // 5500 Hz: the record holds the velocity band
        FillSines(5500, {687.5, 1375, 343.75}, {2.0, 1.0, 0.5});
        for (int i = 0; i < 1024; ++i)
            CaptureRecord::BufRaw1[static_cast<size_t>(i)] = CaptureRecord::BufValue1[static_cast<size_t>(i)] * 100;
        SpectrumWidget spectrum;
        auto panel = MakePanel(&spectrum);
        panel->Refresh();
        QTableWidget* t = panel->tblStats;
        QCOMPARE(t->rowCount(), 3);
        QCOMPARE(t->item(0, 2)->text(), QString("1.414"));
        QCOMPARE(t->item(0, 6)->text(), QString("687.5"));
        QCOMPARE(t->item(1, 7)->text(), QString("-")); // no velocity for an ADC input
        QVERIFY(t->item(1, 7)->toolTip().isEmpty());
        const QString velocity = t->item(0, 7)->text();
        // The figure undoes the loss of averaging 16 samples at 88 kHz, which these plain sines never had.
        const double x = std::numbers::pi * 687.5 / 88000;
        const double averagingGain = std::sin(16 * x) / (16 * std::sin(x));
        const double mmPerS = 2.0 * 9.80665 / (2 * std::numbers::pi * 687.5) / std::sqrt(2.0) * 1000.0 / averagingGain;
        QVERIFY2(std::abs(velocity.toDouble() - mmPerS) < 0.01 * mmPerS, qPrintable(velocity));
        // Averaging 16 lets vibration above 2750 Hz fold in: the cell says so.
        QVERIFY2(t->item(0, 7)->toolTip().contains("2750 Hz"), qPrintable(t->item(0, 7)->toolTip()));

        panel->ckCounts->setChecked(true); // refreshes by itself
        QCOMPARE(t->item(0, 7)->text(), velocity); // still in mm/s
        QCOMPARE(t->item(1, 7)->text(), QString("-"));
        QCOMPARE(t->horizontalHeaderItem(2)->text(), QString("AC RMS (counts)"));
        QCOMPARE(t->item(0, 2)->text(), QString("141.4"));
        QVERIFY(spectrum.Record().raw);
    }

    // A record too short for the band's 10 Hz edge: "-", and the reason where the pointer rests.
    void velocityCellSaysWhyItIsEmpty()
    {
        view.product = 31470; // averaging 1: 88000 Hz, 11.6 ms
        FillSines(88000, {1375, 2750, 687.5}, {2.0, 1.0, 0.5});
        SpectrumWidget spectrum;
        auto panel = MakePanel(&spectrum);
        panel->Refresh();
        const QTableWidgetItem* cell = panel->tblStats->item(0, 7);
        QCOMPARE(cell->text(), QString("-"));
        QVERIFY2(cell->toolTip().startsWith("Needs averaging 16 or 32:"), qPrintable(cell->toolTip()));
    }

    // Every number of the views in the system's format, as the rest of the window writes them.
    void numbersInTheSystemLocale_data()
    {
        tb::Columns<QString, QString, QString, QString>({"locale", "rms", "hz", "resolution"});
        QTest::newRow("English") << "en_US" << "1.414" << "1375.0" << "fs 88000 Hz, N 1024, \u0394f 85.94 Hz";
        QTest::newRow("German") << "de_DE" << "1,414" << "1375,0" << "fs 88000 Hz, N 1024, \u0394f 85,94 Hz";
    }
    void numbersInTheSystemLocale()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        view.product = 31470;
        FillSines(88000, {1375, 2750, 687.5}, {2.0, 1.0, 0.5});
        SpectrumWidget spectrum;
        auto panel = MakePanel(&spectrum);
        panel->Refresh();
        const QString rms = panel->tblStats->item(0, 2)->text();
        const QString hz = panel->tblStats->item(0, 6)->text();
        const QString resolution = spectrum.lblResolution->text();
        QLocale::setDefault(QLocale::c());
        QTEST(rms, "rms");
        QTEST(hz, "hz");
        QTEST(resolution, "resolution");
    }

    void exportsOpen()
    {
        ThreeTones();
        SpectrumWidget spectrum;
        spectrum.resize(700, 380);
        auto panel = MakePanel(&spectrum);
        panel->Refresh();
        QTemporaryDir dir;

        // Through the menu actions, with the file name supplied instead of a dialog.
        QString next = dir.filePath("menu.svg");
        panel->askSavePath = [&](const QString&, const QString&) { return next; };
        panel->currentPlot = [&]() -> QWidget* { return &spectrum; };
        panel->actExportSvg->trigger();
        QVERIFY(QSvgRenderer(next).isValid());
        next = dir.filePath("no/such/dir/x.png");
        panel->actExportPng->trigger();
        QCOMPARE(sbtest::MessageTexts(), QStringList{"Could not write " + next + ": No such file or directory"});
        next.clear(); // cancelled: nothing written, nothing said
        sbtest::ClearMessages();
        panel->actExportCsv->trigger();
        QVERIFY(sbtest::Messages().isEmpty());

        panel->actCopyPlot->trigger();
        QCOMPARE(QApplication::clipboard()->image().size(), spectrum.canvas->size().expandedTo(QSize(320, 200)));
    }

    // The time plot exported alone, drawn as vectors; a name typed without extension gets one.
    void timePlotExportsAreDrawnNotGrabbed()
    {
        ThreeTones();
        CaptureRecord::Last = {};
        CaptureRecord::Last.complete = true;
        CaptureRecord::Last.product = 31473;
        CaptureRecord::Last.time = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
        DataPlotWidget plot;
        plot.SetStartValues();
        plot.resize(900, 500);
        plot.picture1->resize(700, 400);
        plot.PlotCaptureData();
        SpectrumWidget spectrum;
        auto panel = MakePanel(&spectrum);
        panel->currentPlot = [&]() -> QWidget* { return &plot; };
        QTemporaryDir out;
        QString typed = out.filePath("timeplot");
        panel->askSavePath = [&](const QString&, const QString&) { return typed; };
        panel->actExportSvg->trigger();
        QFile svg(out.filePath("timeplot.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray text = svg.readAll();
        QVERIFY(!text.contains("<image")); // no pictures of widgets inside
        QVERIFY(text.contains("<polyline") || text.contains("<path"));
        // Axis titles with units, the legend, and what the capture is.
        for (const char* want : {"Sample", "Acceleration (g)", "X acc", "31473, Manual"})
            QVERIFY2(text.contains(want), want);
        panel->actExportPng->trigger();
        const QImage png(out.filePath("timeplot.png"));
        QCOMPARE(png.size(), QSize(700, 400));
        QCOMPARE(png.pixelColor(2, 2), QColor(Qt::white));
        panel->actExportPdf->trigger();
        QFile pdf(out.filePath("timeplot.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF"));
        // A chosen size.
        QVERIFY(AnalysisPanelWidget::ExportPng(&plot, out.filePath("big.png"), nullptr, QSize(1600, 900)));
        QCOMPARE(QImage(out.filePath("big.png")).size(), QSize(1600, 900));
    }

    // The views in the main window: a tab beside the time plot, a menu, a refresh after every read-out.
    void mainWindowTabMenuAndRefresh()
    {
        frmForm1* w = tb::OpenMainWindow();
        auto* tabs = w->findChild<QTabWidget*>(QStringLiteral("tabPlots"));
        QVERIFY(tabs);
        QCOMPARE(tabs->tabText(1), QStringLiteral("Spectrum"));

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

        // Averaging changed after the read-out: the capture keeps the rate it was taken at.
        w->ComboAVG->setCurrentIndex(5);
        w->ComboAVG_Click();
        GuiAnalysis::Refresh(w);
        QCOMPARE(GuiAnalysis::Spectrum(w)->SampleRate(), 16000.0);
        QVERIFY(std::abs(panel->Stats()[0].dominantHz - expected[0]) <= 16000.0 / 1024);
    }

};

SB_TEST_MAIN(tst_analysisviews)
#include "tst_analysisviews.moc"
