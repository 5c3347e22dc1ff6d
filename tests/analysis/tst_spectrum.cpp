// Spectrum, statistics, channel layout and CSV export on synthetic records.
#include "../sim/SimTestBench.h"
#include "analysis/Export.h"
#include "analysis/AmplitudeSpectrum.h"
#include "analysis/Statistics.h"
#include "capture/CaptureRecord.h"

#include <QTemporaryDir>
#include <cmath>
#include <numbers>
#include <vector>

using namespace analysis;

namespace {

std::vector<double> Sine(int n, double fs, double hz, double amplitude, double phase = 0.3, double offset = 0.0)
{
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = offset + amplitude * std::sin(2 * std::numbers::pi * hz * i / fs + phase);
    return x;
}

void FillRecord(const std::vector<double>& a, const std::vector<double>& b, const std::vector<double>& c)
{
    for (size_t i = 0; i < 1024; ++i) {
        CaptureRecord::BufValue1[i] = a[i];
        CaptureRecord::BufValue2[i] = b[i];
        CaptureRecord::BufValue3[i] = c[i];
        CaptureRecord::BufRaw1[i] = std::round(a[i] * 1000);
        CaptureRecord::BufRaw2[i] = std::round(b[i] * 1000);
        CaptureRecord::BufRaw3[i] = std::round(c[i] * 1000);
    }
}

} // namespace

class tst_spectrum : public QObject {
    Q_OBJECT

private slots:
    // Hann and rectangular peaks are interpolated between bins, which is exact for one sine but
    // for the leakage of its mirror image; flat-top reads the peak bin, with under 0.01 dB
    // (0.12 %) scalloping loss and at most half a bin off.
    void sineFoundAtItsFrequencyAndAmplitude_data()
    {
        tb::Columns<int, int, double, double, double>({"window", "n", "hz", "amplitudeTolerance", "binTolerance"});
        QTest::newRow("flat-top half bin") << int(Window::FlatTop) << 1024 << 62.5 * 19.5 << 0.0012 << 0.5;
        QTest::newRow("flat-top 3072 odd freq") << int(Window::FlatTop) << 3072 << 2450.0 << 0.0012 << 0.5;
        QTest::newRow("hann half bin") << int(Window::Hann) << 1024 << 62.5 * 40.5 << 0.001 << 0.01;
        QTest::newRow("hann 3072, below the peak bin") << int(Window::Hann) << 3072 << 62.5 * 200.8 << 0.001 << 0.01;
        QTest::newRow("rectangular on bin") << int(Window::Rectangular) << 1024 << 62.5 * 7 << 0.001 << 0.01;
        QTest::newRow("rectangular off bin") << int(Window::Rectangular) << 1024 << 62.5 * 100.3 << 0.001 << 0.01;
    }
    void sineFoundAtItsFrequencyAndAmplitude()
    {
        QFETCH(int, window);
        QFETCH(int, n);
        QFETCH(double, hz);
        QFETCH(double, amplitudeTolerance);
        QFETCH(double, binTolerance);
        const double fs = n == 1024 ? 64000.0 : 64000.0 * 3; // 62.5 Hz bins either way
        const double amplitude = 1.7;
        const Spectrum s = ComputeSpectrum(Sine(n, fs, hz, amplitude, 0.3, 1.0), fs, Window(window));
        QCOMPARE(int(s.amplitude.size()), n / 2 + 1);
        QVERIFY2(std::abs(s.PeakFrequency() - hz) <= binTolerance * s.resolution + 1e-9,
                 qPrintable(QString("peak at %1 Hz").arg(s.PeakFrequency())));
        QVERIFY2(std::abs(s.PeakAmplitude() - amplitude) <= amplitudeTolerance * amplitude,
                 qPrintable(QString("amplitude %1").arg(s.PeakAmplitude())));
        // The offset of 1 is removed before the transform, to rounding.
        QVERIFY2(s.amplitude[0] < 1e-5, qPrintable(QString::number(s.amplitude[0])));
    }

    // A large offset under a strong tone between bins: the window-weighted mean takes the offset
    // away whole, where the plain mean of a record of no whole number of periods would leave up to
    // 0.15 g of it for the window to spread into bin 1.
    void offsetLeavesTheLowestBinsEmpty_data()
    {
        tb::Columns<int>({"window"});
        QTest::newRow("hann") << int(Window::Hann);
        QTest::newRow("flat-top") << int(Window::FlatTop);
    }
    void offsetLeavesTheLowestBinsEmpty()
    {
        QFETCH(int, window);
        for (int p = 0; p < 8; ++p) {
            const Spectrum s = ComputeSpectrum(Sine(1024, 64000, 1210, 10.0, p * 0.8, 5.0), 64000, Window(window));
            QVERIFY2(s.amplitude[1] < 0.005 && s.amplitude[2] < 0.005,
                     qPrintable(QString("phase %1: %2, %3 g").arg(p * 0.8).arg(s.amplitude[1]).arg(s.amplitude[2])));
            QVERIFY(std::abs(s.PeakFrequency() - 1210) <= 0.5 * s.resolution); // flat-top reads its bin
        }
    }

    // The velocity of a plain sampled sine (no sensor averaging to undo), from the record.
    void velocityRmsOfASine_data()
    {
        tb::Columns<double, double, double>({"hz", "g", "offset"});
        QTest::newRow("159.2 Hz 0.5 g off bin") << 159.2 << 0.5 << 0.0;
        QTest::newRow("500 Hz 2 g with 1 g offset") << 500.0 << 2.0 << 1.0;
        QTest::newRow("1500 Hz 3 g: above the band") << 1500.0 << 3.0 << 0.0;
        QTest::newRow("6 Hz 1 g: below the band") << 6.0 << 1.0 << 0.0;
    }
    void velocityRmsOfASine()
    {
        QFETCH(double, hz);
        QFETCH(double, g);
        QFETCH(double, offset);
        const double fs = 4000; // 3.9 Hz bins
        const std::vector<double> x = Sine(1024, fs, hz, g, 0.3, offset);
        const double inBand = g * kStandardGravity / (2 * std::numbers::pi * hz) / std::sqrt(2.0) * 1000.0;
        const bool outside = hz < kVelocityBandLow || hz > kVelocityBandHigh;
        const double v = VelocityRms(x.data(), int(x.size()), fs);
        if (outside)
            QVERIFY2(v < 0.1 * g, qPrintable(QString("%1 mm/s").arg(v)));
        else
            QVERIFY2(std::abs(v - inBand) < 0.002 * inBand, qPrintable(QString("%1 vs %2 mm/s").arg(v).arg(inBand)));
    }

    void statisticsOfKnownShapes_data()
    {
        tb::Columns<QString, double, double, double, double, double>(
            {"shape", "mean", "rms", "p2p", "crest", "kurtosis"});
        QTest::newRow("sine") << "sine" << 0.5 << 2.0 / std::sqrt(2.0) << 4.0 << std::sqrt(2.0) << 1.5;
        QTest::newRow("square") << "square" << -0.2 << 1.5 << 3.0 << 1.0 << 1.0;
    }
    void statisticsOfKnownShapes()
    {
        QFETCH(QString, shape);
        QFETCH(double, mean);
        QFETCH(double, rms);
        QFETCH(double, p2p);
        QFETCH(double, crest);
        QFETCH(double, kurtosis);
        const double fs = 64000;
        std::vector<double> x;
        if (shape == "sine") {
            x = Sine(1024, fs, 62.5 * 16, 2.0, std::numbers::pi / 2, 0.5); // whole periods, touches both peaks
        } else {
            for (int i = 0; i < 1024; ++i)
                x.push_back(-0.2 + ((i / 32) % 2 ? 1.5 : -1.5)); // 1000 Hz square
        }
        const ChannelStats st = ComputeStats(x.data(), int(x.size()), fs, true);
        QVERIFY(std::abs(st.mean - mean) < 1e-9);
        QVERIFY(std::abs(st.acRms - rms) < 1e-9);
        QVERIFY(std::abs(st.peakToPeak - p2p) < 1e-9);
        QVERIFY(std::abs(st.crestFactor - crest) < 1e-6);
        QVERIFY(std::abs(st.kurtosis - kurtosis) < 1e-3);
        QVERIFY(std::abs(st.dominantHz - 1000.0) < 1.0);
    }

    void flatRecordHasNoShape()
    {
        const std::vector<double> x(1024, 0.25);
        const ChannelStats st = ComputeStats(x.data(), 1024, 64000, false);
        QCOMPARE(st.acRms, 0.0);
        QCOMPARE(st.crestFactor, 0.0);
        QCOMPARE(st.dominantHz, 0.0);
        QVERIFY(std::isnan(st.velocityRms)); // not acceleration
        QVERIFY(st.velocityNote.isEmpty());
    }

    void recordChannelsFollowLayout()
    {
        FillRecord(std::vector<double>(1024, 1.0), std::vector<double>(1024, 2.0), std::vector<double>(1024, 3.0));
        RecordView v;
        v.product = 31470;
        auto ch = RecordChannels(v, CaptureRecord::Last);
        QCOMPARE(int(ch.size()), 3);
        QVERIFY(ch[0].acceleration && !ch[1].acceleration && !ch[2].acceleration);
        v.product = 31473;
        v.extended = true;
        v.extendedAxis = 1;
        ch = RecordChannels(v, CaptureRecord::Last);
        QCOMPARE(int(ch.size()), 1);
        QCOMPARE(int(ch[0].samples.size()), 3072);
        QCOMPARE(ch[0].samples[1023], 1.0);
        QCOMPARE(ch[0].samples[1024], 2.0);
        QCOMPARE(ch[0].samples[3071], 3.0);
        v.raw = true;
        QCOMPARE(RecordChannels(v, CaptureRecord::Last)[0].samples[2048], 3000.0);
    }

    void csvHoldsEveryChannelAndTime()
    {
        FillRecord(Sine(1024, 64000, 1250, 1.0), std::vector<double>(1024, -0.5), std::vector<double>(1024, 0.125));
        RecordView v;
        v.avgExponent = 4; // 4000 Hz
        QTemporaryDir dir;
        const QString path = dir.filePath("capture.csv");
        QVERIFY(WriteCaptureCsv(path, v, CaptureRecord::Last));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 1 + 1024 + 1); // header, samples, empty after the last newline
        QCOMPARE(lines[0], QByteArray("sample,time_s,X acc (g),Y acc (g),Z acc (g),X acc (counts),Y acc (counts),"
                                      "Z acc (counts)"));
        const QList<QByteArray> row = lines[3].split(',');
        QCOMPARE(row.size(), 8);
        QCOMPARE(row[1].toDouble(), 2 / 4000.0);
        QCOMPARE(row[3], QByteArray("-0.5"));
        QCOMPARE(row[7], QByteArray("125"));

        QString error;
        QVERIFY(!WriteCaptureCsv(dir.filePath("missing/dir/x.csv"), v, CaptureRecord::Last, &error));
        QVERIFY(!error.isEmpty());
    }
};

SB_TEST_MAIN(tst_spectrum)
#include "tst_spectrum.moc"
