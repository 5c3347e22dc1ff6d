// The "Data Plot" frame on the virtual board: offsets, layouts, press-and-hold, reading texts.
#include "CaptureTestBench.h"
#include "capture/BufferReadout.h"
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QScrollBar>
#include <memory>

namespace {

// Rows of one image column that are not background, darkest first.
struct Ink {
    int row = -1;
    QColor colour;
};
Ink DarkestInColumn(const QImage& img, int x)
{
    Ink best;
    int bestSum = 3 * 255;
    for (int y = 0; y < img.height(); ++y) {
        const QColor c = img.pixelColor(x, y);
        const int sum = c.red() + c.green() + c.blue();
        if (sum < bestSum) {
            bestSum = sum;
            best = {y, c};
        }
    }
    return best;
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
    double SampleAtPixel(double px)
    {
        return PlotModel::PixelToUser(plot->picture1->Scale(), px, 0, 1001, 401).x();
    }
    void SizeSurface()
    {
        plot->picture1->resize(1001, 401);
        plot->PlotCaptureData();
    }

    void wheelZoomsAboutTheMouse_data()
    {
        tb::Columns<double, int>({"pixel", "notches"});
        QTest::newRow("middle, one notch in") << 500.0 << 1;
        QTest::newRow("near the left edge, three in") << 100.0 << 3;
        QTest::newRow("near the right edge, five in") << 900.0 << 5;
    }
    void wheelZoomsAboutTheMouse()
    {
        QFETCH(double, pixel);
        QFETCH(int, notches);
        SizeSurface();
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
        Send(QEvent::MouseButtonPress, 600, Qt::LeftButton);
        Send(QEvent::MouseMove, 400, Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, 400, Qt::LeftButton);
        QCOMPARE(int(plot->Plot.PlotStart), 240);
        QCOMPARE(int(plot->Plot.PlotSpan), 200);
        // Shift+drag from pixel 100 to 600 zooms to the band; a click without moving does not.
        Send(QEvent::MouseButtonPress, 100, Qt::LeftButton, Qt::ShiftModifier);
        Send(QEvent::MouseMove, 600, Qt::LeftButton, Qt::ShiftModifier);
        Send(QEvent::MouseButtonRelease, 600, Qt::LeftButton, Qt::ShiftModifier);
        QCOMPARE(int(plot->Plot.PlotStart), 260);
        QCOMPARE(int(plot->Plot.PlotSpan), 100);
        Send(QEvent::MouseButtonPress, 300, Qt::RightButton);
        Send(QEvent::MouseButtonRelease, 300, Qt::RightButton);
        QCOMPARE(int(plot->Plot.PlotSpan), 100);
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

    void middleTickFollowsTheRange_data()
    {
        tb::Columns<int, int, int, QString>({"captCtrl", "from", "to", "middle"});
        QTest::newRow("normal, zoomed to 100..300") << 0 << 100 << 300 << "200";
        QTest::newRow("extended, zoomed to 2040..2060") << 0x10C << 2040 << 2060 << "2050";
    }
    void middleTickFollowsTheRange()
    {
        QFETCH(int, captCtrl);
        QFETCH(int, from);
        QFETCH(int, to);
        CaptureRecord::Last.captCtrl = captCtrl;
        SizeSurface();
        plot->ShowRange(from, to);
        QTEST(plot->lblPlotX[4]->text(), "middle");
        QCOMPARE(plot->lblPlotX[0]->text(), QString::number(from));
        QCOMPARE(plot->lblPlotX[3]->text(), QString::number(to));
    }

    // The time axis labels the same range in milliseconds at the capture's rate; off, samples again.
    void timeAxisInMilliseconds()
    {
        CaptureRecord::Last.sampleRate = 2000.0; // 0.5 ms a sample
        SizeSurface();
        plot->ckTimeAxis->setChecked(true);
        plot->ShowRange(100, 300);
        QCOMPARE(plot->lblPlotX[0]->text(), QStringLiteral("50"));
        QCOMPARE(plot->lblPlotX[4]->text(), QStringLiteral("100"));
        QCOMPARE(plot->lblPlotX[3]->text(), QStringLiteral("150"));
        plot->picture1_MouseMove(201, 0);
        QCOMPARE(plot->lblCursorX->text(), QStringLiteral("201\n100.500 ms"));
        plot->ckTimeAxis->setChecked(false);
        QCOMPARE(plot->lblPlotX[0]->text(), QStringLiteral("100"));
        QCOMPARE(plot->lblPlotX[4]->text(), QStringLiteral("200"));
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
        // Constant traces at 0 g, moved by their offset bars; scale 7 on 401 rows: 400/14 rows per g.
        plot->VSosX->setValue(2);
        plot->VSosY->setValue(-3);
        plot->ckADC1->setChecked(false);
        plot->PlotCaptureData();
        QCOMPARE(plot->picture1->StrokeCount(), 2);

        const QImage& img = plot->picture1->Image();
        QImage top = img.copy(0, 0, img.width(), 200);
        QImage bottom = img.copy(0, 201, img.width(), 200);
        const Ink x = DarkestInColumn(top, 500);
        const Ink y = DarkestInColumn(bottom, 500);
        QVERIFY(std::abs(x.row - (7 - 2) * 400 / 14.0) <= 1.0);
        QVERIFY(std::abs(201 + y.row - (7 + 3) * 400 / 14.0) <= 1.0);
        QVERIFY(x.colour.blue() > x.colour.red() && x.colour.blue() > x.colour.green());
        QVERIFY(y.colour.green() > y.colour.red() && y.colour.green() > y.colour.blue());
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
