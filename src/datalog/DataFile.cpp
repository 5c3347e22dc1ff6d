#include "datalog/DataFile.h"
#include <QSet>
#include "capture/CaptureRecord.h"
#include "shell/SaveFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace DataLog {
namespace {
std::optional<QLocale> g_locale;
std::function<QDateTime()> g_clock;
QString g_defaultDir;

constexpr int kSamples = 1024;

// Bit names of the status line, bit 14 first.
const char* const kStatusNames[15] = {"Alm3e", "Alm2e", "Alm1e", "Alm4", "Alm3", "Alm2", "Alm1", "DR",
                                      "FtF",   "STD",   "CPV",   "SPI",  "FuF",  "VsH",  "VsL"};
} // namespace

Series& ProgramSeries()
{
    static Series series;
    return series;
}

void ResetState() { ProgramSeries() = Series{}; }

QLocale Locale() { return g_locale ? *g_locale : QLocale::system(); }
void SetLocale(const QLocale& locale) { g_locale = locale; }
void ResetLocale() { g_locale.reset(); }

void SetClock(std::function<QDateTime()> clock) { g_clock = std::move(clock); }
QDateTime Now() { return g_clock ? g_clock() : QDateTime::currentDateTime(); }

QString DefaultDirectory()
{
    // The working directory, as for the settings file: the program's own folder is often not
    // writable, and files there would sit among the system's programs.
    if (!g_defaultDir.isEmpty())
        return g_defaultDir;
    return QDir::currentPath();
}

void SetDefaultDirectory(const QString& dir) { g_defaultDir = dir; }

QChar FieldSeparator(const QLocale& locale)
{
    const QString probe = locale.toString(1.2, 'g', 15);
    return probe.size() > 1 && probe.at(1) == QLatin1Char(',') ? QChar(u'\t') : QChar(u',');
}

QString GeneralNumber(double value, const QLocale& locale)
{
    QLocale loc = locale;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    if (value == 0)
        value = 0; // no "-0"
    return loc.toString(value, 'G', 15);
}

QString ComposeFilePath(const Series& series)
{
    return series.dir + series.base + QLatin1Char('_') + QString::number(series.number) + series.ext;
}

void FillDefaults(Series& series)
{
    if (series.dir.isEmpty()) {
        series.dir = DefaultDirectory();
        if (!series.dir.endsWith(QLatin1Char('/')))
            series.dir += QLatin1Char('/');
    }
    if (series.base.isEmpty())
        series.base = QStringLiteral("Datalog");
    if (series.ext.isEmpty())
        series.ext = QStringLiteral(".csv");
    series.path = ComposeFilePath(series);
}

QString TimePatternWithSeconds(const QLocale& locale)
{
    QString pattern = locale.timeFormat(QLocale::ShortFormat);
    if (!pattern.contains(QLatin1String("ss"))) {
        const qsizetype minutes = pattern.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            pattern.insert(minutes + 2, QStringLiteral(":ss"));
        else
            pattern = QStringLiteral("HH:mm:ss");
    }
    return pattern;
}

QString TimeWithSeconds(const QTime& time, const QLocale& locale)
{
    return locale.toString(time, TimePatternWithSeconds(locale));
}

QByteArray DataFileBytes(const CaptureRecord::Record& r, const Series& series, const StatusBitTexts& statusBits,
                         const QLocale& locale, const QDateTime& now)
{
    const QString S = FieldSeparator(locale);
    const QString eol = QStringLiteral("\r\n");
    auto num = [&locale](double v) { return GeneralNumber(v, locale); };

    QString out;
    out.reserve(64 * 1024);
    out += QStringLiteral("File Name,") + series.base + series.ext + eol;
    out += QStringLiteral("Date") + S + locale.toString(now.date(), QLocale::ShortFormat) + eol;
    out += QStringLiteral("Time") + S + TimeWithSeconds(now.time(), locale) + eol;
    const int exponent = r.avgExponent < 0 ? 0 : r.avgExponent;
    out += QStringLiteral("AVG_Cnt") + S + QString::number(qint64(1) << exponent) + eol;
    out += QStringLiteral("Capt_Supply") + S + num(r.supply) + eol;
    out += QStringLiteral("Capt_Temp 'C") + S + num(r.temp) + eol;
    out += QStringLiteral("Capt_Xpk") + S + num(r.peakX) + eol;
    out += QStringLiteral("Capt_ADC0pk") + S + num(r.peakY) + eol;
    out += QStringLiteral("Capt_ADC1pk") + S + num(r.peakZ) + eol;
    out += QStringLiteral(" ") + eol;
    out += QStringLiteral("Staus  Register") + eol;
    for (int i = 0; i < 15; ++i)
        out += (i ? S : QString()) + QLatin1String(kStatusNames[i]);
    out += eol;
    for (int bit = 14; bit >= 0; --bit)
        out += (bit < 14 ? S : QString()) + statusBits[size_t(bit)];
    out += eol;
    out += QStringLiteral(" ") + eol;
    out += QStringLiteral("Sample #") + S + QStringLiteral("X Acceleration") + S + QStringLiteral("Aux_ADC_0") + S
           + QStringLiteral("Aux_ADC_1") + S + eol;
    const bool scaled = series.format == DataFormat::Scaled;
    for (int i = 0; i < kSamples; ++i) {
        const auto& c1 = scaled ? r.value[0] : r.raw[0];
        const auto& c2 = scaled ? r.value[1] : r.raw[1];
        const auto& c3 = scaled ? r.value[2] : r.raw[2];
        out += QString::number(i) + S + num(c1[size_t(i)]) + S + num(c2[size_t(i)]) + S + num(c3[size_t(i)]) + eol;
    }
    return out.toUtf8();
}

namespace {
int NextBackupNumber(const QString& path)
{
    const QFileInfo info(path);
    const QRegularExpression numbered(QStringLiteral("^") + QRegularExpression::escape(info.fileName())
                                      + QStringLiteral("\\.~(\\d+)~$"));
    int highest = 0;
    for (const QString& name : info.dir().entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch m = numbered.match(name);
        if (m.hasMatch())
            highest = std::max(highest, m.captured(1).toInt());
    }
    return highest + 1;
}
} // namespace

QString NextBackupPath(const QString& path) { return path + QStringLiteral(".~%1~").arg(NextBackupNumber(path)); }

namespace {
// Moves every file of the series numbered from its next number on to NAME.~k~, one k for all of
// them. Nothing moves when no such file would be replaced.
bool KeepEarlierSeries(const Series& series, WriteResult* result)
{
    const QDir dir(series.dir);
    const QRegularExpression member(QStringLiteral("^") + QRegularExpression::escape(series.base) +
                                    QStringLiteral("_(\\d+)") + QRegularExpression::escape(series.ext) +
                                    QStringLiteral("$"));
    QStringList earlier;
    bool replaced = false;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        const QRegularExpressionMatch m = member.match(name);
        if (!m.hasMatch())
            continue;
        earlier << name;
        replaced = replaced || m.captured(1).toInt() >= series.number;
    }
    if (!replaced)
        return true;
    int k = 1;
    for (const QString& name : earlier)
        k = std::max(k, NextBackupNumber(dir.filePath(name)));
    for (const QString& name : earlier) {
        const QString from = dir.filePath(name);
        const QString to = from + QStringLiteral(".~%1~").arg(k);
        if (!QFile::rename(from, to)) {
            result->error = QStringLiteral("the earlier file %1 could not be kept as %2").arg(name, QFileInfo(to).fileName());
            return false;
        }
        result->seriesKept << to;
        if (from == series.path)
            result->backupPath = to;
    }
    return true;
}
} // namespace

WriteResult WriteNextDataFile(Series& series, const CaptureRecord::Record& record, const StatusBitTexts& statusBits,
                              const QLocale& locale, const QDateTime& now)
{
    FillDefaults(series);
    WriteResult result;
    result.number = series.number;
    result.path = series.path;
    result.base = series.base;
    result.ext = series.ext;
    const QString& FilePath = series.path;

    const QByteArray bytes = DataFileBytes(record, series, statusBits, locale, now);

    // An earlier run's series is set aside whole, so the folder never shows two runs as one series.
    const QString key = series.dir + QLatin1Char('\n') + series.base + QLatin1Char('\n') + series.ext;
    if (!series.started.contains(key)) {
        if (!KeepEarlierSeries(series, &result))
            return result;
        series.started.insert(key);
    }
    // A file of this name from this run (the number was reset) is kept, not replaced.
    if (QFileInfo::exists(FilePath)) {
        const QString backup = NextBackupPath(FilePath);
        if (!QFile::copy(FilePath, backup)) {
            result.error = QStringLiteral("the existing file could not be kept as %1").arg(backup);
            return result;
        }
        result.backupPath = backup;
    }
    // A reader never sees half a file, and a failed write leaves nothing behind.
    if (!SaveWholeFile(FilePath, bytes, &result.error)) {
        // The original is untouched, so its copy would only be clutter.
        if (!result.backupPath.isEmpty())
            QFile::remove(result.backupPath);
        result.backupPath.clear();
        return result;
    }
    result.ok = true;
    ++series.number;
    return result;
}

QString SeriesKeptNote(const WriteResult& result)
{
    if (result.seriesKept.isEmpty())
        return {};
    const QString first = QFileInfo(result.seriesKept.first()).fileName();
    const QString suffix = first.mid(first.lastIndexOf(QStringLiteral(".~")));
    return QStringLiteral("%1 data file(s) of an earlier run (%2 ...) were kept as %3_N%4%5")
        .arg(result.seriesKept.size())
        .arg(first.chopped(suffix.size()), result.base, result.ext, suffix);
}

QString WriteFailureMessage(const WriteResult& result)
{
    return QStringLiteral("The data file could not be written:\n%1\n\n%2\n\nThe file number stays at %3.")
        .arg(result.path, result.error.isEmpty() ? QStringLiteral("Unknown error") : result.error)
        .arg(result.number);
}

} // namespace DataLog
