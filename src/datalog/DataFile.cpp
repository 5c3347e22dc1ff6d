#include "datalog/DataFile.h"
#include "capture/CaptureRecord.h"
#include "shell/SaveFile.h"

#include <QCoreApplication>
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

QByteArray DataFileBytes(int averagingExponent, const QLocale& locale, const QDateTime& now)
{
    using namespace CaptureRecord;
    const QString S = FieldSeparator(locale);
    const QString eol = QStringLiteral("\r\n");
    auto num = [&locale](double v) { return GeneralNumber(v, locale); };

    QString out;
    out.reserve(64 * 1024);
    out += QStringLiteral("File Name,") + FileBase + FileExt + eol;
    out += QStringLiteral("Date") + S + locale.toString(now.date(), QLocale::ShortFormat) + eol;
    out += QStringLiteral("Time") + S + locale.toString(now.time(), QLocale::ShortFormat) + eol;
    const int exponent = averagingExponent < 0 ? 0 : averagingExponent;
    out += QStringLiteral("AVG_Cnt") + S + QString::number(qint64(1) << exponent) + eol;
    out += QStringLiteral("Capt_Supply") + S + num(CaptSupply) + eol;
    out += QStringLiteral("Capt_Temp 'C") + S + num(CaptTemp) + eol;
    out += QStringLiteral("Capt_Xpk") + S + num(CaptPeakX) + eol;
    out += QStringLiteral("Capt_ADC0pk") + S + num(CaptPeakY) + eol;
    out += QStringLiteral("Capt_ADC1pk") + S + num(CaptPeakZ) + eol;
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
        const auto& c1 = scaled ? BufValue1 : BufRaw1;
        const auto& c2 = scaled ? BufValue2 : BufRaw2;
        const auto& c3 = scaled ? BufValue3 : BufRaw3;
        out += QString::number(i) + S + num(c1[size_t(i)]) + S + num(c2[size_t(i)]) + S + num(c3[size_t(i)]) + eol;
    }
    return out.toUtf8();
}

WriteResult WriteNextDataFile(int averagingExponent)
{
    const QLocale locale = Locale();
    FillDefaults();
    WriteResult result;
    result.number = DataFileNumber;
    result.path = FilePath;

    const QDateTime now = g_clock ? g_clock() : QDateTime::currentDateTime();
    const QByteArray bytes = DataFileBytes(averagingExponent, locale, now);

    // A reader never sees half a file, and a failed write leaves nothing behind.
    if (!SaveWholeFile(FilePath, bytes, &result.error))
        return result;
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
