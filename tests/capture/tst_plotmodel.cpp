// The plot's window arithmetic, scale cycle, trace arrays and cursor/number texts, without widgets.
#include "../sim/SimTestBench.h"
#include "capture/BufferReadout.h"
#include "capture/PlotModel.h"

using namespace PlotModel;

class TestPlotModel : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void hScaleStep_data()
    {
        tb::Columns<int, int, int, int, int, int, int>(
            {"maxIndex", "start", "span", "dir", "spanAfter", "dirAfter", "startAfter"});
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

    void normalRedrawKeepsStartInsideRecord()
    {
        PlotWindow w;
        w.PlotSpan = 20;
        w.PlotStart = 1010;
        EnterNormalLayout(w);
        QCOMPARE(int(w.PlotStart), 1003);
    }

    void cursorText_data()
    {
        tb::Columns<double, double, QString, QString, QString>({"x", "y", "locale", "xText", "yText"});
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
        tb::Columns<double, QString, QString>({"value", "locale", "text"});
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
