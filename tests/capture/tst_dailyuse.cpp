// The windows as an all-day user meets them: sizes, whole numbers in their boxes, read-only
// fields, keys, the system's number format, remembered settings.
#include "CaptureTestBench.h"
#include "analysis/ui/AmplitudeSpectrumWidget.h"
#include "analysis/ui/GuiAnalysis.h"
#include "config/ui/fmCalibration.h"
#include "datalog/DataFile.h"
#include "ui/Settings.h"
#include "config/ui/frmAlarms.h"
#include "config/ui/frmCommand.h"
#include "config/ui/frmDIOGPIO.h"
#include "config/ui/frmMisc.h"
#include "device/ui/frmUSBdebug.h"
#include <QApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QHeaderView>
#include <QTableWidget>
#include "analysis/ui/AnalysisPanelWidget.h"
#include <QStatusBar>
#include <QTimer>
#include <QStyle>
#include <QTemporaryDir>

namespace {
// Whether `box` shows its whole text: the text fits inside the frame and inner margins.
bool ShowsWhole(const QLineEdit* box)
{
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    const QMargins m = box->textMargins();
    const int room = box->width() - 2 * frame - m.left() - m.right() - 4; // 4: the box's own padding
    return box->fontMetrics().horizontalAdvance(box->text()) <= room;
}

// The box's column centre lies under the heading.
bool Under(const QWidget* heading, const QWidget* box)
{
    const QPoint c = box->mapTo(box->window(), box->rect().center());
    const QRect h(heading->mapTo(heading->window(), QPoint()), heading->size());
    return c.x() >= h.left() && c.x() <= h.right();
}
// Whether the user sees all of `c`: no parent, scroll area or window cuts any of it off.
bool WhollyShown(const QWidget* c)
{
    const QRect r(c->mapTo(c->window(), QPoint()), c->size());
    for (const QWidget* p = c->parentWidget(); p; p = p->parentWidget())
        if (!QRect(p->mapTo(p->window(), QPoint()), p->size()).contains(r))
            return false;
    return true;
}

QString Text(const QWidget* c)
{
    if (auto* b = qobject_cast<const QAbstractButton*>(c))
        return b->text();
    if (auto* l = qobject_cast<const QLabel*>(c))
        return l->text();
    return {};
}
} // namespace

class TestDailyUse : public QObject {
    Q_OBJECT
    QTemporaryDir dir, store;
    frmForm1* w = nullptr;

    sim::VirtualSensor& sensor() { return sim::CurrentBoard()->Sensor(0); }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(dir.path()));
        QLocale::setDefault(QLocale::c());
    }
    void init() { w = tb::OpenMainWindow(); }
    void cleanupTestCase() { frmForm1::destroyInstance(); }

    // A first capture lost part way leaves nothing on the plot and nothing under the cursor: no
    // flat made-up traces. A later lost one leaves the last whole capture shown.
    void lostCaptureShowsNoMadeUpData()
    {
        CaptureRecord::Last = {};
        sim::CurrentBoard()->Card(0).FaultAfter(2500, sim::VirtualCard::Fault::Unplug);
        w->ReadCaptureBuffer();
        QVERIFY(sbtest::MessageTexts().join("").contains("lost"));
        PlotSurface* plot = w->FrameDataPLot->picture1;
        QCOMPARE(plot->StrokeCount(), 0);
        plot->onMouseMove(500, 1.0);
        QCOMPARE(w->FrameDataPLot->lblCursorY->text(), QString());
        QCOMPARE(w->FrameDataPLot->lblCursorX->text(), QString());

        w = tb::OpenMainWindow();
        w->ReadCaptureBuffer();
        QVERIFY(CaptureRecord::Last.Holds());
        const CaptureRecord::Record shown = CaptureRecord::Last;
        const int strokes = w->FrameDataPLot->picture1->StrokeCount();
        QVERIFY(strokes > 0);
        sim::CurrentBoard()->Card(0).FaultAfter(2500, sim::VirtualCard::Fault::Unplug);
        w->ReadCaptureBuffer();
        QCOMPARE(CaptureRecord::Last.raw, shown.raw);
        QCOMPARE(w->FrameDataPLot->picture1->StrokeCount(), strokes);
        w->FrameDataPLot->picture1->onMouseMove(500, 1.0);
        QVERIFY(w->FrameDataPLot->lblCursorY->text().contains("X acc"));
    }

    void alarmsOpensAtLeastAtItsMinimum()
    {
        frmAlarms* a = nullptr;
        QSize size, min;
        sbtest::SetModalAction([&](QWidget* m) {
            a = qobject_cast<frmAlarms*>(m);
            QVERIFY(QTest::qWaitForWindowExposed(m));
            size = m->size();
            min = m->minimumSizeHint();
        });
        w->show();
        w->mnuAlarms_Click();
        sbtest::SetModalAction({});
        QVERIFY(a);
        QVERIFY2(size.width() >= min.width() && size.height() >= min.height(),
                 qPrintable(QStringLiteral("%1x%2 < %3x%4").arg(size.width()).arg(size.height()).arg(min.width()).arg(min.height())));
        // Alarm 4's source and polarity groups have room for their options.
        QVERIFY(a->OptionSupply->height() >= a->OptionSupply->minimumSizeHint().height());
        a->hide();
    }

    void valueBoxesShowTheirWholeText_data()
    {
        tb::Columns<int, QString>({"which", "text"});
        QTest::newRow("calibration null, negative") << 0 << "-0.0477";
        QTest::newRow("calibration null, widest") << 0 << "-99.9999";
        QTest::newRow("count-down") << 1 << "Capture Busy  3.5";
        QTest::newRow("count-down, long capture") << 1 << "Capture Busy  999.9";
    }
    void valueBoxesShowTheirWholeText()
    {
        QFETCH(int, which);
        QFETCH(QString, text);
        QLineEdit* box = nullptr;
        if (which == 0) {
            fmCalibration* c = fmCalibration::instance();
            c->show();
            QVERIFY(QTest::qWaitForWindowExposed(c));
            box = c->txtXnull;
        } else {
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w));
            w->txtCapBusy->show();
            box = w->txtCapBusy;
        }
        box->setText(text);
        QVERIFY2(ShowsWhole(box), qPrintable(QString::number(box->width())));
        box->window()->hide();
    }

    void usbSetupHeadingsOverTheirColumns()
    {
        frmUSBdebug* d = frmUSBdebug::instance();
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        QVERIFY(Under(d->Label1, d->txtWriteSpi[1]));
        QVERIFY(Under(d->lblRead, d->txtReadSpi[1]));
        QVERIFY(!Under(d->lblRead, d->txtWriteSpi[1]) && !Under(d->lblRead, d->txtWriteSpi[9]));
        // Received words are shown, not typed: they look so and Tab passes them by.
        QVERIFY(d->txtReadSpi[1]->isReadOnly());
        QVERIFY(!(d->txtReadSpi[1]->focusPolicy() & Qt::TabFocus));
        QCOMPARE(d->txtReadSpi[1]->palette().color(QPalette::Base), d->palette().color(QPalette::Window));
        QVERIFY(!(w->txtCapBusy->focusPolicy() & Qt::TabFocus));
        d->hide();
    }

    void escapeClosesTheSideWindows_data()
    {
        tb::Columns<int>({"which"});
        QTest::newRow("COMMAND") << 0;
        QTest::newRow("DIO_CTRL / GPIO_CTRL") << 1;
        QTest::newRow("MSC_CTRL") << 2;
    }
    void escapeClosesTheSideWindows()
    {
        QFETCH(int, which);
        const std::array<void (frmForm1::*)(), 3> open{&frmForm1::mnuCommand_Click, &frmForm1::mnuDIOGPIO_Click,
                                                        &frmForm1::mnumsc_Click};
        (w->*open[static_cast<size_t>(which)])();
        QWidget* side = nullptr;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (t != w && t->isVisible() && t->isWindow() && t->windowType() == Qt::Window)
                side = t;
        QVERIFY(side);
        QVERIFY(QTest::qWaitForWindowExposed(side));
        QTest::keyClick(side, Qt::Key_Escape);
        QVERIFY(!side->isVisible());
    }

    // The modal windows close on Escape too; the data-log window's Escape stays its Cancel.
    void escapeClosesTheModalWindows_data()
    {
        tb::Columns<int>({"which"});
        QTest::newRow("Alarms") << 0;
        QTest::newRow("Calibration") << 1;
        QTest::newRow("Registers") << 2;
        QTest::newRow("USB SPI Card Selection") << 3;
        QTest::newRow("Data log") << 4;
    }
    void escapeClosesTheModalWindows()
    {
        QFETCH(int, which);
        const std::array<void (frmForm1::*)(), 5> open{&frmForm1::mnuAlarms_Click, &frmForm1::MnuCal_Click,
                                                        &frmForm1::mnuRegisters_Click, &frmForm1::mnuUsb_Click,
                                                        &frmForm1::mnuDatalog_Click};
        bool closed = false;
        sbtest::SetModalAction([&](QWidget* m) {
            QVERIFY(QTest::qWaitForWindowExposed(m));
            QTest::keyClick(m, Qt::Key_Escape);
            closed = !m->isVisible();
        });
        (w->*open[static_cast<size_t>(which)])();
        sbtest::SetModalAction({});
        QVERIFY(closed);
    }

    // A screen's room for the window (its available area less a title bar), in device-independent
    // pixels: at scale 1.5 a 1600x1000 screen is 1066x666. There every control shows whole
    // without scrolling, and the analysis table shows its three rows and every column.
    void mainWindowFitsASmallScreen_data()
    {
        tb::Columns<QSize>({"room"});
        QTest::newRow("1600x1000 at scale 1.5") << QSize(1600 * 2 / 3, 1000 * 2 / 3 - 26);
        QTest::newRow("1280x800") << QSize(1280, 800 - 26);
    }
    void mainWindowFitsASmallScreen()
    {
        QFETCH(QSize, room);
        w->ReadCaptureBuffer();
        w->resize(room);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->size(), room);
        for (QScrollArea* a : w->findChildren<QScrollArea*>()) {
            QVERIFY2(!a->verticalScrollBar()->isVisible() && !a->horizontalScrollBar()->isVisible(),
                     qPrintable(a->objectName()));
        }
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (!c->isVisibleTo(w) || c->isWindow())
                continue;
            if (!qobject_cast<QAbstractButton*>(c) && !qobject_cast<QLabel*>(c) && !qobject_cast<QLineEdit*>(c) &&
                !qobject_cast<QComboBox*>(c))
                continue;
            const QString what = QStringLiteral("%1 \"%2\" %3").arg(c->metaObject()->className(), c->objectName(), Text(c));
            QVERIFY2(WhollyShown(c), qPrintable(what));
        }
        const QTableWidget* t = GuiAnalysis::Panel(w)->tblStats;
        QCOMPARE(t->rowCount(), 3);
        QVERIFY(!t->horizontalScrollBar()->isVisible() && !t->verticalScrollBar()->isVisible());
        QVERIFY(t->rowViewportPosition(2) + t->rowHeight(2) <= t->viewport()->height());
        // Every column as wide as its figures ("1210.0", never "121") and its header.
        const QAbstractItemView* view = t;
        int widths = 0;
        for (int col = 0; col < t->columnCount(); ++col) {
            QVERIFY2(t->columnWidth(col) >= view->sizeHintForColumn(col), qPrintable(QString::number(col)));
            QVERIFY2(t->columnWidth(col) >= t->horizontalHeader()->sectionSizeHint(col), qPrintable(QString::number(col)));
            widths += t->columnWidth(col);
        }
        QVERIFY(widths <= t->viewport()->width());
        w->hide();
    }

    void statusBarSaysWhatIsInUse_data()
    {
        tb::Columns<int, bool, bool, QStringList>({"interface", "readOut", "logging", "parts"});
        QTest::newRow("USB card, nothing read yet")
            << 2 << false << false << QStringList{"USB card Ezusb-0", "Product 31473", "idle", "No capture read yet"};
        QTest::newRow("no interface") << 0 << false << false << QStringList{"no interface"};
        QTest::newRow("after a read-out, logging")
            << 2 << true << true << QStringList{"Last read-out 10:11:12", "complete", "Next data file Datalog_1.csv"};
    }
    void statusBarSaysWhatIsInUse()
    {
        QFETCH(int, interface);
        QFETCH(bool, readOut);
        QFETCH(bool, logging);
        QFETCH(QStringList, parts);
        QLocale::setDefault(QLocale(QLocale::German)); // a 24-hour clock
        DataLog::ResetState();
        w = tb::OpenMainWindow(static_cast<int16_t>(interface));
        CaptureRecord::Last = {};
        if (readOut) {
            CaptureRecord::Last.time = QDateTime(QDate(2026, 1, 2), QTime(10, 11, 12));
            CaptureRecord::Last.complete = true;
        }
        w->ckDataLog->setChecked(logging);
        w->UpdateStatusBar();
        const QString text = w->StatusBarText();
        QLocale::setDefault(QLocale::c());
        for (const QString& part : parts)
            QVERIFY2(text.contains(part), qPrintable(text));
        QVERIFY(logging || !text.contains(QStringLiteral("Next data file")));
    }

    void keysReachTheirActions()
    {
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        // F6 reads the capture buffers out.
        sensor().ClearFrames();
        QTest::keyClick(w, Qt::Key_F6);
        QVERIFY(tb::Count(sensor().Frames(), tb::Rd(m470Reg::Table().RegisterTable[m470Reg::Table().idxCAPT_BUF1].BaseAddr)) >= 1024);
        // Home shows the whole capture again.
        w->FrameDataPLot->ShowRange(100, 200);
        QTest::keyClick(w, Qt::Key_Home);
        QCOMPARE(int(w->FrameDataPLot->Plot.PlotSpan), 1023);
        // Ctrl+Shift+C copies the plot and says so.
        QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("copied")));
        w->hide();
    }

    void exitDuringACaptureAsksFirst_data()
    {
        tb::Columns<bool, int, int>({"running", "answer", "ends"});
        QTest::newRow("idle: no question") << false << int(MsgResult::No) << 1;
        QTest::newRow("running, declined") << true << int(MsgResult::No) << 0;
        QTest::newRow("running, confirmed") << true << int(MsgResult::Yes) << 1;
    }
    void exitDuringACaptureAsksFirst()
    {
        QFETCH(bool, running);
        QFETCH(int, answer);
        if (running)
            w->cmdONE->setText(QStringLiteral("Abort")); // a count-down under way
        sbtest::SetMessageAnswer(MsgResult(answer));
        const int before = sbtest::EndProgramCalls();
        w->MnuExit_Click();
        sbtest::SetMessageAnswer(MsgResult::Ok);
        QCOMPARE(sbtest::MessageTexts().size(), running ? 1 : 0);
        QTEST(sbtest::EndProgramCalls() - before, "ends");
    }

    // A remembered size larger than the screen (the last run had a bigger one) comes back cut to
    // the screen's available area, and the whole window on it.
    void rememberedSizeIsCutToTheScreen()
    {
        ui::SetSettingsDirectory(store.path());
        w = tb::OpenMainWindow();
        const QRect room = w->screen()->availableGeometry();
        w->setGeometry(room.x() + 300, room.y() + 200, room.width() + 300, room.height() + 100);
        w->SaveRememberedSettings();
        w = tb::OpenMainWindow();
        QVERIFY2(room.contains(w->geometry()), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(w->x()).arg(w->y())
                                                             .arg(w->width()).arg(w->height())));
        QVERIFY(w->width() > room.width() * 3 / 4 && w->height() > room.height() * 3 / 4);
        // The default size is cut the same way.
        ui::Settings()->clear();
        w = tb::OpenMainWindow();
        QVERIFY(room.contains(QRect(room.topLeft(), w->size())));
    }

    // What the user chose comes back at the next start; the settings file keeps its three lines.
    void settingsSurviveARestart()
    {
        ui::SetSettingsDirectory(store.path());
        DataLog::ResetState();
        w = tb::OpenMainWindow();
        QFile::remove(kSettingsFileName);
        w->setGeometry(120, 80, 600, 450);
        DataLog::FileDir = dir.path() + QLatin1Char('/');
        DataLog::FileBase = DataLog::SavedFileBase = QStringLiteral("Shaker");
        DataLog::FileExt = QStringLiteral(".txt");
        DataLog::SavedExtIndex = 1;
        DataLog::Format = DataLog::DataFormat::Scaled;
        w->FrameDataPLot->cmdPlotScale_Click(); // 7 -> 3
        w->FrameDataPLot->ckTimeAxis->setChecked(true);
        SpectrumWidget* sp = GuiAnalysis::Spectrum(w);
        sp->cboWindow->setCurrentIndex(1);
        sp->cboScale->setCurrentIndex(1);
        w->MnuExit_Click();
        QFile cfg(kSettingsFileName);
        QVERIFY(cfg.open(QIODevice::ReadOnly));
        QCOMPARE(cfg.readAll().count('\n'), 3);

        DataLog::ResetState();
        w = tb::OpenMainWindow();
        QCOMPARE(w->geometry(), QRect(120, 80, 600, 450));
        QCOMPARE(DataLog::FileDir, dir.path() + QLatin1Char('/'));
        QCOMPARE(DataLog::SavedFileBase, QStringLiteral("Shaker"));
        QCOMPARE(DataLog::ComposeFilePath(), dir.path() + QStringLiteral("/Shaker_1.txt"));
        QCOMPARE(int(DataLog::SavedExtIndex), 1);
        QVERIFY(DataLog::Format == DataLog::DataFormat::Scaled);
        QCOMPARE(w->FrameDataPLot->cmdPlotScale->text(), QStringLiteral("3"));
        QCOMPARE(w->FrameDataPLot->lblnFS2->text(), QStringLiteral("-3"));
        QVERIFY(w->FrameDataPLot->ckTimeAxis->isChecked());
        sp = GuiAnalysis::Spectrum(w);
        QCOMPARE(sp->cboWindow->currentIndex(), 1);
        QCOMPARE(sp->cboScale->currentIndex(), 1);
        DataLog::ResetState();
        w->MnuExit_Click();
    }
};

SB_TEST_MAIN(TestDailyUse)
#include "tst_dailyuse.moc"
