#pragma once
// The capture record as CSV: one row per sample, time from the sample rate, every channel in
// g and in counts. Decimal point and comma separator whatever the locale.
#include "analysis/Statistics.h"

#include <QByteArray>
#include <QString>

namespace analysis {

QByteArray CaptureCsv(const RecordView& view, const CaptureRecord::Record& record);
// Writes atomically; on failure returns false and the reason in `error`.
bool WriteCaptureCsv(const QString& path, const RecordView& view, const CaptureRecord::Record& record,
                     QString* error = nullptr);

} // namespace analysis
