#pragma once
// Reads a data file this program wrote back into a capture record, so an earlier capture can be
// looked at again. Either separator (comma, or tab with decimal commas) and either sample format
// (LSB counts or g) are accepted; which one is seen from the numbers themselves.
#include "capture/CaptureRecord.h"
#include <QString>

namespace DataLog {

struct ReadResult {
    bool ok = false;
    QString error;        // one sentence naming the line, when !ok
    bool scaled = false;  // the samples were in g (else LSB counts)
};

// Fills `out` (samples, supply, temperature, peaks, averaging from AVG_Cnt; product as given).
// Counts and g are converted into each other with the register table built for `product`.
ReadResult ReadDataFile(const QString& path, int product, CaptureRecord::Record& out);
// The same from the file's bytes; `name` only names the file in the error.
ReadResult ParseDataFile(const QByteArray& bytes, const QString& name, int product, CaptureRecord::Record& out);

} // namespace DataLog
