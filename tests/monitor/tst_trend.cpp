// The Trend tab on a monitoring database: one point per capture, a click loads that capture.
#include "../capture/CaptureTestBench.h"
#include "analysis/ui/TrendWidget.h"
#include "capture/CaptureWorkflow.h"
#include "../../bench/TrendDatabase.h"

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cmath>

class tst_trend : public QObject {
    Q_OBJECT
private slots:
    // A capture loads as it was taken, whatever the program is set to when it loads.
    void clickLoadsThatCapture_data()
    {
        QTest::addColumn<int>("product");
        QTest::newRow("31470 loaded while set to 31473") << 31470;
        QTest::newRow("31473 loaded while set to 31470") << 31473;
    }
    void clickLoadsThatCapture()
    {
        QFETCH(int, product);
        tb::UseUsbCard(product);
        QTemporaryDir dir;
        const QString path = dir.filePath("trend.sqlite");
        std::vector<CaptureRecord::Record> taken;
        {
            monitor::Store store;
            QString error;
            QVERIFY(store.Open(path, &error));
            const monitor::MachineClass machine = monitor::MachineClasses().front();
            for (int avg : {0, 2, 4}) {
                QVERIFY(capture::ConfigureAndCapture(ProgramSession(), {0, avg}, {}).Complete());
                taken.push_back(CaptureRecord::Last);
                QVERIFY(store.Add(CaptureRecord::Last, true, {}, 0, monitor::Figures(CaptureRecord::Last, machine),
                                  machine.name, &error));
            }
        }
        const int other = product == 31470 ? 31473 : 31470;
        Module1::ProductNumber = static_cast<int16_t>(other);
        other == 31470 ? BuildTable31470() : BuildTable31473();
        TrendWidget trend;
        trend.resize(800, 400);
        trend.show();
        QVERIFY(QTest::qWaitForWindowExposed(&trend));
        int loads = 0;
        QString source;
        trend.onCaptureLoaded = [&](const QString& s) {
            ++loads;
            source = s;
        };
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
        QCOMPARE(CaptureRecord::Last.product, product);
        QCOMPARE(CaptureRecord::Last.peakX, taken[1].peakX);
        QCOMPARE(CaptureRecord::Last.supply, taken[1].supply);
        QCOMPARE(source, QStringLiteral("capture 2 of trend.sqlite (%1, Manual)").arg(product));

        // With only the newest waveform kept, the newest loads and the earlier ones say why not.
        {
            monitor::Store store;
            QString error;
            QVERIFY(store.Open(path, &error));
            QVERIFY(store.KeepWaveforms(1, &error));
        }
        QVERIFY(trend.LoadCapture(trend.Captures()[2].id));
        QCOMPARE(CaptureRecord::Last.raw, taken[2].raw);
        QVERIFY(!trend.LoadCapture(trend.Captures()[0].id));
        QCOMPARE(trend.lblInfo->text(), QStringLiteral("Capture %1 has no waveform kept").arg(trend.Captures()[0].id));

        // Velocity points sit inside the plot, higher value higher up.
        trend.comboFigure->setCurrentIndex(1); // AC RMS
        const auto& f = trend.Captures()[0].figures;
        QCOMPARE(trend.PointOf(0, 0).y() < trend.PointOf(0, 2).y(), f[0].stats.acRms > f[2].stats.acRms);
    }

    // A night of monitoring: every capture in time order on a date/time axis, a legend per channel,
    // the lost ones marked apart, the nearest capture found under the pointer.
    void hundredThousandCaptures()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("night.sqlite");
        QString error;
        QVERIFY2(MakeTrendDatabase(path, 100000, &error), qPrintable(error));
        TrendWidget trend;
        trend.resize(900, 400);
        QVERIFY2(trend.OpenDatabase(path, &error), qPrintable(error));
        QCOMPARE(trend.Captures().size(), size_t(100000));
        QCOMPARE(trend.lblInfo->text(), QStringLiteral("100000 captures (1000 lost)"));
        QCustomPlot* plot = trend.canvas;
        QCOMPARE(plot->graphCount(), 4);
        QCOMPARE(plot->graph(0)->name(), QStringLiteral("X acc"));
        QCOMPARE(plot->graph(2)->name(), QStringLiteral("Z acc"));
        QCOMPARE(plot->graph(3)->name(), QStringLiteral("Lost capture"));
        QCOMPARE(plot->graph(3)->dataCount(), 1000);
        QCOMPARE(plot->graph(0)->dataCount(), 100000);
        QVERIFY(std::isnan(plot->graph(0)->data()->at(99)->value)); // capture 100 was lost: a gap
        QVERIFY(qSharedPointerDynamicCast<QCPAxisTickerDateTime>(plot->xAxis->ticker()));
        // The whole run on the axis, first capture to last.
        QVERIFY(plot->xAxis->range().contains(trend.Captures().front().timeUtc.toSecsSinceEpoch()));
        QVERIFY(plot->xAxis->range().contains(trend.Captures().back().timeUtc.toSecsSinceEpoch()));
        // The zone bands of the chosen class stand behind the velocity trend.
        int bands = 0;
        for (int i = 0; i < plot->itemCount(); ++i)
            bands += qobject_cast<QCPItemRect*>(plot->item(i)) != nullptr;
        QCOMPARE(bands, 4);
        trend.comboFigure->setCurrentIndex(1);
        for (int i = 0; i < plot->itemCount(); ++i)
            QVERIFY(!qobject_cast<QCPItemRect*>(plot->item(i)));
        // Under the pointer: the capture nearest in time, to a pixel.
        const QPointF p = trend.PointOf(54321, 0);
        const qint64 id = *trend.CaptureAt(p.toPoint());
        const double perPixel = plot->xAxis->range().size() / plot->axisRect()->width();
        QVERIFY(std::abs(trend.Captures()[size_t(id - 1)].timeUtc.toSecsSinceEpoch()
                         - trend.Captures()[54321].timeUtc.toSecsSinceEpoch()) <= perPixel);
    }

    // A run over several cards: one card's trend at a time, each with its own captures.
    void cardChoiceShowsOneCardsCaptures_data()
    {
        QTest::addColumn<QList<int>>("cardSlots");   // card slot of each capture in turn; -1 none recorded
        QTest::addColumn<QStringList>("cards");
        QTest::addColumn<QList<int>>("counts");  // captures per card as listed
        QTest::newRow("two cards") << QList<int>{1, 0, 1, 0, 0} << QStringList{"Card 0 (Ezusb-0)", "Card 1 (Ezusb-1)"}
                                   << QList<int>{3, 2};
        QTest::newRow("one card") << QList<int>{2, 2} << QStringList{"Card 2 (Ezusb-2)"} << QList<int>{2};
        QTest::newRow("earlier run, no card") << QList<int>{-1} << QStringList{"No card recorded"} << QList<int>{1};
    }
    void cardChoiceShowsOneCardsCaptures()
    {
        QFETCH(QList<int>, cardSlots);
        QFETCH(QStringList, cards);
        QFETCH(QList<int>, counts);
        QTemporaryDir dir;
        const QString path = dir.filePath("cards.sqlite");
        {
            monitor::Store store;
            QString error;
            QVERIFY(store.Open(path, &error));
            CaptureRecord::Record r;
            r.complete = true;
            r.product = 31473;
            for (qsizetype i = 0; i < cardSlots.size(); ++i) {
                r.time = QDateTime(QDate(2026, 12, 6), QTime(8, 0, int(i)));
                const monitor::CaptureOrigin origin{cardSlots[i], cardSlots[i] < 0 ? QString() : QStringLiteral("Ezusb-%1").arg(cardSlots[i])};
                QVERIFY2(store.Add(r, true, {}, 0, {}, "group2-rigid", origin, std::nullopt, &error), qPrintable(error));
            }
        }
        TrendWidget trend;
        QVERIFY(trend.OpenDatabase(path));
        QStringList listed;
        for (int i = 0; i < trend.comboCard->count(); ++i)
            listed << trend.comboCard->itemText(i);
        QCOMPARE(listed, cards);
        QCOMPARE(trend.comboCard->isEnabled(), cards.size() > 1);
        for (int i = 0; i < cards.size(); ++i) {
            trend.comboCard->setCurrentIndex(i);
            trend.ChooseCard(i);
            QCOMPARE(int(trend.Captures().size()), counts[i]);
            const int slot = cards[i].startsWith("Card ") ? cards[i].mid(5, 1).toInt() : -1;
            for (const auto& c : trend.Captures())
                QCOMPARE(c.cardSlot, slot);
            QCOMPARE(trend.lblInfo->text(), QStringLiteral("%1 captures (0 lost)").arg(counts[i]));
        }
    }

    // A database from before captures kept their scale asks which sensor took them; the answer
    // scales the samples, gives the sample rate and works the figures out again.
    void earlierDatabaseAsksForTheProduct()
    {
        tb::UseUsbCard(31470);
        QTemporaryDir dir;
        const QString path = dir.filePath("v2.sqlite");
        CaptureRecord::Record taken;
        {
            monitor::Store store;
            QString error;
            QVERIFY(store.Open(path, &error));
            QVERIFY(capture::ConfigureAndCapture(ProgramSession(), {0, 5}, {}).Complete());
            taken = CaptureRecord::Last;
            QVERIFY(store.Add(taken, true, {}, 0, {}, "group2-rigid", &error));
            QVERIFY(store.Add(CaptureRecord::Record{}, false, "lost", 0, {}, "group2-rigid", &error));
        }
        {
            // Back to how an earlier version left it: no scale, the product it guessed.
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "v2");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("ALTER TABLE captures DROP COLUMN g_per_count"));
            QVERIFY(q.exec("UPDATE captures SET product = 31473, sample_rate = 1"));
            QVERIFY(q.exec("UPDATE captures SET supply = 0, temperature = 0 WHERE complete = 0"));
            QVERIFY(q.exec("PRAGMA user_version=2"));
            db.close();
        }
        QSqlDatabase::removeDatabase("v2");
        BuildTable31473();
        TrendWidget trend;
        int asked = 0;
        trend.askProduct = [&](int count) -> std::optional<int> {
            asked = count;
            return std::nullopt;
        };
        QString error;
        QVERIFY(!trend.OpenDatabase(path, &error));
        QCOMPARE(asked, 2);
        trend.askProduct = [](int) -> std::optional<int> { return 31470; };
        QVERIFY2(trend.OpenDatabase(path, &error), qPrintable(error));
        const auto& c = trend.Captures();
        QCOMPARE(c.size(), size_t(2));
        QCOMPARE(c[0].product, 31470);
        QCOMPARE(c[0].sampleRate, taken.sampleRate);
        QCOMPARE(c[0].gPerCount, double(RegisterMapFor(31470).GPerCount()));
        QCOMPARE(c[0].figures.size(), size_t(3));
        QCOMPARE(c[0].figures[1].name, QStringLiteral("ADC 0"));
        QVERIFY(std::isnan(c[1].gPerCount) == false);
        // What the lost capture never read is unknown, not the 0 the earlier version stored.
        QVERIFY(std::isnan(c[1].supply) && std::isnan(c[1].temperature) && std::isnan(c[1].sampleRate));
        QVERIFY(trend.LoadCapture(c[0].id));
        QCOMPARE(CaptureRecord::Last.value, taken.value);
        // Asked once: the database now keeps the answer.
        trend.askProduct = [&](int) -> std::optional<int> { return std::nullopt; };
        QVERIFY(trend.OpenDatabase(path, &error));
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
            QVERIFY(capture::ConfigureAndCapture(ProgramSession(), {3, 1}, {}).Complete());
            QVERIFY(store.Add(CaptureRecord::Last, true, {}, 0, {}, "group2-rigid", &error));
        }
        CaptureRecord::Last = {};
        tabs->setCurrentWidget(trend);
        QVERIFY(trend->OpenDatabase(path));
        QVERIFY(trend->LoadCapture(trend->Captures().front().id));
        QCOMPARE(tabs->currentWidget(), static_cast<QWidget*>(w->FrameDataPLot));
        QCOMPARE(w->FrameDataPLot->lblPlotX[3]->text(), QStringLiteral("3071")); // the extended layout
        QVERIFY2(w->StatusBarText().contains("Showing capture 1 of w.sqlite (31473, Extended Time X) (read-only)"),
                 qPrintable(w->StatusBarText()));
        frmForm1::destroyInstance();
    }
};

SB_TEST_MAIN(tst_trend)
#include "tst_trend.moc"
