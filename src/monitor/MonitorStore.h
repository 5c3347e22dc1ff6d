#pragma once
// The monitoring database (SQLite, WAL journal): one row per capture with its context, its
// figures per channel and its raw samples, each capture written in one transaction so a crash at
// any moment leaves every committed capture readable.
#include "analysis/Statistics.h"
#include "capture/CaptureRecord.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QSqlError>
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
    int cardSlot = -1;                // -1: not known (earlier runs) or no card (parallel port)
    QString cardName;
    std::vector<ChannelFigures> figures;
    std::vector<int16_t> samples;   // raw counts, buffer 1, 2, 3 one after another; empty once dropped
};

// A channel's figures as JSON, as the command line prints them and the broker messages carry them:
// null where a figure cannot be known (a flat record's shape, no dominant tone, no velocity).
QJsonObject FiguresJson(const ChannelFigures& f);

// A stored capture as a capture record, scaled with its own product's register table (whatever the
// program is set to now), for the plot, spectrum, statistics and Buffer Data.
CaptureRecord::Record RecordOf(const StoredCapture& stored);

// Which card a capture came from.
struct CaptureOrigin {
    int cardSlot = -1;   // -1: no card slot (parallel port)
    QString cardName;
};

// A capture waiting in the outbox for the broker's acknowledgement.
struct OutboxEntry {
    QString messageId;   // stable across every attempt, so subscribers can drop duplicates
    QString host;
    StoredCapture capture;
};

class Store {
public:
    static constexpr int kSchemaVersion = 4;

    Store();
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Opens or creates the database and brings its schema to kSchemaVersion. Every error names
    // the file. Locks held by others are waited out for BusyTimeoutMs(), then reported as busy.
    bool Open(const QString& path, QString* error);
    bool IsOpen() const { return open_; }
    int SchemaVersion() const;
    // True when the last failed call failed only because another connection held the database.
    bool LastErrorBusy() const { return busy_; }
    // 5 s, or SENSORBENCH_DB_BUSY_TIMEOUT_MS.
    static int BusyTimeoutMs();
    const QString& Path() const { return path_; }

    // One capture: its record (complete or lost), the status word, its figures and samples.
    std::optional<qint64> Add(const CaptureRecord::Record& record, bool complete, const QString& lossReason,
                              int32_t status, const std::vector<ChannelFigures>& figures, const QString& machineClass,
                              QString* error);
    // The same with the card it came from and, when it is to be published, its outbox entry
    // (message id, host) in the same transaction.
    std::optional<qint64> Add(const CaptureRecord::Record& record, bool complete, const QString& lossReason,
                              int32_t status, const std::vector<ChannelFigures>& figures, const QString& machineClass,
                              const CaptureOrigin& origin, const std::optional<OutboxEntry>& outgoing, QString* error);
    // Up to `limit` unacknowledged outbox entries after capture `afterId`, oldest first.
    std::vector<OutboxEntry> Outbox(qint64 afterId, int limit, bool withSamples) const;
    int OutboxPending() const;
    // Marks these captures acknowledged by the broker, in one transaction.
    bool MarkPublished(const std::vector<qint64>& ids, QString* error);
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
    bool Failed(const QSqlError& e, QString* error) const;
    QString connection_;
    QString path_;
    bool open_ = false;
    mutable bool busy_ = false;
};

} // namespace monitor
