#include "DataFileReader.h"

#include "datalog/DataFile.h"

#include <QFile>
#include <QLocale>
#include <QStringList>
#include <cmath>
#include <optional>

namespace pyreader {
namespace {

constexpr int kSamples = 1024;
constexpr int kFirstSampleLine = 15;

// A tab-separated file was written with a decimal comma; the writer's own locale reads it back
// best, any decimal-comma locale will do otherwise.
std::optional<double> Number(const QString& text, QChar separator)
{
    const QString t = text.trimmed();
    bool ok = false;
    const QLocale locale = DataLog::Locale();
    if (DataLog::FieldSeparator(locale) == separator) {
        const double v = locale.toDouble(t, &ok);
        if (ok)
            return v;
    }
    QString c = t;
    c.replace(QChar(0x2212), QLatin1Char('-'));
    if (separator == QLatin1Char('\t'))
        c.replace(QLatin1Char(','), QLatin1Char('.'));
    const double v = QLocale::c().toDouble(c, &ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

QDateTime ReadTime(const QString& dateText, const QString& timeText)
{
    const QLocale locale = DataLog::Locale();
    QDate date = locale.toDate(dateText.trimmed(), QLocale::ShortFormat);
    if (date.isValid() && date.year() < 1970)
        date = date.addYears(100); // two-digit years
    QString pattern = locale.timeFormat(QLocale::ShortFormat);
    if (!pattern.contains(QLatin1String("ss"))) {
        const qsizetype minutes = pattern.indexOf(QLatin1String("mm"));
        pattern = minutes >= 0 ? pattern.insert(minutes + 2, QStringLiteral(":ss")) : QStringLiteral("HH:mm:ss");
    }
    const QTime time = locale.toTime(timeText.trimmed(), pattern);
    return date.isValid() && time.isValid() ? QDateTime(date, time) : QDateTime();
}

} // namespace

ReadError ReadDataFile(const QString& path, DataFile* out, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return ReadError::Io;
    }
    const QString text = QString::fromUtf8(file.readAll());
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    auto fail = [error](int line, const QString& why) {
        *error = QStringLiteral("not a data file: line %1: %2").arg(line + 1).arg(why);
        return ReadError::Format;
    };
    if (lines.size() < kFirstSampleLine + kSamples)
        return fail(int(lines.size()) - 1, QStringLiteral("the file ends before sample %1")
                                              .arg(std::max<qsizetype>(0, lines.size() - kFirstSampleLine)));
    if (!lines[0].startsWith(QLatin1String("File Name,")))
        return fail(0, QStringLiteral("no file name"));
    if (!lines[1].startsWith(QLatin1String("Date")) || lines[1].size() < 5)
        return fail(1, QStringLiteral("no date"));
    const QChar sep = lines[1].at(4);
    if (sep != QLatin1Char(',') && sep != QLatin1Char('\t'))
        return fail(1, QStringLiteral("unknown field separator"));

    DataFile f;
    f.fileName = lines[0].mid(10);
    // Header lines 2..8: label, separator, value.
    auto value = [&](int line, const char* label) -> std::optional<QString> {
        const QStringList parts = lines[line].split(sep);
        if (parts.size() != 2 || parts[0] != QLatin1String(label))
            return std::nullopt;
        return parts[1];
    };
    const auto date = value(1, "Date");
    const auto time = value(2, "Time");
    if (!date || !time)
        return fail(2, QStringLiteral("no time"));
    f.time = ReadTime(*date, *time);
    const char* const labels[] = {"AVG_Cnt", "Capt_Supply", "Capt_Temp 'C", "Capt_Xpk", "Capt_ADC0pk", "Capt_ADC1pk"};
    std::array<double, 6> header{};
    for (int i = 0; i < 6; ++i) {
        const auto t = value(3 + i, labels[i]);
        const auto v = t ? Number(*t, sep) : std::nullopt;
        if (!v)
            return fail(3 + i, QStringLiteral("expected %1 and a number").arg(QLatin1String(labels[i])));
        header[size_t(i)] = *v;
    }
    const double avg = header[0];
    if (avg < 1 || avg > 1024 || std::floor(avg) != avg || (int(avg) & (int(avg) - 1)) != 0)
        return fail(3, QStringLiteral("averaging count %1 is not a power of two up to 1024").arg(avg));
    f.avgCount = int(avg);
    f.supply = header[1];
    f.temp = header[2];
    f.peaks = {header[3], header[4], header[5]};

    const QStringList bits = lines[12].split(sep);
    if (bits.size() != 15)
        return fail(12, QStringLiteral("expected 15 status bits"));
    for (int i = 0; i < 15; ++i)
        f.statusBits[size_t(14 - i)] = bits[i] == QLatin1String("1"); // bit 14 first
    if (!lines[14].startsWith(QLatin1String("Sample #")))
        return fail(14, QStringLiteral("no sample header"));

    for (auto& c : f.columns)
        c.reserve(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        const int line = kFirstSampleLine + i;
        const QStringList parts = lines[line].split(sep);
        if (parts.size() != 4 || parts[0] != QString::number(i))
            return fail(line, QStringLiteral("expected sample %1 and three values").arg(i));
        for (int c = 0; c < 3; ++c) {
            const auto v = Number(parts[c + 1], sep);
            if (!v)
                return fail(line, QStringLiteral("'%1' is not a number").arg(parts[c + 1]));
            f.columns[size_t(c)].push_back(*v);
            if (std::floor(*v) != *v)
                f.wholeNumbers = false;
        }
    }
    *out = std::move(f);
    return ReadError::None;
}

} // namespace pyreader
