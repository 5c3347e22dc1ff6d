#include "datalog/DataFileReader.h"
#include "capture/CaptureSettings.h"
#include "analysis/SampleRate.h"
#include "datalog/DataFile.h"
#include "registers/m470Reg.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace DataLog {

namespace {
constexpr int kFirstSampleLine = 16; // 1-based, as an editor counts
constexpr int kSamples = 1024;

struct Parser {
    QStringList lines;
    QChar sep;
    QString name;
    QString error;

    bool Fail(int line, const QString& what)
    {
        error = QStringLiteral("%1, line %2: %3").arg(name).arg(line).arg(what);
        return false;
    }

    // The number as written: the locale's decimal mark (a comma goes with the tab separator),
    // no grouping, a typographic minus allowed.
    static bool Number(QString text, double& v)
    {
        text = text.trimmed();
        text.replace(QChar(0x2212), QLatin1Char('-'));
        text.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        v = text.toDouble(&ok);
        return ok && std::isfinite(v);
    }

    // "Title" S value on line `line`.
    bool Field(int line, const QString& title, double& v)
    {
        const QStringList f = lines.value(line - 1).split(sep);
        if (f.size() != 2 || f[0] != title)
            return Fail(line, QStringLiteral("expected \"%1\" and a value").arg(title));
        if (!Number(f[1], v))
            return Fail(line, QStringLiteral("\"%1\" is not a number").arg(f[1]));
        return true;
    }
};

// The date and time lines, read in the writer's locale.
QDateTime StatedTime(const QString& dateText, const QString& timeText)
{
    const QLocale locale = Locale();
    QDate date = locale.toDate(dateText.trimmed(), QLocale::ShortFormat);
    if (date.isValid() && date.year() < 1970)
        date = date.addYears(100); // two-digit years
    const QTime time = locale.toTime(timeText.trimmed(), TimePatternWithSeconds(locale));
    return date.isValid() && time.isValid() ? QDateTime(date, time) : QDateTime();
}
} // namespace

ReadResult ParseDataFile(const QByteArray& bytes, const QString& name, int product, int modeIndex,
                         CaptureRecord::Record& out)
{
    ReadResult result;
    Parser p;
    p.name = name;
    p.lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    for (QString& l : p.lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    while (!p.lines.isEmpty() && p.lines.last().isEmpty())
        p.lines.removeLast();

    if (!p.lines.value(0).startsWith(QLatin1String("File Name,"))) {
        p.Fail(1, QStringLiteral("not a data file of this program (no \"File Name,\")"));
        return {false, false, p.error};
    }
    const QString date = p.lines.value(1);
    if (!date.startsWith(QLatin1String("Date")) || date.size() < 5 ||
        (date[4] != QLatin1Char(',') && date[4] != QLatin1Char('\t'))) {
        p.Fail(2, QStringLiteral("expected \"Date\" and a separator"));
        return {false, false, p.error};
    }
    p.sep = date[4];

    CaptureRecord::Record r;
    r.product = product == 31470 ? 31470 : 31473;
    r.modeIndex = modeIndex;
    r.captCtrl = CaptureSettings::ComposeCaptCtrl(false, modeIndex, 0, false, false);
    const QStringList dateFields = date.split(p.sep);
    const QStringList timeFields = p.lines.value(2).split(p.sep);
    if (dateFields.size() == 2 && timeFields.size() == 2 && timeFields[0] == QLatin1String("Time"))
        r.time = StatedTime(dateFields[1], timeFields[1]);
    double avg = 1;
    if (!p.Field(4, QStringLiteral("AVG_Cnt"), avg) || !p.Field(5, QStringLiteral("Capt_Supply"), r.supply) ||
        !p.Field(6, QStringLiteral("Capt_Temp 'C"), r.temp) || !p.Field(7, QStringLiteral("Capt_Xpk"), r.peakX) ||
        !p.Field(8, QStringLiteral("Capt_ADC0pk"), r.peakY) || !p.Field(9, QStringLiteral("Capt_ADC1pk"), r.peakZ))
        return {false, false, p.error};
    const int exponent = avg >= 1 ? static_cast<int>(std::lround(std::log2(avg))) : -1;
    if (exponent < 0 || exponent > 10 || std::ldexp(1.0, exponent) != avg) {
        p.Fail(4, QStringLiteral("AVG_Cnt %1 is not a power of two from 1 to 1024").arg(avg));
        return {false, false, p.error};
    }
    r.avgExponent = exponent;

    // Line 13: the status bits, bit 14 first; blank when the status was not known.
    const QStringList bits = p.lines.value(12).split(p.sep);
    if (bits.size() != 15) {
        p.Fail(13, QStringLiteral("expected the 15 status bits"));
        return {false, false, p.error};
    }
    for (int i = 0; i < 15; ++i)
        result.statusBits[static_cast<size_t>(14 - i)] = bits[i].trimmed() == QLatin1String("1");

    if (p.lines.size() < kFirstSampleLine - 1 + kSamples) {
        p.Fail(p.lines.size() + 1, QStringLiteral("the file ends after %1 of %2 samples")
                                       .arg(std::max<qsizetype>(0, p.lines.size() - (kFirstSampleLine - 1)))
                                       .arg(kSamples));
        return {false, false, p.error};
    }
    if (p.lines.size() > kFirstSampleLine - 1 + kSamples) {
        p.Fail(kFirstSampleLine + kSamples, QStringLiteral("more lines than the %1 samples").arg(kSamples));
        return {false, false, p.error};
    }

    std::array<std::array<double, 1025>, 3> read{};
    bool allWhole = true;
    for (int i = 0; i < kSamples; ++i) {
        const int line = kFirstSampleLine + i;
        const QStringList f = p.lines[line - 1].split(p.sep);
        if (f.size() != 4) {
            p.Fail(line, QStringLiteral("expected the sample number and three values, found %1 fields").arg(f.size()));
            return {false, false, p.error};
        }
        double index = -1;
        if (!Parser::Number(f[0], index) || index != i) {
            p.Fail(line, QStringLiteral("expected sample number %1, found \"%2\"").arg(i).arg(f[0]));
            return {false, false, p.error};
        }
        for (int c = 0; c < 3; ++c) {
            double v = 0;
            if (!Parser::Number(f[c + 1], v)) {
                p.Fail(line, QStringLiteral("\"%1\" is not a number").arg(f[c + 1]));
                return {false, false, p.error};
            }
            read[static_cast<size_t>(c)][static_cast<size_t>(i)] = v;
            allWhole = allWhole && v == std::trunc(v);
        }
    }

    // Counts are always whole; g values of a real capture never all are.
    result.scaled = !allWhole;
    // The file does not say which sensor wrote it: the caller's product decides the scaling.
    const RegisterMap& map = RegisterMapFor(product);
    const std::array<int16_t, 3> rows{map.idxCAPT_BUF1, map.idxCAPT_BUF2, map.idxCAPT_BUF3};
    for (size_t c = 0; c < 3; ++c) {
        const auto& row = map.RegisterTable[static_cast<size_t>(rows[c])];
        for (size_t i = 0; i < kSamples; ++i) {
            const double v = read[c][i];
            if (result.scaled) {
                // g values were single-precision results: their text names exactly one.
                r.value[c][i] = static_cast<double>(static_cast<float>(v));
                r.raw[c][i] = row.RegScale != 0 ? std::round((v - row.RegOffset) / row.RegScale) : 0.0;
            } else {
                r.raw[c][i] = v;
                r.value[c][i] = static_cast<double>(map.ScaledValue(rows[c], v));
            }
        }
    }
    r.sampleRate = analysis::SampleRate(r.product, exponent);
    r.complete = true;
    out = r;
    result.ok = true;
    return result;
}

ReadResult ReadDataFile(const QString& path, int product, int modeIndex, CaptureRecord::Record& out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {false, true,
                QStringLiteral("%1 could not be opened: %2").arg(QFileInfo(path).fileName(), f.errorString())};
    ReadResult r = ParseDataFile(f.readAll(), QFileInfo(path).fileName(), product, modeIndex, out);
    if (r.ok && !out.time.isValid())
        out.time = QFileInfo(path).lastModified();
    return r;
}

} // namespace DataLog
