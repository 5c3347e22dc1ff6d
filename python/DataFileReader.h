#pragma once
// Reads back a data file as the capture writer wrote it: header, status bits and the three
// sample columns, in either separator/decimal convention.
#include <QDateTime>
#include <QString>
#include <array>
#include <vector>

namespace pyreader {

struct DataFile {
    QString fileName;        // as the file's first line names it
    QDateTime time;          // invalid when the date or time could not be read in this locale
    int avgCount = 1;
    double supply = 0, temp = 0;
    std::array<double, 3> peaks{};
    std::array<bool, 15> statusBits{};     // index = bit number
    std::array<std::vector<double>, 3> columns;
    bool wholeNumbers = true;              // every sample is an integer: counts, not g
};

enum class ReadError { None, Io, Format };

// On failure `error` says why, with the line number for a format fault.
ReadError ReadDataFile(const QString& path, DataFile* out, QString* error);

} // namespace pyreader
