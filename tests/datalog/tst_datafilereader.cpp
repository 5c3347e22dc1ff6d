// Data files read back: what the writer wrote comes back sample for sample, and a damaged
// file is refused with the line that is wrong.
#include "../capture/CaptureTestBench.h"
#include "analysis/ui/GuiAnalysis.h"
#include "analysis/ui/AnalysisPanelWidget.h"
#include "capture/BufferReadout.h"
#include "datalog/DataFile.h"
#include "datalog/DataFileReader.h"
#include "analysis/SampleRate.h"
#include <QTableWidget>
#include <QTemporaryDir>

const QDateTime kWritten(QDate(2026, 3, 7), QTime(21, 5, 4));

namespace {
// The program set to the other product, as a window or script would be when it reads the file.
void SetProgramTo(int product)
{
    Module1::ProductNumber = static_cast<int16_t>(product);
    product == 31470 ? BuildTable31470() : BuildTable31473();
}
int Other(int product) { return product == 31470 ? 31473 : 31470; }

// A capture as the read-out makes it: counts through the register conversion of the product.
void FillCapture(int product)
{
    using namespace CaptureRecord;
    Last = {};
    Last.product = product;
    Last.avgExponent = 5;
    Last.supply = double(3.3042f);
    Last.temp = double(-12.5f);
    Last.peakX = -35;
    Last.peakY = 1021;
    Last.peakZ = 7;
    Last.time = kWritten;
    Last.complete = true;
    const RegisterMap& map = RegisterMapFor(product);
    const std::array<int16_t, 3> rows{map.idxCAPT_BUF1, map.idxCAPT_BUF2, map.idxCAPT_BUF3};
    for (size_t c = 0; c < 3; ++c)
        for (int i = 0; i < 1024; ++i) {
            const int word = (i * (37 + 11 * int(c)) + 5) % 16384; // every bit pattern of 14 bits in turn
            Last.raw[c][size_t(i)] = map.RawOf(rows[c], word);
            Last.value[c][size_t(i)] = map.ScaledValue(rows[c], Last.raw[c][size_t(i)]);
        }
}
} // namespace

class TestDataFileReader : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString WriteFile(const QString& locale, bool scaled)
    {
        DataLog::ResetState();
        DataLog::SetLocale(QLocale(locale));
        DataLog::FileDir = dir.path() + QLatin1Char('/');
        DataLog::Format = scaled ? DataLog::DataFormat::Scaled : DataLog::DataFormat::LSB;
        DataLog::SetClock([] { return kWritten; });
        const DataLog::WriteResult w = DataLog::WriteNextDataFile();
        return w.ok ? w.path : QString(); // read back in the same locale
    }

private slots:
    void cleanup()
    {
        DataLog::ResetState();
        DataLog::ResetLocale();
        DataLog::SetClock({});
    }

    void readsBackWhatWasWritten_data()
    {
        tb::Columns<int, QString, bool>({"product", "locale", "scaled"});
        QTest::newRow("tri-axis, counts, comma") << 31473 << "en_US" << false;
        QTest::newRow("tri-axis, g, comma") << 31473 << "en_US" << true;
        QTest::newRow("single axis, counts, tab and decimal comma") << 31470 << "de_DE" << false;
        QTest::newRow("single axis, g, tab and decimal comma") << 31470 << "de_DE" << true;
    }
    void readsBackWhatWasWritten()
    {
        QFETCH(int, product);
        QFETCH(QString, locale);
        QFETCH(bool, scaled);
        tb::UseUsbCard(product);
        FillCapture(product);
        const CaptureRecord::Record written = CaptureRecord::Last;
        StatusDisplay::StatusBits.fill(QStringLiteral("0"));
        StatusDisplay::StatusBits[7] = StatusDisplay::StatusBits[12] = QStringLiteral("1");
        const QString path = WriteFile(locale, scaled);
        QVERIFY(!path.isEmpty());

        // Read back while the program is set to the other sensor: the file's own product decides.
        SetProgramTo(Other(product));
        CaptureRecord::Record read;
        const DataLog::ReadResult r = DataLog::ReadDataFile(path, product, 0, read);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.scaled, scaled);
        QCOMPARE(read.avgExponent, 5);
        QCOMPARE(read.supply, written.supply);
        QCOMPARE(read.temp, written.temp);
        QCOMPARE(read.peakX, written.peakX);
        QCOMPARE(read.peakY, written.peakY);
        QCOMPARE(read.peakZ, written.peakZ);
        QVERIFY(read.complete);
        QCOMPARE(read.sampleRate, analysis::SampleRate(product, 5));
        QCOMPARE(analysis::RecordChannels(analysis::ViewOfRecord(read), read)[1].name,
                 product == 31470 ? QStringLiteral("ADC 0") : QStringLiteral("Y acc"));
        QCOMPARE(read.time, kWritten); // as the file states it, in the writer's locale
        for (size_t b = 0; b < 15; ++b)
            QCOMPARE(r.statusBits[b], b == 7 || b == 12);
        for (size_t c = 0; c < 3; ++c)
            for (size_t i = 0; i < 1024; ++i) {
                if (read.value[c][i] != written.value[c][i] || read.raw[c][i] != written.raw[c][i])
                    QFAIL(qPrintable(QStringLiteral("buffer %1 sample %2: %3/%4 read as %5/%6")
                                         .arg(c + 1).arg(i).arg(written.value[c][i]).arg(written.raw[c][i])
                                         .arg(read.value[c][i]).arg(read.raw[c][i])));
            }
    }

    void damagedFileNamesTheLine_data()
    {
        // line (1-based) replaced by text, or removed when text is null
        tb::Columns<int, QString, QString>({"line", "text", "error"});
        QTest::newRow("not a data file") << 1 << "Hello" << "d.csv, line 1: not a data file of this program";
        QTest::newRow("averaging not a power of two") << 4 << "AVG_Cnt,3" << "d.csv, line 4: AVG_Cnt 3";
        QTest::newRow("supply not a number") << 5 << "Capt_Supply,x" << "d.csv, line 5: \"x\" is not a number";
        QTest::newRow("status bits cut short") << 13 << "0,0,0" << "d.csv, line 13: expected the 15 status bits";
        QTest::newRow("a sample with a field missing") << 500 << "484,1,2" << "d.csv, line 500: expected the sample number";
        QTest::newRow("samples out of order") << 17 << "2,1,2,3" << "d.csv, line 17: expected sample number 1";
        QTest::newRow("a value that is not a number") << 1039 << "1023,1,2,z" << "d.csv, line 1039: \"z\"";
        QTest::newRow("last sample missing") << 1039 << QString() << "d.csv, line 1039: the file ends after 1023 of 1024";
    }
    void damagedFileNamesTheLine()
    {
        QFETCH(int, line);
        QFETCH(QString, text);
        QFETCH(QString, error);
        tb::UseUsbCard(31473);
        FillCapture(31473);
        QFile f(WriteFile(QStringLiteral("en_US"), false));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().split('\n');
        if (text.isNull())
            lines.removeAt(line - 1);
        else
            lines[line - 1] = text.toUtf8() + '\r';
        CaptureRecord::Record read;
        read.supply = 42;
        const DataLog::ReadResult r = DataLog::ParseDataFile(lines.join('\n'), QStringLiteral("d.csv"), 31473, 0, read);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.startsWith(error), qPrintable(r.error));
        QCOMPARE(read.supply, 42.0); // nothing half-read
    }

    // "Open Data File..." shows the file in the plot, the spectrum, the statistics and Buffer Data,
    // read as the sensor the user names, whatever the window is set to.
    void mainWindowOpensAFile_data()
    {
        tb::Columns<int, bool>({"product", "scaled"});
        QTest::newRow("31470 counts in a 31473 window") << 31470 << false;
        QTest::newRow("31473 g in a 31470 window") << 31473 << true;
    }
    void mainWindowOpensAFile()
    {
        QFETCH(int, product);
        QFETCH(bool, scaled);
        frmForm1* w = tb::OpenMainWindow();
        FillCapture(product);
        const CaptureRecord::Record written = CaptureRecord::Last;
        const QString path = WriteFile(QStringLiteral("en_US"), scaled);
        w->SetProductNumber(static_cast<int16_t>(Other(product)));
        CaptureRecord::Last = {};
        QVERIFY(w->OpenDataFile(path, product, 0));
        for (size_t c = 0; c < 3; ++c)
            QCOMPARE(CaptureRecord::Last.value[c][100], written.value[c][100]);
        QCOMPARE(CaptureRecord::Last.sampleRate, analysis::SampleRate(product, 5));
        QCOMPARE(w->FrameDataPLot->Traces.PlotX[100], written.value[0][100]);
        QCOMPARE(w->LbLSupply->text(), QStringLiteral("3.3042"));
        // Peaks scaled as a read-out of the same words on that sensor would show them.
        const RegisterMap& map = RegisterMapFor(product);
        const std::array<int16_t, 3> peakRows{map.idxCAPT_PEAK_X, map.idxCAPT_PEAK_Y, map.idxCAPT_PEAK_Z};
        const std::array<int, 3> peakWords{-35, 1021, 7};
        const std::array<QLabel*, 3> peakLabels{w->LbLXpk, w->LbLADC0, w->LbLADC1};
        for (size_t i = 0; i < 3; ++i)
            QCOMPARE(peakLabels[i]->text(), BufferReadout::FormatReading(map.ScaledValue(peakRows[i], peakWords[i])));
        QTableWidget* table = GuiAnalysis::Panel(w)->tblStats;
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(2, 0)->text(), product == 31470 ? QStringLiteral("ADC 1") : QStringLiteral("Z acc"));
        QVERIFY2(w->StatusBarText().contains(QStringLiteral("Showing %1 as %2, Manual (read-only)")
                                                 .arg(QFileInfo(path).fileName()).arg(product)),
                 qPrintable(w->StatusBarText()));
        QVERIFY(sbtest::MessageTexts().isEmpty());

        QFile bad(dir.filePath(QStringLiteral("bad.csv")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("File Name,bad.csv\r\nDate,1\r\n");
        bad.close();
        QVERIFY(!w->OpenDataFile(bad.fileName(), product, 0));
        QCOMPARE(sbtest::MessageTexts().size(), 1);
        QVERIFY(sbtest::MessageTexts().first().contains(QStringLiteral("bad.csv, line 4")));
        QCOMPARE(CaptureRecord::Last.value[0][100], written.value[0][100]); // the shown capture stays
        frmForm1::destroyInstance();
    }
};

SB_TEST_MAIN(TestDataFileReader)
#include "tst_datafilereader.moc"
