// The plot's window arithmetic, scale cycle, trace arrays and cursor/number texts, without widgets.
#include "capture/BufferReadout.h"
#include "capture/CaptureRecord.h"
#include "capture/PlotModel.h"
#include "TestSupport.h"

using namespace PlotModel;

class TestPlotModel : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void scaleCycle_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("next");
        QTest::newRow("120") << "120" << "70";
        QTest::newRow("70") << "70" << "30";
        QTest::newRow("15") << "15" << "7";
        QTest::newRow("7") << "7" << "3";
        QTest::newRow("3") << "3" << "1.5";
        QTest::newRow("1.5 wraps") << "1.5" << "120";
        QTest::newRow("not a step") << "5" << "5";
        QTest::newRow("empty") << "" << "";
    }
    void scaleCycle()
    {
        QFETCH(QString, caption);
        QFETCH(QString, next);
        QCOMPARE(NextScaleCaption(caption), next);
    }

    void scaleLabels()
    {
        // The full cycle has seven steps and the bottom label is always the negative of the top.
        QString c = QStringLiteral("7");
        for (int i = 0; i < 7; ++i) {
            c = NextScaleCaption(c);
            QCOMPARE(CaptionValue(NegatedCaption(c)), -CaptionValue(c));
        }
        QCOMPARE(c, QStringLiteral("7"));
        QCOMPARE(NegatedCaption("1.5"), QStringLiteral("-1.5"));
        QCOMPARE(CaptionValue("-1.5"), -1.5);
        QCOMPARE(CaptionValue("abc"), 0.0);
    }

    void hScaleStep_data()
    {
        QTest::addColumn<int>("maxIndex");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("span");
        QTest::addColumn<int>("dir");
        QTest::addColumn<int>("spanAfter");
        QTest::addColumn<int>("dirAfter");
        QTest::addColumn<int>("startAfter");
        QTest::newRow("20 - rounds to 19, clamped, stops") << 1023 << 0 << 20 << -1 << 20 << 0 << 0;
        QTest::newRow("20 + grows to 21") << 1023 << 0 << 20 << 1 << 21 << 1 << 0;
        QTest::newRow("21 - back to 20, goes on") << 1023 << 0 << 21 << -1 << 20 << -1 << 0;
        QTest::newRow("50 + half to even 52") << 1023 << 0 << 50 << 1 << 52 << 1 << 0;
        QTest::newRow("150 + half to even 154") << 1023 << 0 << 150 << 1 << 154 << 1 << 0;
        QTest::newRow("50 - half to even 48") << 1023 << 0 << 50 << -1 << 48 << -1 << 0;
        QTest::newRow("150 - half to even 146") << 1023 << 0 << 150 << -1 << 146 << -1 << 0;
        QTest::newRow("full span + clamps and stops") << 1023 << 0 << 1023 << 1 << 1023 << 0 << 0;
        QTest::newRow("wider pulls start back") << 1023 << 1003 << 20 << 1 << 21 << 1 << 1002;
        QTest::newRow("extended narrows") << 3071 << 0 << 3071 << -1 << 2979 << -1 << 0;
        QTest::newRow("extended full + stops") << 3071 << 500 << 3000 << 1 << 3071 << 0 << 0;
    }
    void hScaleStep()
    {
        QFETCH(int, maxIndex);
        QFETCH(int, start);
        QFETCH(int, span);
        QFETCH(int, dir);
        PlotWindow w;
        w.PlotMaxIndex = static_cast<int16_t>(maxIndex);
        w.PlotMaxSpan = static_cast<int16_t>(maxIndex);
        w.PlotStart = static_cast<int16_t>(start);
        w.PlotSpan = span;
        w.HScaleDir = static_cast<int16_t>(dir);
        HScaleStep(w);
        QTEST(int(w.PlotSpan), "spanAfter");
        QTEST(int(w.HScaleDir), "dirAfter");
        QTEST(int(w.PlotStart), "startAfter");
        QCOMPARE(int(w.PlotMaxStart), maxIndex - int(w.PlotSpan));
        QVERIFY(w.PlotStart + w.PlotSpan <= w.PlotMaxIndex);
    }

    void hOffsetStep_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("span");
        QTest::addColumn<int>("dir");
        QTest::addColumn<int>("startAfter");
        QTest::addColumn<int>("dirAfter");
        QTest::newRow("+ at full span stops at once") << 0 << 1023 << 1 << 0 << 0;
        QTest::newRow("- at the left edge stops") << 0 << 500 << -1 << 0 << 0;
        QTest::newRow("+ moves 20") << 100 << 500 << 1 << 120 << 1;
        QTest::newRow("- moves 20") << 100 << 500 << -1 << 80 << -1;
        QTest::newRow("+ clamps at max start") << 510 << 500 << 1 << 523 << 0;
        QTest::newRow("- clamps at 0") << 10 << 500 << -1 << 0 << 0;
    }
    void hOffsetStep()
    {
        QFETCH(int, start);
        QFETCH(int, span);
        QFETCH(int, dir);
        PlotWindow w;
        w.PlotSpan = span;
        w.PlotStart = static_cast<int16_t>(start);
        EnterNormalLayout(w); // sets PlotMaxStart
        w.HOffsetDir = static_cast<int16_t>(dir);
        HOffsetStep(w);
        QTEST(int(w.PlotStart), "startAfter");
        QTEST(int(w.HOffsetDir), "dirAfter");
    }

    void layoutSwitchResetsWindow()
    {
        PlotWindow w;
        w.PlotSpan = 200;
        w.PlotStart = 300;
        QVERIFY(!EnterNormalLayout(w));
        QCOMPARE(int(w.PlotStart), 300);
        QCOMPARE(int(w.PlotMaxStart), 823);

        QVERIFY(EnterExtendedLayout(w));
        QCOMPARE(int(w.PlotMaxIndex), 3071);
        QCOMPARE(int(w.PlotSpan), 3071);
        QCOMPARE(int(w.PlotStart), 0);
        QCOMPARE(int(w.PlotMaxSpan), 3071);
        QCOMPARE(int(w.PlotMaxStart), 0);

        w.PlotSpan = 1000;
        w.PlotStart = 2000;
        QVERIFY(!EnterExtendedLayout(w)); // staying extended keeps the window
        QCOMPARE(int(w.PlotStart), 2000);
        QCOMPARE(int(w.PlotMaxStart), 2071);

        QVERIFY(EnterNormalLayout(w));
        QCOMPARE(int(w.PlotMaxIndex), 1023);
        QCOMPARE(int(w.PlotSpan), 1023);
        QCOMPARE(int(w.PlotStart), 0);
        QCOMPARE(int(w.PlotMaxSpan), 1023);
    }

    void normalRedrawKeepsStartInsideRecord()
    {
        PlotWindow w;
        w.PlotSpan = 20;
        w.PlotStart = 1010;
        EnterNormalLayout(w);
        QCOMPARE(int(w.PlotStart), 1003);
    }

    void edgeLabels()
    {
        PlotWindow w;
        w.PlotStart = 40;
        w.PlotSpan = 300;
        const EdgeTexts t = EdgeLabels(w);
        QCOMPARE(t.left, QStringLiteral("40"));
        QCOMPARE(t.right, QStringLiteral("340"));
        QCOMPARE(t.pointCount, QStringLiteral("300"));
    }

    void cursorText_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("xText");
        QTest::addColumn<QString>("yText");
        QTest::newRow("halves down to even") << 2.5 << 0.25 << "C" << "2" << "0.2";
        QTest::newRow("halves up to even") << 3.5 << 0.35 << "C" << "4" << "0.4";
        QTest::newRow("negative half") << -0.5 << -0.25 << "C" << "0" << "-0.2";
        QTest::newRow("no minus zero") << 1022.7 << -0.04 << "C" << "1023" << "0.0";
        QTest::newRow("plain") << 511.2 << 6.96 << "C" << "511" << "7.0";
        QTest::newRow("German comma") << 100.0 << -1.26 << "de_DE" << "100" << "-1,3";
    }
    void cursorText()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        QTEST(CursorXText(x), "xText");
        QTEST(CursorYText(y), "yText");
    }

    void readingFormat_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero keeps one decimal") << 0.0 << "C" << "0.0";
        QTest::newRow("whole") << 25.0 << "C" << "25.0";
        QTest::newRow("trailing zeros go") << 3.25 << "C" << "3.25";
        QTest::newRow("four decimals at most") << 3.299561 << "C" << "3.2996";
        QTest::newRow("negative") << -0.0955 << "C" << "-0.0955";
        QTest::newRow("tiny negative") << -0.00001 << "C" << "0.0";
        QTest::newRow("no group separator") << 1234.5 << "C" << "1234.5";
        QTest::newRow("German") << 625.47 << "de_DE" << "625,47";
        QTest::newRow("German large") << 1234.5 << "de_DE" << "1234,5";
    }
    void readingFormat()
    {
        QFETCH(double, value);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        QTEST(BufferReadout::FormatReading(value), "text");
    }

    void tracesAddOffsetsAndJoinBuffers()
    {
        using namespace CaptureRecord;
        for (int i = 0; i < 1024; ++i) {
            BufValue1[i] = i * 0.001;
            BufValue2[i] = 10 + i * 0.001;
            BufValue3[i] = 20 + i * 0.001;
        }
        Traces t;
        BuildNormalTraces(t, 1, -2, 3);
        QCOMPARE(t.PlotX[0], 1.0);
        QCOMPARE(t.PlotY[1023], -2 + 10 + 1.023);
        QCOMPARE(t.PlotZ[5], 3 + 20 + 0.005);
        QCOMPARE(t.PlotX[1024], 0.0);

        BuildExtendedTrace(t, -5);
        QCOMPARE(t.PlotExt[1023], -5 + 1.023);
        QCOMPARE(t.PlotExt[1024], -5 + 10.0);
        QCOMPARE(t.PlotExt[2047], -5 + 10 + 1.023);
        QCOMPARE(t.PlotExt[2048], -5 + 20.0);
        QCOMPARE(t.PlotExt[3071], -5 + 20 + 1.023);
        BufValue1.fill(0);
        BufValue2.fill(0);
        BufValue3.fill(0);
    }

    void mappingToPixels()
    {
        const UserScale s{100, 7, 300, -7};
        const double values[] = {7, -7, 0};
        std::vector<QPointF> pts;
        // Indexes outside the array are dropped.
        MapTrace(values, 3, -4, 10, s, 1000, 400, pts);
        QCOMPARE(pts.size(), size_t(3));
        QCOMPARE(pts[0], QPointF((0 - 100) * 999.0 / 200, 0));
        QCOMPARE(pts[1].y(), 399.0);
        QCOMPARE(pts[2].y(), 199.5);

        QCOMPARE(UserToPixel(s, 300, -7, 1000, 400), QPointF(999, 399));
        const QPointF u = PixelToUser(s, 999, 0, 1000, 400);
        QCOMPARE(u, QPointF(300, 7));
        const QPointF c = PixelToUser(s, 499.5, 199.5, 1000, 400);
        QCOMPARE(c, QPointF(200, 0));
    }
};

SB_TEST_MAIN(TestPlotModel)
#include "tst_plotmodel.moc"
