#pragma once
// The data file written after each capture read-out, and the data-log choices
// that outlive the data-log window.
#include "capture/CaptureRecord.h"
#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace DataLog {

enum class DataFormat { LSB, Scaled };

// Choices made in the data-log window (empty until set; the writer fills in defaults).
inline QString FileDir;    // ends with '/'
inline QString FileBase;
inline QString FileExt;    // ".CSV", ".txt", or the default ".csv"
inline QString FilePath;   // full path of the next file
inline DataFormat Format = DataFormat::LSB;

// Name box text, kept while the window is closed so it is shown again.
inline QString SavedFileBase;
// Extension list index saved on OK, Cancel and close.
inline int16_t SavedExtIndex = 0;
// Number of the next data file.
inline int16_t DataFileNumber = 1;

// Restores the start-up values of everything above.
void ResetState();

// Numbers, dates and the separator follow this locale: QLocale::system() unless a test set one.
QLocale Locale();
void SetLocale(const QLocale& locale);
void ResetLocale();

// Current date and time for lines 2 and 3 (replaceable so tests get fixed bytes).
void SetClock(std::function<QDateTime()> clock);
// The directory that holds the files when none was chosen (the working directory, unless set).
QString DefaultDirectory();
void SetDefaultDirectory(const QString& dir);

// Tab when the locale writes 1.2 with a decimal comma, else comma.
QChar FieldSeparator(const QLocale& locale);
// General number text: at most 15 significant digits, no trailing zeros, no grouping.
QString GeneralNumber(double value, const QLocale& locale);

// FileDir & FileBase & "_" & DataFileNumber & FileExt.
QString ComposeFilePath();
// Fills empty FileDir, FileBase, FileExt with their defaults and composes FilePath.
void FillDefaults();

// The locale's short time format with seconds added (the data file's "Time" line).
QString TimePatternWithSeconds(const QLocale& locale);
// The locale's time of day with seconds, as a clock shows it ("03:03:41", "3:13:41 AM").
QString TimeWithSeconds(const QTime& time, const QLocale& locale);

// The whole file: header from the capture record (line 4: 2 to its averaging exponent) and the
// status bits, then 1024 sample lines.
QByteArray DataFileBytes(const CaptureRecord::Record& record, const QLocale& locale, const QDateTime& now);

struct WriteResult {
    bool ok = false;
    int16_t number = 0;   // number of the file written (or attempted)
    QString path;
    QString error;        // reason when !ok
    QString backupPath;   // where an earlier file of the same name was kept (empty: there was none)
    QStringList seriesKept; // an earlier run's whole series, set aside before this run's first file
};

// Fills in defaults, writes the next numbered file atomically and, on success only,
// advances DataFileNumber. No earlier data is ever replaced: before this run's first file of a
// series, an earlier run's files of it that would be overwritten are all moved to numbered
// backups at once (NAME.~k~, one k for the series); later, a file of this run whose number comes
// round again is copied to the next NAME.~k~ beside it.
WriteResult WriteNextDataFile(const CaptureRecord::Record& record = CaptureRecord::Last);

// The next free numbered backup name for `path`.
QString NextBackupPath(const QString& path);

// "3 data files of an earlier run (Datalog_1.csv ...) were kept as Datalog_N.csv.~1~".
QString SeriesKeptNote(const WriteResult& result);

// The user's message for a file that could not be written.
QString WriteFailureMessage(const WriteResult& result);

} // namespace DataLog
