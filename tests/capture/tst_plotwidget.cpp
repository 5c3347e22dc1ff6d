// The "Data Plot" frame on the virtual board: layouts, scale, offsets, press-and-hold, cursor.
#include "CaptureTestBench.h"
#include "shell/Numbers.h"
#include <QFrame>
#include <QScrollBar>
#include <memory>

namespace {
constexpr uint16_t kCaptCtrlRead = tb::Rd(sim::reg::CAPT_CTRL);

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

bool AllBackground(const QImage& img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != PlotSurface::kBackground)
                return false;
    return true;
}
} // namespace

class TestPlotWidget : public QObject {
    Q_OBJECT
    sim::Board* board = nullptr;
    std::unique_ptr<DataPlotWidget> plot;

    sim::VirtualSensor& Sensor() { return board->Sensor(); }
    int CaptCtrlReads() { return tb::Count(Sensor().Frames(), kCaptCtrlRead); }
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
        SetRecord(0, 0, 0);
        plot = std::make_unique<DataPlotWidget>();
        plot->SetStartValues();
        plot->ckADC0->setChecked(true);
        plot->ckADC1->setChecked(true);
        plot->picture1->ResizeImage(QSize(1001, 401));
        Sensor().ClearFrames();
        sbtest::ClearMessages();
    }
    void cleanup()
    {
        plot.reset();
        QLocale::setDefault(QLocale::c());
    }

    // Every click redraws, and every redraw reads CAPT_CTRL (twice, the answer in the second) and nothing else.
    void scaleButtonCyclesAndRedraws()
    {
        const QStringList expected{"3", "1.5", "120", "70", "30", "15", "7"};
        for (int i = 0; i < expected.size(); ++i) {
            plot->cmdPlotScale->click();
            QCOMPARE(plot->cmdPlotScale->text(), expected[i]);
            QCOMPARE(plot->lblpFS2->text(), expected[i]);
            QCOMPARE(plot->lblnFS2->text(), "-" + expected[i]);
            QCOMPARE(plot->LbLYmid->text(), QStringLiteral("0"));
            QCOMPARE(plot->picture1->Scale().top, expected[i].toDouble());
            QCOMPARE(plot->picture1->Scale().bottom, -expected[i].toDouble());
        }
        QCOMPARE(CaptCtrlReads(), 2 * 7);
        QCOMPARE(Sensor().Frames().size(), size_t(2 * 7));
    }

    void tracesInTheirColoursAtTheirOffsets()
    {
        // Constant traces at 0 g, moved by their offset bars; scale 7 on 401 rows: 400/14 rows per g.
        plot->VSosX->setValue(2);
        plot->VSosY->setValue(-3);
        QCOMPARE(plot->LblosX->text(), QStringLiteral("2"));
        QCOMPARE(plot->LblosY->text(), QStringLiteral("-3"));
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

    void allTracesOffLeavesAClearedSurface()
    {
        SetRecord(1, 2, 3);
        plot->PlotCaptureData();
        QVERIFY(!AllBackground(plot->picture1->Image()));
        for (QCheckBox* b : {plot->ckXacc, plot->ckADC0, plot->ckADC1})
            b->setChecked(false);
        plot->PlotCaptureData();
        QCOMPARE(plot->picture1->StrokeCount(), 0);
        QVERIFY(AllBackground(plot->picture1->Image()));
    }

    void extendedAndNormalLayouts_data()
    {
        tb::Columns<int, int>({"captCtrl", "axis"});
        QTest::newRow("Extended Time X") << 0x00C << 0;
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

        Sensor().Poke(sim::reg::CAPT_CTRL, static_cast<uint16_t>(captCtrl));
        plot->PlotCaptureData();
        QCOMPARE(int(plot->Plot.PlotMaxIndex), 3071);
        QCOMPARE(int(plot->Plot.PlotStart), 0);
        QCOMPARE(int(plot->Plot.PlotSpan), 3071);
        QCOMPARE(plot->lblPlotX[3]->text(), QStringLiteral("3071"));
        QCOMPARE(plot->LbLPointCount->text(), QStringLiteral("3071"));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(boxes[i]->isChecked(), i == axis);
            QCOMPARE(boxes[i]->isEnabled(), i == axis);
            QCOMPARE(bars[i]->isEnabled(), i == axis);
            QCOMPARE(legends[i]->isHidden(), i != axis);
        }
        QCOMPARE(plot->Traces.PlotExt[0], 1 - 1.0);
        QCOMPARE(plot->Traces.PlotExt[1024], 1 + 0.0);
        QCOMPARE(plot->Traces.PlotExt[3071], 1 + 1.0);
        QCOMPARE(plot->picture1->StrokeCount(), 1);
        QCOMPARE(plot->picture1->Scale().right, 3071.0);

        // A narrowed extended window survives extended redraws ...
        plot->Plot.PlotSpan = 500;
        plot->Plot.PlotStart = 2000;
        plot->PlotCaptureData();
        QCOMPARE(int(plot->Plot.PlotStart), 2000);

        // ... and the sensor back in a normal mode resets to the whole 1024-sample record.
        Sensor().Poke(sim::reg::CAPT_CTRL, 0x0000);
        plot->PlotCaptureData();
        QCOMPARE(int(plot->Plot.PlotMaxIndex), 1023);
        QCOMPARE(int(plot->Plot.PlotStart), 0);
        QCOMPARE(int(plot->Plot.PlotSpan), 1023);
        QCOMPARE(plot->lblPlotX[0]->text(), QStringLiteral("0"));
        QCOMPARE(plot->lblPlotX[3]->text(), QStringLiteral("1023"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(boxes[i]->isEnabled());
            QVERIFY(bars[i]->isEnabled());
            QVERIFY(!legends[i]->isHidden());
            QCOMPARE(boxes[i]->isChecked(), i == axis); // ticks stay as the extended plot left them
        }
        QCOMPARE(plot->picture1->StrokeCount(), 1);
    }

    void unknownExtendedAxisStillDraws()
    {
        Sensor().Poke(sim::reg::CAPT_CTRL, 0x30C);
        plot->PlotCaptureData();
        QCOMPARE(sbtest::MessageTexts(), QStringList{"unknown capt_ctrl axis sub PlotCaptureDataExtendedMode"});
        QCOMPARE(plot->picture1->StrokeCount(), 1);
        for (QCheckBox* b : {plot->ckXacc, plot->ckADC0, plot->ckADC1})
            QVERIFY(!b->isEnabled() && !b->isChecked());
        const Ink ink = DarkestInColumn(plot->picture1->Image(), 500);
        QCOMPARE(ink.colour.red(), ink.colour.blue()); // black, greyed by anti-aliasing at most
        QCOMPARE(ink.colour.red(), ink.colour.green());
    }

    void heldScaleAndOffsetClamp_data()
    {
        // scale: the scale button, else the offset button
        tb::Columns<bool, int, int, int, int, int, int>(
            {"scale", "dir", "start", "span", "startAfter", "spanAfter", "redraws"});
        QTest::newRow("scale - at 20: 19 clamps to 20, one pass") << true << -1 << 0 << 20 << 0 << 20 << 1;
        QTest::newRow("offset + at full span stops at once") << false << 1 << 0 << 1023 << 0 << 1023 << 1;
        QTest::newRow("offset - at the left edge stops at once") << false << -1 << 0 << 500 << 0 << 500 << 1;
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
        Sensor().ClearFrames();
        scale ? plot->cmdHscale_MouseDown(dir) : plot->cmdHoffset_MouseDown(dir);
        // The loops end by themselves at a clamp, without a mouse release.
        QTEST(int(plot->Plot.PlotStart), "startAfter");
        QTEST(int(plot->Plot.PlotSpan), "spanAfter");
        QTEST(CaptCtrlReads() / 2, "redraws");
        QCOMPARE(int(plot->Plot.HScaleDir), 0);
        QCOMPARE(int(plot->Plot.HOffsetDir), 0);
        QCOMPARE(plot->lblPlotX[0]->text(), QString::number(plot->Plot.PlotStart));
        QCOMPARE(plot->lblPlotX[3]->text(), QString::number(plot->Plot.PlotStart + plot->Plot.PlotSpan));
        QCOMPARE(plot->LbLPointCount->text(), QString::number(plot->Plot.PlotSpan));
    }

    void releasingTheButtonEndsTheLoop()
    {
        plot->PlotCaptureData();
        int spanAtRelease = -1;
        // The release arrives while the loop pumps events.
        QTimer::singleShot(30, plot.get(), [&] {
            spanAtRelease = plot->Plot.PlotSpan;
            QTest::mouseRelease(plot->cmdHscaleNeg, Qt::LeftButton);
        });
        QTest::mousePress(plot->cmdHscaleNeg, Qt::LeftButton);
        QVERIFY(spanAtRelease > 0);
        QCOMPARE(int(plot->Plot.HScaleDir), 0);
        QVERIFY(plot->Plot.PlotSpan < 1023);
        QVERIFY(plot->Plot.PlotSpan >= 20);
        // At most the pass that was running when the release came.
        QVERIFY(plot->Plot.PlotSpan >= RoundHalfEven(spanAtRelease * 0.97) - 1);
        QCOMPARE(plot->picture1->Scale().right - plot->picture1->Scale().left, double(plot->Plot.PlotSpan));
    }

    void cursorReadOut_data()
    {
        tb::Columns<QString, QPointF, QString, QString>({"locale", "pixel", "sample", "value"});
        // 1024 x 401 pixels over samples 0..1023 and +7..-7 g.
        QTest::newRow("top left") << "C" << QPointF(0, 0) << "0" << "7.0";
        QTest::newRow("centre") << "C" << QPointF(511.5, 200) << "512" << "0.0";
        QTest::newRow("half sample to even") << "C" << QPointF(2.5, 100) << "2" << "3.5";
        QTest::newRow("German") << "de_DE" << QPointF(1023, 300) << "1023" << "-3,5";
    }
    void cursorReadOut()
    {
        QFETCH(QString, locale);
        QFETCH(QPointF, pixel);
        QLocale::setDefault(QLocale(locale));
        plot->PlotCaptureData();
        plot->picture1->resize(1024, 401);
        QMouseEvent move(QEvent::MouseMove, pixel, plot->picture1->mapToGlobal(pixel), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(plot->picture1, &move);
        QTEST(plot->lblCursorX->text(), "sample");
        QTEST(plot->lblCursorY->text(), "value");
    }
};

SB_TEST_MAIN(TestPlotWidget)
#include "tst_plotwidget.moc"
