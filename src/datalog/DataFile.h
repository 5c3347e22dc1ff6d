#pragma once
// The data file written after each capture read-out, and the data-log choices
// that outlive the data-log window.
#include "capture/CaptureRecord.h"
#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace DataLog {

enum class DataFormat { LSB, Scaled };

// Where and how a series of numbered data files goes (empty until set; the writer fills in defaults).
struct Series {
    QString dir;      // ends with '/'
    QString base;
    QString ext;      // ".CSV", ".txt", or the default ".csv"
    QString path;     // full path of the next file
    DataFormat format = DataFormat::LSB;
    int16_t number = 1;   // number of the next data file
    // Series (folder, name, extension) written into by this writer: an earlier run's files of a
    // series are set aside once, before the first file of it.
    QSet<QString> started;
    // The data-log window's: name box text, kept while the window is closed so it is shown again,
    // and the extension list index saved on OK, Cancel and close.
    QString savedBase;
    int16_t savedExtIndex = 0;
};

// The windows' series, under the names the windows read it by.
Series& ProgramSeries();
inline QString& FileDir = ProgramSeries().dir;
inline QString& FileBase = ProgramSeries().base;
inline QString& FileExt = ProgramSeries().ext;
inline QString& FilePath = ProgramSeries().path;
inline DataFormat& Format = ProgramSeries().format;
inline QString& SavedFileBase = ProgramSeries().savedBase;
inline int16_t& SavedExtIndex = ProgramSeries().savedExtIndex;
inline int16_t& DataFileNumber = ProgramSeries().number;

// Restores the start-up values of the windows' series.
void ResetState();

// Numbers, dates and the separator follow this locale: QLocale::system() unless a test set one.
QLocale Locale();
void SetLocale(const QLocale& locale);
void ResetLocale();

// Current date and time for lines 2 and 3 (replaceable so tests get fixed bytes).
void SetClock(std::function<QDateTime()> clock);
QDateTime Now();
// The directory that holds the files when none was chosen (the working directory, unless set).
QString DefaultDirectory();
void SetDefaultDirectory(const QString& dir);

// Tab when the locale writes 1.2 with a decimal comma, else comma.
QChar FieldSeparator(const QLocale& locale);
// General number text: at most 15 significant digits, no trailing zeros, no grouping.
QString GeneralNumber(double value, const QLocale& locale);

// dir & base & "_" & number & ext.
QString ComposeFilePath(const Series& series);
inline QString ComposeFilePath() { return ComposeFilePath(ProgramSeries()); }
// Fills empty dir, base, ext with their defaults and composes path.
void FillDefaults(Series& series);
inline void FillDefaults() { FillDefaults(ProgramSeries()); }

// The locale's short time format with seconds added (the data file's "Time" line).
QString TimePatternWithSeconds(const QLocale& locale);
// The locale's time of day with seconds, as a clock shows it ("03:03:41", "3:13:41 AM").
QString TimeWithSeconds(const QTime& time, const QLocale& locale);

// STATUS bits as kept by a status read: "1"/"0" per bit.
using StatusBitTexts = std::array<QString, 16>;

// The whole file: header from the capture record (line 4: 2 to its averaging exponent) and the
// status bits, then 1024 sample lines in the series' format.
QByteArray DataFileBytes(const CaptureRecord::Record& record, const Series& series, const StatusBitTexts& statusBits,
                         const QLocale& locale, const QDateTime& now);
// The same for the windows' series and status.
inline QByteArray DataFileBytes(const CaptureRecord::Record& record, const QLocale& locale, const QDateTime& now)
{
    return DataFileBytes(record, ProgramSeries(), StatusDisplay::StatusBits, locale, now);
}

struct WriteResult {
    bool ok = false;
    int16_t number = 0;   // number of the file written (or attempted)
    QString path;
    QString error;        // reason when !ok
    QString backupPath;   // where an earlier file of the same name was kept (empty: there was none)
    QStringList seriesKept; // an earlier run's whole series, set aside before this run's first file
    QString base, ext;      // the series' name and extension
};

// Fills in defaults, writes the series' next numbered file atomically and, on success only,
// advances its number. No earlier data is ever replaced: before this run's first file of a
// series, an earlier run's files of it that would be overwritten are all moved to numbered
// backups at once (NAME.~k~, one k for the series); later, a file of this run whose number comes
// round again is copied to the next NAME.~k~ beside it.
WriteResult WriteNextDataFile(Series& series, const CaptureRecord::Record& record, const StatusBitTexts& statusBits,
                              const QLocale& locale, const QDateTime& now);
// The same for the windows' series and status, in the program's locale, now.
inline WriteResult WriteNextDataFile(const CaptureRecord::Record& record = CaptureRecord::Last)
{
    return WriteNextDataFile(ProgramSeries(), record, StatusDisplay::StatusBits, Locale(), Now());
}

// The next free numbered backup name for `path`.
QString NextBackupPath(const QString& path);

// "3 data files of an earlier run (Datalog_1.csv ...) were kept as Datalog_N.csv.~1~".
QString SeriesKeptNote(const WriteResult& result);

// The user's message for a file that could not be written.
QString WriteFailureMessage(const WriteResult& result);

} // namespace DataLog
