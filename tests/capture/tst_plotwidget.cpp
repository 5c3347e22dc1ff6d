// The "Data Plot" frame on the virtual board: offsets, layouts, press-and-hold, reading texts.
#include "CaptureTestBench.h"
#include "capture/BufferReadout.h"
#include "analysis/ui/AnalysisPanelWidget.h"
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QScrollBar>
#include <memory>

namespace {
// Tick labels of `axis` as drawn: their extents along the axis, in pixels.
struct Label {
    QString text;
    double from, to;
};
std::vector<Label> Labels(QCPAxis* axis)
{
    const QFontMetricsF fm(axis->tickLabelFont());
    std::vector<Label> out;
    const QVector<double> ticks = axis->tickVector();
    const QVector<QString> texts = axis->tickVectorLabels();
    for (int i = 0; i < ticks.size(); ++i) {
        if (!axis->range().contains(ticks[i]))
            continue;
        const double at = axis->coordToPixel(ticks[i]);
        const double half = axis->orientation() == Qt::Horizontal ? fm.horizontalAdvance(texts[i]) / 2 : fm.height() / 2;
        out.push_back({texts[i], std::min(at - half, at + half), std::max(at - half, at + half)});
    }
    std::sort(out.begin(), out.end(), [](const Label& a, const Label& b) { return a.from < b.from; });
    return out;
}
// 1, 2 or 5 times a power of ten.
bool NiceStep(double step)
{
    const double m = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    return std::abs(m - 1) < 1e-6 || std::abs(m - 2) < 1e-6 || std::abs(m - 5) < 1e-6;
}
} // namespace

class TestPlotWidget : public QObject {
    Q_OBJECT
    sim::Board* board = nullptr;
    std::unique_ptr<DataPlotWidget> plot;

    sim::VirtualSensor& Sensor() { return board->Sensor(); }
    void SetRecord(double v1, double v2, double v3)
    {
        CaptureRecord::BufValue1.fill(v1);
        CaptureRecord::BufValue2.fill(v2);
        CaptureRecord::BufValue3.fill(v3);
    }

private slots:
    void init()
    {
        board = &tb::UseUsbCard(31473);
        CaptureRecord::Last = {};
        // A capture read whole: only such a record is drawn.
        CaptureRecord::Last.complete = true;
        CaptureRecord::Last.time = QDateTime(QDate(2026, 1, 1), QTime(12, 0));
        SetRecord(0, 0, 0);
        plot = std::make_unique<DataPlotWidget>();
        plot->SetStartValues();
        plot->ckADC0->setChecked(true);
        plot->ckADC1->setChecked(true);
        plot->picture1->ResizeImage(QSize(1001, 401));
        Sensor().ClearFrames();
        sbtest::ClearMessages();
    }
    void cleanup() { plot.reset(); }

    // Mouse on the 1001-pixel-wide surface: pixel 500 is the middle of the shown samples.
    void Send(QEvent::Type type, double px, Qt::MouseButton button, Qt::KeyboardModifiers mods = {})
    {
        const QPointF pos(px, 200);
        QMouseEvent e(type, pos, plot->picture1->mapToGlobal(pos), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, mods);
        QCoreApplication::sendEvent(plot->picture1, &e);
    }
    void Wheel(double px, int notches)
    {
        const QPointF pos(px, 200);
        QWheelEvent e(pos, plot->picture1->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(plot->picture1, &e);
    }
    double SampleAtPixel(double px) { return plot->picture1->CoordX(px); }
    // Pixel of a fraction of the plotting area's width.
    double At(double fraction)
    {
        const QRect r = plot->picture1->axisRect()->rect();
        return r.left() + fraction * r.width();
    }
    void SizeSurface()
    {
        plot->picture1->resize(1001, 401);
        plot->PlotCaptureData();
    }

    void wheelZoomsAboutTheMouse_data()
    {
        tb::Columns<double, int>({"pixel", "notches"});
        QTest::newRow("middle, one notch in") << 0.5 << 1;
        QTest::newRow("near the left edge, three in") << 0.1 << 3;
        QTest::newRow("near the right edge, five in") << 0.9 << 5;
    }
    void wheelZoomsAboutTheMouse()
    {
        QFETCH(double, pixel);
        QFETCH(int, notches);
        SizeSurface();
        pixel = At(pixel);
        const double under = SampleAtPixel(pixel);
        Wheel(pixel, notches);
        QVERIFY(plot->Plot.PlotSpan < 1023 * 0.85);
        // The sample under the mouse stays there (to the rounding of the window to whole samples).
        QVERIFY2(std::abs(SampleAtPixel(pixel) - under) <= 1.0, qPrintable(QString::number(SampleAtPixel(pixel))));
        QCOMPARE(plot->lblPlotX[0]->text(), QString::number(plot->Plot.PlotStart));
        QCOMPARE(plot->LbLPointCount->text(), QString::number(plot->Plot.PlotSpan));
        // Out again as far as the record allows, then never past it.
        Wheel(pixel, -40);
        QCOMPARE(int(plot->Plot.PlotSpan), 1023);
        QCOMPARE(int(plot->Plot.PlotStart), 0);
    }

    void dragPansBandZoomsHomeFits()
    {
        SizeSurface();
        plot->ShowRange(200, 400);
        QCOMPARE(int(plot->Plot.PlotStart), 200);
        QCOMPARE(int(plot->Plot.PlotSpan), 200);
        // Dragging left by a fifth of the width shows later samples by a fifth of the span.
        Send(QEvent::MouseButtonPress, At(0.6), Qt::LeftButton);
        Send(QEvent::MouseMove, At(0.4), Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, At(0.4), Qt::LeftButton);
        QVERIFY(std::abs(plot->Plot.PlotStart - 240) <= 1);
        QCOMPARE(int(plot->Plot.PlotSpan), 200);
        // Shift+drag over half the width zooms to the band; a click without moving does not.
        const int start = plot->Plot.PlotStart;
        Send(QEvent::MouseButtonPress, At(0.1), Qt::LeftButton, Qt::ShiftModifier);
        Send(QEvent::MouseMove, At(0.6), Qt::LeftButton, Qt::ShiftModifier);
        Send(QEvent::MouseButtonRelease, At(0.6), Qt::LeftButton, Qt::ShiftModifier);
        QVERIFY(std::abs(plot->Plot.PlotStart - (start + 20)) <= 1);
        QVERIFY(std::abs(plot->Plot.PlotSpan - 100) <= 1);
        const int span = plot->Plot.PlotSpan;
        Send(QEvent::MouseButtonPress, At(0.3), Qt::RightButton);
        Send(QEvent::MouseButtonRelease, At(0.3), Qt::RightButton);
        QCOMPARE(int(plot->Plot.PlotSpan), span);
        // A band narrower than the least span keeps the least span; the pan stops at the record's end.
        plot->ShowRange(1020, 1022);
        QCOMPARE(int(plot->Plot.PlotSpan), 20);
        QCOMPARE(int(plot->Plot.PlotStart), 1003);
        QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
        QCoreApplication::sendEvent(plot->picture1, &home);
        QCOMPARE(int(plot->Plot.PlotSpan), 1023);
        QCOMPARE(int(plot->Plot.PlotStart), 0);
        plot->ShowRange(10, 50);
        plot->cmdFit->click();
        QCOMPARE(int(plot->Plot.PlotSpan), 1023);
    }

    // The axes label nice values that never overprint one another or run off the plot, at the
    // sizes, text scales (1.5 as a 1.5 times larger font), vertical scales and ranges in use.
    void ticksNeverOverlap_data()
    {
        tb::Columns<int, int, double, QString, int, int, double>(
            {"width", "height", "fontScale", "scale", "captCtrl", "span", "rate"});
        QTest::newRow("main window plot, scale 7") << 760 << 330 << 1.0 << "7" << 0 << 1023 << 0.0;
        QTest::newRow("small, scale 1.5") << 260 << 130 << 1.0 << "1.5" << 0 << 1023 << 0.0;
        QTest::newRow("text 1.5x, scale 3") << 560 << 260 << 1.5 << "3" << 0 << 1023 << 0.0;
        QTest::newRow("text 1.5x, extended, scale 120") << 420 << 200 << 1.5 << "120" << 0x10C << 3071 << 0.0;
        QTest::newRow("ms at averaging 1024, narrow") << 300 << 160 << 1.0 << "70" << 0 << 1023 << 86.0;
        QTest::newRow("ms zoomed to 20 samples") << 760 << 330 << 1.5 << "15" << 0 << 20 << 44000.0;
    }
    void ticksNeverOverlap()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(double, fontScale);
        QFETCH(QString, scale);
        QFETCH(int, captCtrl);
        QFETCH(int, span);
        QFETCH(double, rate);
        CaptureRecord::Last.captCtrl = captCtrl;
        CaptureRecord::Last.sampleRate = rate;
        QFont f = plot->picture1->xAxis->tickLabelFont();
        f.setPointSizeF(f.pointSizeF() * fontScale);
        for (QCPAxis* a : {plot->picture1->xAxis, plot->picture1->yAxis})
            a->setTickLabelFont(f);
        plot->ckTimeAxis->setChecked(rate > 0);
        plot->SetScaleCaption(scale);
        plot->picture1->resize(width, height);
        plot->ShowRange(0, span);
        for (QCPAxis* axis : {plot->picture1->xAxis, plot->picture1->yAxis}) {
            const std::vector<Label> labels = Labels(axis);
            QVERIFY2(labels.size() >= 2, qPrintable(axis->label()));
            for (size_t i = 1; i < labels.size(); ++i)
                QVERIFY2(labels[i].from > labels[i - 1].to,
                         qPrintable(labels[i - 1].text + " overlaps " + labels[i].text));
            // Every label inside the widget, the edge ones too.
            const double extent = axis->orientation() == Qt::Horizontal ? width : height;
            QVERIFY2(labels.front().from >= 0 && labels.back().to <= extent,
                     qPrintable(labels.front().text + " .. " + labels.back().text));
            const QVector<double> ticks = axis->tickVector();
            const double perUnit = ui::PlotView::Ticker(axis)->perUnit;
            QVERIFY(NiceStep((ticks[1] - ticks[0]) / perUnit));
        }
        QCOMPARE(plot->picture1->yAxis->range().upper, scale.toDouble());
        QCOMPARE(plot->picture1->yAxis->range().lower, -scale.toDouble());
        QVERIFY(!plot->picture1->xAxis->label().isEmpty() && plot->picture1->yAxis->label().contains("(g)"));
    }

    // A click sets a marker where it is; a drag pans or zooms and leaves the markers alone.
    void markerByClickNeverByDrag()
    {
        AnalysisPanelWidget panel;
        panel.AttachTimePlot(plot->picture1);
        SizeSurface();
        plot->ShowRange(200, 400);
        const double x = SampleAtPixel(At(0.5));
        Send(QEvent::MouseButtonPress, At(0.5), Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, At(0.5), Qt::LeftButton);
        QCOMPARE(*panel.TimeMarker(0), std::round(x));
        QVERIFY(!panel.TimeMarker(1));
        const int start = plot->Plot.PlotStart;
        for (auto mods : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
            Send(QEvent::MouseButtonPress, At(0.7), Qt::LeftButton, mods);
            Send(QEvent::MouseMove, At(0.3), Qt::LeftButton, mods);
            Send(QEvent::MouseButtonRelease, At(0.3), Qt::LeftButton, mods);
            QCOMPARE(*panel.TimeMarker(0), std::round(x));
        }
        QVERIFY(plot->Plot.PlotStart != start);
        // A right drag zooms; a right click sets B.
        Send(QEvent::MouseButtonPress, At(0.2), Qt::RightButton);
        Send(QEvent::MouseMove, At(0.8), Qt::RightButton);
        Send(QEvent::MouseButtonRelease, At(0.8), Qt::RightButton);
        QVERIFY(!panel.TimeMarker(1));
        Send(QEvent::MouseButtonPress, At(0.25), Qt::RightButton);
        Send(QEvent::MouseMove, At(0.25) + 2, Qt::RightButton); // a hand's tremor is still a click
        Send(QEvent::MouseButtonRelease, At(0.25) + 2, Qt::RightButton);
        QCOMPARE(*panel.TimeMarker(1), std::round(SampleAtPixel(At(0.25))));
    }

    void niceTicks_data()
    {
        tb::Columns<double, double, int, double, double, double>({"lo", "hi", "most", "step", "first", "last"});
        QTest::newRow("whole record") << 0.0 << 1023.0 << 10 << 200.0 << 0.0 << 1000.0;
        QTest::newRow("scale 7") << -7.0 << 7.0 << 8 << 2.0 << -6.0 << 6.0;
        QTest::newRow("scale 1.5, halves") << -1.5 << 1.5 << 8 << 0.5 << -1.5 << 1.5;
        QTest::newRow("narrow window off zero") << 1003.0 << 1023.0 << 4 << 5.0 << 1005.0 << 1020.0;
        QTest::newRow("reversed bounds") << 120.0 << -120.0 << 8 << 50.0 << -100.0 << 100.0;
    }
    void niceTicks()
    {
        QFETCH(double, lo);
        QFETCH(double, hi);
        QFETCH(int, most);
        const PlotModel::Ticks t = PlotModel::NiceTicks(lo, hi, most);
        QTEST(t.step, "step");
        QVERIFY(!t.values.empty());
        QTEST(t.values.front(), "first");
        QTEST(t.values.back(), "last");
        QVERIFY(int(t.values.size()) <= most + 1);
    }

    void cursorReadsTheTraces_data()
    {
        tb::Columns<QString, int, int, double, QString, QString>({"locale", "product", "captCtrl", "x", "sample", "value"});
        QTest::newRow("normal: each ticked trace at the sample") << "C" << 31473 << 0 << 100.4 << "100"
                                                               << "X acc: 0.100\nY acc: -0.100\nZ acc: 1.050";
        QTest::newRow("extended Y: the second buffer's sample") << "C" << 31473 << 0x10C << 2000.0 << "2000"
                                                                << "Y acc: 0.976";
        QTest::newRow("German") << "de_DE" << 31473 << 0 << 1000.0 << "1000" << "X acc: 1,000\nY acc: -1,000\nZ acc: 1,050";
        // A stored single-axis capture on a plot set up for the tri-axis sensor: its own names.
        QTest::newRow("a 31470 capture") << "C" << 31470 << 0 << 100.4 << "100"
                                         << "X acc: 0.100\nADC 0: -0.100\nADC 1: 1.050";
    }
    void cursorReadsTheTraces()
    {
        QFETCH(QString, locale);
        QFETCH(int, product);
        QFETCH(int, captCtrl);
        QFETCH(double, x);
        QLocale::setDefault(QLocale(locale));
        CaptureRecord::Last.product = product;
        for (int i = 0; i < 1024; ++i) {
            CaptureRecord::BufValue1[i] = i / 1000.0;
            CaptureRecord::BufValue2[i] = -i / 1000.0 + (captCtrl ? 2 * i / 1000.0 : 0);
            CaptureRecord::BufValue3[i] = 1.05;
        }
        CaptureRecord::Last.captCtrl = captCtrl;
        plot->VSosX->setValue(3); // the offset moves the trace, not its reading
        plot->PlotCaptureData();
        plot->picture1_MouseMove(x, 6.5);
        QLocale::setDefault(QLocale::c());
        QTEST(plot->lblCursorX->text(), "sample");
        QTEST(plot->lblCursorY->text(), "value");
    }

    void tracesInTheirColoursAtTheirOffsets()
    {
        // Constant traces at 0 g, moved by their offset bars.
        plot->VSosX->setValue(2);
        plot->VSosY->setValue(-3);
        plot->ckADC1->setChecked(false);
        plot->PlotCaptureData();
        QCOMPARE(plot->picture1->StrokeCount(), 2);
        QCPGraph* x = plot->picture1->graph(0);
        QCPGraph* y = plot->picture1->graph(1);
        QCOMPARE(x->data()->at(500)->value, 2.0);
        QCOMPARE(y->data()->at(500)->value, -3.0);
        QCOMPARE(x->pen().color(), DataPlotWidget::kNormalColours[0]);
        QCOMPARE(y->pen().color(), DataPlotWidget::kNormalColours[1]);
        QCOMPARE(x->name(), QStringLiteral("X acc"));
        // The tracers sit on the traces at the sample under the pointer, offsets included.
        plot->picture1_MouseMove(300, 6);
        auto* dot = qobject_cast<QCPItemTracer*>(plot->picture1->item(plot->picture1->itemCount() - 1));
        QVERIFY(dot && dot->visible());
        QCOMPARE(dot->position->coords(), QPointF(300, -3));
    }

    // Back from an extended capture the traces ticked before it are ticked again, and the cursor
    // read-out follows each new capture with only its captured channels.
    void extendedThenNormalRestoresTicksAndCursor()
    {
        plot->ckADC0->setChecked(false);
        plot->picture1_MouseMove(100, 0);
        QCOMPARE(plot->lblCursorY->text().count('\n'), 1); // X and Z
        CaptureRecord::Last.captCtrl = 0x20C; // Extended Time Z
        plot->PlotCaptureData();
        QCOMPARE(plot->lblCursorY->text(), QStringLiteral("Z acc: 0.000"));
        CaptureRecord::Last.captCtrl = 0;
        SetRecord(1, 2, 3);
        plot->PlotCaptureData();
        QVERIFY(plot->ckXacc->isChecked() && !plot->ckADC0->isChecked() && plot->ckADC1->isChecked());
        QCOMPARE(plot->lblCursorY->text(), QStringLiteral("X acc: 1.000\nZ acc: 3.000"));
    }

    void extendedAndNormalLayouts_data()
    {
        tb::Columns<int, int>({"captCtrl", "axis"});
        QTest::newRow("Extended Time Y") << 0x10C << 1;
        QTest::newRow("Extended Time Z, pre-trigger and filter bits") << 0x2BC << 2;
    }
    void extendedAndNormalLayouts()
    {
        QFETCH(int, captCtrl);
        QFETCH(int, axis);
        const std::array<QCheckBox*, 3> boxes{plot->ckXacc, plot->ckADC0, plot->ckADC1};
        const std::array<QScrollBar*, 3> bars{plot->VSosX, plot->VSosY, plot->VSosZ};
        const std::array<QFrame*, 3> legends{plot->LineXcolor, plot->LineYcolor, plot->LineZcolor};
        // A narrowed normal window first.
        plot->Plot.PlotSpan = 100;
        plot->Plot.PlotStart = 40;
        SetRecord(-1, 0, 1);
        bars[axis]->setValue(1);

        // The layout follows the capture's own CAPT_CTRL, whatever the sensor is set to now.
        CaptureRecord::Last.captCtrl = captCtrl;
        Sensor().Poke(sim::reg::CAPT_CTRL, 0x0000);
        plot->PlotCaptureData();
        QCOMPARE(int(plot->Plot.PlotMaxIndex), 3071);
        QCOMPARE(int(plot->Plot.PlotStart), 0);
        QCOMPARE(plot->lblPlotX[3]->text(), QStringLiteral("3071"));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(boxes[i]->isChecked(), i == axis);
            QCOMPARE(bars[i]->isEnabled(), i == axis);
            QCOMPARE(legends[i]->isHidden(), i != axis);
        }
        // The three buffers one after another, with the axis's offset.
        QCOMPARE(plot->Traces.PlotExt[0], 1 - 1.0);
        QCOMPARE(plot->Traces.PlotExt[3071], 1 + 1.0);
        QCOMPARE(plot->picture1->StrokeCount(), 1);

        // A normal-mode capture resets to the whole 1024-sample record.
        CaptureRecord::Last.captCtrl = 0;
        Sensor().Poke(sim::reg::CAPT_CTRL, static_cast<uint16_t>(captCtrl));
        plot->PlotCaptureData();
        QCOMPARE(int(plot->Plot.PlotSpan), 1023);
        QVERIFY(bars[(axis + 1) % 3]->isEnabled());
    }

    void heldScaleAndOffsetClamp_data()
    {
        // scale: the scale button, else the offset button
        tb::Columns<bool, int, int, int, int, int, int>(
            {"scale", "dir", "start", "span", "startAfter", "spanAfter", "redraws"});
        QTest::newRow("scale - at 20: 19 clamps to 20, one pass") << true << -1 << 0 << 20 << 0 << 20 << 1;
        QTest::newRow("offset + runs to the right edge") << false << 1 << 400 << 500 << 523 << 500 << 7;
        QTest::newRow("scale + from 20 grows to the whole record") << true << 1 << 0 << 20 << 0 << 1023 << 132;
    }
    void heldScaleAndOffsetClamp()
    {
        QFETCH(bool, scale);
        QFETCH(int, dir);
        QFETCH(int, start);
        QFETCH(int, span);
        plot->Plot.PlotSpan = span;
        plot->Plot.PlotStart = static_cast<int16_t>(start);
        plot->PlotCaptureData(); // sets the window limits
        const int clearsBefore = plot->picture1->ClearCount();
        scale ? plot->cmdHscale_MouseDown(dir) : plot->cmdHoffset_MouseDown(dir);
        // The loops end by themselves at a clamp, without a mouse release.
        QTEST(int(plot->Plot.PlotStart), "startAfter");
        QTEST(int(plot->Plot.PlotSpan), "spanAfter");
        QTEST(plot->picture1->ClearCount() - clearsBefore, "redraws");
        QCOMPARE(plot->lblPlotX[3]->text(), QString::number(plot->Plot.PlotStart + plot->Plot.PlotSpan));
    }

    // Peak, supply and temperature labels.
    void readingFormat_data()
    {
        tb::Columns<double, QString, QString>({"value", "locale", "text"});
        QTest::newRow("zero keeps one decimal") << 0.0 << "C" << "0.0";
        QTest::newRow("four decimals at most") << 3.299561 << "C" << "3.2996";
        QTest::newRow("tiny negative") << -0.00001 << "C" << "0.0";
        QTest::newRow("German") << 625.47 << "de_DE" << "625,47";
    }
    void readingFormat()
    {
        QFETCH(double, value);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        QTEST(BufferReadout::FormatReading(value), "text");
        QLocale::setDefault(QLocale::c());
    }
};

SB_TEST_MAIN(TestPlotWidget)
#include "tst_plotwidget.moc"
