// The Trend tab on a monitoring database: one point per capture, a click loads that capture.
#include "../capture/CaptureTestBench.h"
#include "analysis/TrendWidget.h"
#include "capture/CaptureWorkflow.h"

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>

class tst_trend : public QObject {
    Q_OBJECT
private slots:
    void clickLoadsThatCapture()
    {
        tb::UseUsbCard(31473);
        QTemporaryDir dir;
        const QString path = dir.filePath("trend.sqlite");
        std::vector<CaptureRecord::Record> taken;
        {
            monitor::Store store;
            QString error;
            QVERIFY(store.Open(path, &error));
            const monitor::MachineClass machine = monitor::MachineClasses().front();
            for (int avg : {0, 2, 4}) {
                QVERIFY(capture::ConfigureAndCapture({0, avg}, {}, false).Complete());
                taken.push_back(CaptureRecord::Last);
                QVERIFY(store.Add(CaptureRecord::Last, true, {}, 0, monitor::Figures(CaptureRecord::Last, machine),
                                  machine.name, &error));
            }
        }
        TrendWidget trend;
        trend.resize(800, 400);
        trend.show();
        QVERIFY(QTest::qWaitForWindowExposed(&trend));
        int loads = 0;
        trend.onCaptureLoaded = [&] { ++loads; };
        QVERIFY(trend.OpenDatabase(path));
        QCOMPARE(trend.Captures().size(), size_t(3));
        QCOMPARE(trend.lblInfo->text(), QStringLiteral("3 captures (0 lost)"));

        CaptureRecord::Last = {};
        const QPoint middle = trend.PointOf(1, 0).toPoint();
        QTest::mouseClick(trend.canvas, Qt::LeftButton, {}, middle);
        QCOMPARE(loads, 1);
        QCOMPARE(CaptureRecord::Last.avgExponent, 2);
        QCOMPARE(CaptureRecord::Last.raw, taken[1].raw);
        QCOMPARE(CaptureRecord::Last.value, taken[1].value);
        QCOMPARE(CaptureRecord::Last.sampleRate, taken[1].sampleRate);

        // Velocity points sit inside the plot, higher value higher up.
        trend.comboFigure->setCurrentIndex(1); // AC RMS
        const auto& f = trend.Captures()[0].figures;
        QCOMPARE(trend.PointOf(0, 0).y() < trend.PointOf(0, 2).y(), f[0].stats.acRms > f[2].stats.acRms);
    }

    // In the main window the Trend tab's capture goes to the time plot.
    void mainWindowTabShowsLoadedCapture()
    {
        frmForm1* w = tb::OpenMainWindow();
        auto* tabs = w->findChild<QTabWidget*>(QStringLiteral("tabPlots"));
        auto* trend = w->findChild<TrendWidget*>(QStringLiteral("trend"));
        QVERIFY(tabs && trend);
        QCOMPARE(tabs->tabText(tabs->indexOf(trend)), QStringLiteral("Trend"));
        QTemporaryDir dir;
        const QString path = dir.filePath("w.sqlite");
        {
            monitor::Store store;
            QString error;
            QVERIFY(store.Open(path, &error));
            QVERIFY(capture::ConfigureAndCapture({3, 1}, {}, false).Complete());
            QVERIFY(store.Add(CaptureRecord::Last, true, {}, 0, {}, "group2-rigid", &error));
        }
        CaptureRecord::Last = {};
        tabs->setCurrentWidget(trend);
        QVERIFY(trend->OpenDatabase(path));
        QVERIFY(trend->LoadCapture(trend->Captures().front().id));
        QCOMPARE(tabs->currentWidget(), static_cast<QWidget*>(w->FrameDataPLot));
        QCOMPARE(w->FrameDataPLot->lblPlotX[3]->text(), QStringLiteral("3071")); // the extended layout
        frmForm1::destroyInstance();
    }
};

SB_TEST_MAIN(tst_trend)
#include "tst_trend.moc"
