#pragma once
// Reading a capture out of the sensor into a capture record (no widgets).
#include "capture/CaptureRecord.h"
#include "device/BenchSession.h"
#include <QString>

namespace BufferReadout {

// Texts of the five scalar readings, in the order they are read.
struct ScalarTexts {
    QString supply; // LbLSupply
    QString temp;   // LbLTemp
    QString peakX;  // LbLXpk
    QString peakY;  // LbLADC0
    QString peakZ;  // LbLADC1
};

// Supply, temperature and peaks, then 3 x 1024 samples, each addressed by writing its index to
// CAPT_PNTR just before the buffer read, into `into`. Blocks until done; index 1024 of the arrays
// is left alone. Stops early when the interface stops answering; `into.complete` tells which.
ScalarTexts ReadCaptureRecord(BenchSession& session, CaptureRecord::Record& into);

// The five texts for a record read earlier (a data file, a stored capture): peaks scaled as a
// read-out scales them, with the record's product's table; "-" for a reading never made.
ScalarTexts TextsOf(const CaptureRecord::Record& r);

// Pattern "0.0###": at least one and at most four decimals, in the user's locale.
QString FormatReading(double v);

} // namespace BufferReadout
