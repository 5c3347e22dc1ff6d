#pragma once
// Reads a data file this program wrote back into a capture record, so an earlier capture can be
// looked at again. Either separator (comma, or tab with decimal commas) and either sample format
// (LSB counts or g) are accepted; which one is seen from the numbers themselves.
#include "capture/CaptureRecord.h"
#include <QString>
#include <array>

namespace DataLog {

struct ReadResult {
    bool ok = false;
    bool unreadable = false; // the file could not be opened (else its content is at fault)
    QString error;           // one sentence naming the line, when !ok
    bool scaled = false;     // the samples were in g (else LSB counts)
    std::array<bool, 15> statusBits{}; // index = bit number; all clear when the file left them blank
};

// Fills `out` (samples, supply, temperature, peaks, averaging from AVG_Cnt; time as the file states
// it, else the file's modification time). A file does not say which sensor and capture mode wrote
// it, so the caller says: counts and g are converted into each other with `product`'s table, the
// sample rate is `product`'s, and `modeIndex` (0..5, as the capture-mode list) lays out the buffers.
ReadResult ReadDataFile(const QString& path, int product, int modeIndex, CaptureRecord::Record& out);
// The same from the file's bytes; `name` only names the file in the error.
ReadResult ParseDataFile(const QByteArray& bytes, const QString& name, int product, int modeIndex,
                         CaptureRecord::Record& out);

} // namespace DataLog
