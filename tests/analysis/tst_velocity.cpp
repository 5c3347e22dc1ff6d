// Velocity RMS over 10..1000 Hz on records from the virtual sensor's averaging: tones read to 5 %
// where the record holds the band, tones outside it left out, "-" with a reason where it cannot.
#include "analysis/AmplitudeSpectrum.h"
#include "analysis/SampleRate.h"
#include "analysis/Statistics.h"
#include "sim/SignalModel.h"

#include <QtTest/QtTest>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "TestSupport.h"

using namespace analysis;

namespace {

// A record of `count` samples as the sensor takes it: each sample the mean of 2^exponent samples
// at the internal rate.
std::vector<double> Take(int product, int exponent, int count, const std::vector<sim::Tone>& tones, double offset = 0.0,
                         double start = 0.0)
{
    sim::SignalModel model = sim::SignalModel::Quiet();
    model.axis[0].offset = offset;
    model.axis[0].tones = tones;
    const double internal = product == 31470 ? 88000.0 : 64000.0;
    const int averaged = 1 << exponent;
    std::vector<double> x(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        x[static_cast<size_t>(i)] = model.Averaged(0, start + i * averaged / internal, averaged, internal);
    return x;
}

// RMS velocity in mm/s of a sine of `g` peak acceleration at `hz`.
double Closed(double g, double hz)
{
    return g * 9.80665 / (2 * std::numbers::pi * hz) / std::sqrt(2.0) * 1000.0;
}

ChannelStats StatsOf(int product, int exponent, const std::vector<double>& x)
{
    RecordView view;
    view.product = product;
    view.avgExponent = exponent;
    return ComputeStats(x.data(), static_cast<int>(x.size()), view, true);
}

} // namespace

class tst_velocity : public QObject {
    Q_OBJECT

private slots:
    // Which averagings hold the band: the lower edge needs 175 ms of record, the upper edge a
    // Nyquist frequency 2 bins above 1000 Hz. Extended records (3072 samples) are 3 times longer.
    void averagingsThatHoldTheBand_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("held");
        QTest::newRow("31473") << 31473 << 1024 << QList<int>{4};
        QTest::newRow("31470") << 31470 << 1024 << QList<int>{4, 5};
        QTest::newRow("31473 extended") << 31473 << 3072 << QList<int>{2, 3, 4};
        QTest::newRow("31470 extended") << 31470 << 3072 << QList<int>{3, 4, 5};
    }
    void averagingsThatHoldTheBand()
    {
        QFETCH(int, product);
        QFETCH(int, count);
        QFETCH(QList<int>, held);
        QList<int> got;
        for (int e = 0; e <= 10; ++e)
            if (CoverageOf(product, e, count).covered)
                got << e;
        QCOMPARE(got, held);
    }

    void defaultAveragingHoldsTheBandOnBothProducts()
    {
        QVERIFY(CoverageOf(31473, kDefaultAvgExponent, 1024).covered);
        QVERIFY(CoverageOf(31470, kDefaultAvgExponent, 1024).covered);
    }

    // Single tones through ComputeStats at every phase: at the band edges, between bins, at the
    // top where the sensor's averaging takes 10..20 % off, with an offset like gravity.
    void acceptedRecordsReadTonesWithinFivePercent_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("exponent");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("g");
        QTest::addColumn<double>("offset");
        QTest::newRow("31473 avg 16, 10 Hz") << 31473 << 4 << 1024 << 10.0 << 0.1 << 1.0;
        QTest::newRow("31473 avg 16, 12.7 Hz") << 31473 << 4 << 1024 << 12.7 << 2.0 << -1.0;
        QTest::newRow("31473 avg 16, 25 Hz") << 31473 << 4 << 1024 << 25.0 << 0.1 << 0.0;
        QTest::newRow("31473 avg 16, 50 Hz") << 31473 << 4 << 1024 << 50.0 << 0.1 << 0.0;
        QTest::newRow("31473 avg 16, 100 Hz") << 31473 << 4 << 1024 << 100.0 << 0.1 << 0.0;
        QTest::newRow("31473 avg 16, 1000 Hz") << 31473 << 4 << 1024 << 1000.0 << 3.0 << 1.0;
        QTest::newRow("31470 avg 16, 10 Hz") << 31470 << 4 << 1024 << 10.0 << 0.5 << 0.3;
        QTest::newRow("31470 avg 16, 999.5 Hz") << 31470 << 4 << 1024 << 999.5 << 1.0 << 0.0;
        QTest::newRow("31470 avg 32, 10 Hz") << 31470 << 5 << 1024 << 10.0 << 0.02 << 0.0;
        QTest::newRow("31470 avg 32, 1000 Hz") << 31470 << 5 << 1024 << 1000.0 << 1.0 << 0.0;
        QTest::newRow("31473 extended avg 4, 10 Hz") << 31473 << 2 << 3072 << 10.0 << 1.0 << 1.0;
        QTest::newRow("31473 extended avg 8, 1000 Hz") << 31473 << 3 << 3072 << 1000.0 << 1.0 << 0.0;
    }
    void acceptedRecordsReadTonesWithinFivePercent()
    {
        QFETCH(int, product);
        QFETCH(int, exponent);
        QFETCH(int, count);
        QFETCH(double, hz);
        QFETCH(double, g);
        QFETCH(double, offset);
        const double expected = Closed(g, hz);
        for (int p = 0; p < 12; ++p) {
            const double phase = 2 * std::numbers::pi * p / 12;
            const double v = StatsOf(product, exponent, Take(product, exponent, count, {{hz, g, phase}}, offset)).velocityRms;
            QVERIFY2(std::abs(v - expected) <= 0.05 * expected,
                     qPrintable(QString("phase %1: %2 mm/s, expected %3").arg(phase).arg(v).arg(expected)));
        }
    }

    // Away from the edges a tone reads to rounding, and tones add in power.
    void tonesWellInsideTheBandReadExactly_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<QList<double>>("hz");
        QTest::addColumn<QList<double>>("g");
        QTest::newRow("31473 off-bin") << 31473 << QList<double>{159.2} << QList<double>{0.5};
        QTest::newRow("31473 two tones") << 31473 << QList<double>{37.0, 610.3} << QList<double>{0.2, 1.5};
        QTest::newRow("31470 two tones") << 31470 << QList<double>{80.0, 330.0} << QList<double>{1.0, 1.0};
    }
    void tonesWellInsideTheBandReadExactly()
    {
        QFETCH(int, product);
        QFETCH(QList<double>, hz);
        QFETCH(QList<double>, g);
        std::vector<sim::Tone> tones;
        double power = 0;
        for (qsizetype i = 0; i < hz.size(); ++i) {
            tones.push_back({hz[i], g[i], 0.7 + i});
            power += Closed(g[i], hz[i]) * Closed(g[i], hz[i]);
        }
        const double v = StatsOf(product, 4, Take(product, 4, 1024, tones, 1.0)).velocityRms;
        QVERIFY2(std::abs(v - std::sqrt(power)) <= 0.003 * std::sqrt(power),
                 qPrintable(QString("%1 mm/s, expected %2").arg(v).arg(std::sqrt(power))));
    }

    // Broadband vibration, not only tones: white noise of 0.01 g per sample. Its one-sided density
    // 2 sigma^2 / fs, integrated as velocity over 10..1000 Hz, against the mean square of 400 records.
    void whiteNoiseReadsItsBandPower()
    {
        const double fs = 4000, sigma = 0.01;
        std::mt19937 rng(7);
        const auto uniform = [&rng] { return (rng() + 0.5) / 4294967296.0; };
        double sum = 0;
        const int records = 400;
        for (int r = 0; r < records; ++r) {
            std::vector<double> x(1024);
            for (double& v : x) // Box-Muller
                v = 1.0 + sigma * std::sqrt(-2 * std::log(uniform())) * std::cos(2 * std::numbers::pi * uniform());
            const double v = VelocityRms(x.data(), 1024, fs);
            sum += v * v;
        }
        const double scale = 9.80665 * 1000 / (2 * std::numbers::pi);
        const double expected = 2 * sigma * sigma / fs * scale * scale * (1 / 10.0 - 1 / 1000.0);
        QVERIFY2(std::abs(sum / records - expected) < 0.05 * expected,
                 qPrintable(QString("%1 vs %2 (mm/s)^2").arg(sum / records).arg(expected)));
    }

    // Outside the band: 5.5 Hz and below (a 5 Hz tone's Hann lobe reaches past 10 Hz; between
    // 5.5 and 10 Hz the edge rolls in), above it, and a large offset with a strong tone above the
    // band, which must leave nothing at the lowest bins, where velocity weighs most.
    void outOfBandTonesAddUnderATenthPerG_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("exponent");
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("g");
        QTest::addColumn<double>("offset");
        QTest::newRow("31473 5 Hz") << 31473 << 4 << 5.0 << 1.0 << 0.0;
        QTest::newRow("31473 3 Hz") << 31473 << 4 << 3.0 << 2.0 << 1.0;
        QTest::newRow("31473 1210 Hz, offset 5 g") << 31473 << 4 << 1210.0 << 10.0 << 5.0;
        QTest::newRow("31473 2 kHz") << 31473 << 4 << 2000.0 << 1.0 << 0.0;
        QTest::newRow("31470 5 Hz") << 31470 << 4 << 5.0 << 1.0 << 0.0;
        QTest::newRow("31470 4 Hz, offset 2 g") << 31470 << 4 << 4.0 << 1.0 << 2.0;
        QTest::newRow("31470 1210 Hz, offset -5 g") << 31470 << 4 << 1210.0 << 10.0 << -5.0;
        QTest::newRow("31470 2 kHz") << 31470 << 4 << 2000.0 << 1.0 << 0.0;
        QTest::newRow("31470 avg 32, 5 Hz") << 31470 << 5 << 5.0 << 1.0 << 1.0;
        QTest::newRow("31470 avg 32, 1210 Hz") << 31470 << 5 << 1210.0 << 10.0 << 5.0;
    }
    void outOfBandTonesAddUnderATenthPerG()
    {
        QFETCH(int, product);
        QFETCH(int, exponent);
        QFETCH(double, hz);
        QFETCH(double, g);
        QFETCH(double, offset);
        for (int p = 0; p < 12; ++p) {
            const double phase = 2 * std::numbers::pi * p / 12;
            const double v = StatsOf(product, exponent, Take(product, exponent, 1024, {{hz, g, phase}}, offset)).velocityRms;
            QVERIFY2(v < 0.1 * g, qPrintable(QString("phase %1: %2 mm/s").arg(phase).arg(v)));
        }
    }

    // An out-of-band tone beside an in-band one does not change its figure.
    void lowToneBesideAnInBandOneIsLeftOut()
    {
        const double v = StatsOf(31470, 4, Take(31470, 4, 1024, {{25.0, 0.1, 0.4}, {5.0, 1.0, 2.0}}, 1.0)).velocityRms;
        QVERIFY2(std::abs(v - Closed(0.1, 25.0)) <= 0.01 * Closed(0.1, 25.0), qPrintable(QString::number(v)));
    }

    // Records that cannot hold the band: no figure however clean the signal, and a sentence that
    // names the averaging that would do and this record's numbers.
    void recordsThatCannotHoldTheBandSayWhy_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("exponent");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("31473 avg 1: too short") << 31473 << 0 << QStringList{"averaging 16:", "64000 Hz", "16.0 ms"};
        QTest::newRow("31473 avg 8: too short") << 31473 << 3 << QStringList{"averaging 16:", "8000 Hz", "128.0 ms"};
        QTest::newRow("31473 avg 32: Nyquist on the edge") << 31473 << 5 << QStringList{"averaging 16:", "1000 Hz"};
        QTest::newRow("31473 avg 64: Nyquist below") << 31473 << 6 << QStringList{"averaging 16:", "500 Hz"};
        QTest::newRow("31470 avg 1: too short") << 31470 << 0 << QStringList{"averaging 16 or 32:", "88000 Hz"};
        QTest::newRow("31470 avg 64: Nyquist below") << 31470 << 6 << QStringList{"averaging 16 or 32:", "687.5 Hz"};
    }
    void recordsThatCannotHoldTheBandSayWhy()
    {
        QFETCH(int, product);
        QFETCH(int, exponent);
        QFETCH(QStringList, words);
        const ChannelStats st = StatsOf(product, exponent, Take(product, exponent, 1024, {{40.0, 1.0, 0.2}}));
        QVERIFY(std::isnan(st.velocityRms));
        for (const QString& w : words)
            QVERIFY2(st.velocityNote.contains(w), qPrintable(st.velocityNote));
    }

    // Records that hold the band but whose averaging lowered the Nyquist frequency below the
    // sensor's: vibration above it folds in, and the note says from where.
    void foldNoteWhereAveragingLowersNyquist_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("exponent");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("31473 avg 16") << 31473 << 4 << 1024 << QStringList{"Averaging 16", "2000 Hz", "32000 Hz", "fold"};
        QTest::newRow("31470 avg 32") << 31470 << 5 << 1024 << QStringList{"Averaging 32", "1375 Hz", "44000 Hz", "fold"};
        QTest::newRow("31473 extended avg 4") << 31473 << 2 << 3072 << QStringList{"Averaging 4", "8000 Hz", "fold"};
    }
    void foldNoteWhereAveragingLowersNyquist()
    {
        QFETCH(int, product);
        QFETCH(int, exponent);
        QFETCH(int, count);
        QFETCH(QStringList, words);
        const ChannelStats st = StatsOf(product, exponent, Take(product, exponent, count, {{40.0, 1.0, 0.2}}));
        QVERIFY(!std::isnan(st.velocityRms));
        for (const QString& w : words)
            QVERIFY2(st.velocityNote.contains(w), qPrintable(st.velocityNote));
    }

    // Channels that are not acceleration have neither figure nor note.
    void noVelocityNorNoteForOtherChannels()
    {
        const std::vector<double> x = Take(31470, 4, 1024, {{40.0, 1.0, 0.2}});
        RecordView view;
        view.product = 31470;
        view.avgExponent = 4;
        const ChannelStats st = ComputeStats(x.data(), 1024, view, false);
        QVERIFY(std::isnan(st.velocityRms));
        QVERIFY(st.velocityNote.isEmpty());
    }

    // Given only the sample rate, the product and averaging are the ones that give it.
    void sampleRateTellsProductAndAveraging_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("exponent");
        QTest::newRow("31473 avg 16") << 31473 << 4;
        QTest::newRow("31470 avg 16") << 31470 << 4;
        QTest::newRow("31470 avg 32") << 31470 << 5;
        QTest::newRow("31473 avg 1") << 31473 << 0;
    }
    void sampleRateTellsProductAndAveraging()
    {
        QFETCH(int, product);
        QFETCH(int, exponent);
        const std::vector<double> x = Take(product, exponent, 1024, {{900.0, 1.0, 0.2}, {12.0, 0.3, 1.0}});
        const ChannelStats byRate = ComputeStats(x.data(), 1024, SampleRate(product, exponent), true);
        const ChannelStats byView = StatsOf(product, exponent, x);
        QCOMPARE(byRate.velocityNote, byView.velocityNote);
        QVERIFY(std::isnan(byRate.velocityRms) ? std::isnan(byView.velocityRms) : byRate.velocityRms == byView.velocityRms);
    }

    void unknownSampleRateHasNoVelocity()
    {
        const std::vector<double> x = Take(31473, 4, 1024, {{100.0, 1.0, 0.2}});
        const ChannelStats st = ComputeStats(x.data(), 1024, 4100.0, true);
        QVERIFY(std::isnan(st.velocityRms));
        QVERIFY2(st.velocityNote.contains("4100 Hz"), qPrintable(st.velocityNote));
    }
};

SB_TEST_MAIN(tst_velocity)
#include "tst_velocity.moc"
