#pragma once
// The monitoring database (SQLite, WAL journal): one row per capture with its context, its
// figures per channel and its raw samples, each capture written in one transaction so a crash at
// any moment leaves every committed capture readable.
#include "analysis/Statistics.h"
#include "capture/CaptureRecord.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace monitor {

struct ChannelFigures {
    QString name;
    analysis::ChannelStats stats;
    QChar zone = QLatin1Char('-');
};

struct MachineClass;

// The figures of a complete capture, per channel, with the zone for `machine`.
std::vector<ChannelFigures> Figures(const CaptureRecord::Record& record, const MachineClass& machine);

struct StoredCapture {
    qint64 id = 0;
    QDateTime timeUtc;
    bool complete = false;
    QString lossReason;
    int product = 0;
    int modeIndex = 0;
    int avgExponent = 0;
    // NaN where the capture cannot tell: a lost capture, or a capture stored before the store
    // kept its scale (g per count) and not yet given a product by the user.
    double sampleRate = std::nan("");
    double gPerCount = std::nan("");
    double supply = std::nan(""), temperature = std::nan("");
    std::array<double, 3> peaks{std::nan(""), std::nan(""), std::nan("")};
    int32_t status = 0;
    QString machineClass;             // the class its zones were judged against
    std::vector<ChannelFigures> figures;
    std::vector<int16_t> samples;   // raw counts, buffer 1, 2, 3 one after another; empty once dropped
};

// A stored capture as a capture record, scaled with its own product's register table (whatever the
// program is set to now), for the plot, spectrum, statistics and Buffer Data.
CaptureRecord::Record RecordOf(const StoredCapture& stored);

class Store {
public:
    static constexpr int kSchemaVersion = 3;

    Store();
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Opens or creates the database and brings its schema to kSchemaVersion.
    bool Open(const QString& path, QString* error);
    int SchemaVersion() const;

    // One capture: its record (complete or lost), the status word, its figures and samples.
    std::optional<qint64> Add(const CaptureRecord::Record& record, bool complete, const QString& lossReason,
                              int32_t status, const std::vector<ChannelFigures>& figures, const QString& machineClass,
                              QString* error);
    // Captures stored before the store kept each capture's scale: their product is the user's to say.
    int CapturesWithoutScale() const;
    // Gives those captures `product` (scale, and the sample rate of the complete ones, from it);
    // their figures are worked out again from the samples (zones for the class each was stored
    // with, else `machine`), or dropped where no samples are kept and the product was another.
    bool AssignProduct(int product, const MachineClass& machine, QString* error);
    // Drops the samples of all but the newest `newest` captures (figures stay).
    bool KeepWaveforms(int newest, QString* error);

    std::vector<StoredCapture> Captures(bool withSamples = false) const;
    // One capture with its samples.
    std::optional<StoredCapture> Capture(qint64 id) const;

private:
    std::vector<StoredCapture> Select(const QString& where, bool withSamples) const;
    QString connection_;
};

} // namespace monitor
