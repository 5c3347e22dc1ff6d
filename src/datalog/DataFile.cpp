#include "datalog/DataFile.h"
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
QString g_appDir;

constexpr int kSamples = 1024;

// Bit names of the status line, bit 14 first.
const char* const kStatusNames[15] = {"Alm3e", "Alm2e", "Alm1e", "Alm4", "Alm3", "Alm2", "Alm1", "DR",
                                      "FtF",   "STD",   "CPV",   "SPI",  "FuF",  "VsH",  "VsL"};
} // namespace

void ResetState()
{
    FileDir.clear();
    FileBase.clear();
    FileExt.clear();
    FilePath.clear();
    Format = DataFormat::LSB;
    SavedFileBase.clear();
    SavedExtIndex = 0;
    DataFileNumber = 1;
}

QLocale Locale() { return g_locale ? *g_locale : QLocale::system(); }
void SetLocale(const QLocale& locale) { g_locale = locale; }
void ResetLocale() { g_locale.reset(); }

void SetClock(std::function<QDateTime()> clock) { g_clock = std::move(clock); }

QString ApplicationDirectory()
{
    if (!g_appDir.isEmpty())
        return g_appDir;
    return QCoreApplication::applicationDirPath();
}

void SetApplicationDirectory(const QString& dir) { g_appDir = dir; }

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

QString ComposeFilePath()
{
    return FileDir + FileBase + QLatin1Char('_') + QString::number(DataFileNumber) + FileExt;
}

void FillDefaults()
{
    if (FileDir.isEmpty()) {
        FileDir = ApplicationDirectory();
        if (!FileDir.endsWith(QLatin1Char('/')))
            FileDir += QLatin1Char('/');
    }
    if (FileBase.isEmpty())
        FileBase = QStringLiteral("Datalog");
    if (FileExt.isEmpty())
        FileExt = QStringLiteral(".csv");
    FilePath = ComposeFilePath();
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

QByteArray DataFileBytes(const CaptureRecord::Record& r, const QLocale& locale, const QDateTime& now)
{
    const QString S = FieldSeparator(locale);
    const QString eol = QStringLiteral("\r\n");
    auto num = [&locale](double v) { return GeneralNumber(v, locale); };

    QString out;
    out.reserve(64 * 1024);
    out += QStringLiteral("File Name,") + FileBase + FileExt + eol;
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
        out += (bit < 14 ? S : QString()) + StatusDisplay::StatusBits[size_t(bit)];
    out += eol;
    out += QStringLiteral(" ") + eol;
    out += QStringLiteral("Sample #") + S + QStringLiteral("X Acceleration") + S + QStringLiteral("Aux_ADC_0") + S
           + QStringLiteral("Aux_ADC_1") + S + eol;
    for (int i = 0; i < kSamples; ++i) {
        const bool scaled = Format == DataFormat::Scaled;
        const auto& c1 = scaled ? r.value[0] : r.raw[0];
        const auto& c2 = scaled ? r.value[1] : r.raw[1];
        const auto& c3 = scaled ? r.value[2] : r.raw[2];
        out += QString::number(i) + S + num(c1[size_t(i)]) + S + num(c2[size_t(i)]) + S + num(c3[size_t(i)]) + eol;
    }
    return out.toUtf8();
}

QString NextBackupPath(const QString& path)
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
    return path + QStringLiteral(".~%1~").arg(highest + 1);
}

WriteResult WriteNextDataFile(const CaptureRecord::Record& record)
{
    const QLocale locale = Locale();
    FillDefaults();
    WriteResult result;
    result.number = DataFileNumber;
    result.path = FilePath;

    const QDateTime now = g_clock ? g_clock() : QDateTime::currentDateTime();
    const QByteArray bytes = DataFileBytes(record, locale, now);

    // A file of this name from an earlier run (the numbering starts again at 1) is kept, not replaced.
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
    ++DataFileNumber;
    return result;
}

QString WriteFailureMessage(const WriteResult& result)
{
    return QStringLiteral("The data file could not be written:\n%1\n\n%2\n\nThe file number stays at %3.")
        .arg(result.path, result.error.isEmpty() ? QStringLiteral("Unknown error") : result.error)
        .arg(result.number);
}

} // namespace DataLog
