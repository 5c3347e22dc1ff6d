#include "monitor/MonitorStore.h"
#include "monitor/Severity.h"
#include "capture/CaptureSettings.h"
#include "analysis/SampleRate.h"
#include "registers/m470Reg.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtEndian>
#include <cmath>

namespace monitor {

namespace {
QAtomicInt g_connections;

// Schema steps: step n brings version n-1 to n.
const char* const kSteps[] = {
    // 1: captures, figures per channel, samples apart so they can be dropped alone.
    "CREATE TABLE captures (id INTEGER PRIMARY KEY, time_utc TEXT NOT NULL, product INTEGER, mode INTEGER,"
    " avg_exponent INTEGER, sample_rate REAL, supply REAL, temperature REAL, peak_x REAL, peak_y REAL,"
    " peak_z REAL, status INTEGER, complete INTEGER NOT NULL, loss_reason TEXT);"
    "CREATE INDEX captures_time ON captures(time_utc);"
    "CREATE TABLE figures (capture_id INTEGER NOT NULL REFERENCES captures(id), channel INTEGER NOT NULL,"
    " name TEXT, mean REAL, ac_rms REAL, peak_to_peak REAL, crest_factor REAL, kurtosis REAL,"
    " dominant_hz REAL, dominant_amplitude REAL, velocity_rms REAL, zone TEXT, PRIMARY KEY (capture_id, channel));"
    "CREATE TABLE waveforms (capture_id INTEGER PRIMARY KEY REFERENCES captures(id), samples BLOB NOT NULL)",
    // 2: the machine class the zones were judged against.
    "ALTER TABLE captures ADD COLUMN machine_class TEXT",
    // 3: each capture's scale, so that it reads back right whatever the program is set to. Left
    // NULL for earlier captures: the user says which sensor they came from. Earlier lost captures
    // stored 0 for what they never read: unknown now, as for new ones.
    "ALTER TABLE captures ADD COLUMN g_per_count REAL;"
    "UPDATE captures SET supply = NULL, temperature = NULL, sample_rate = NULL, peak_x = NULL, peak_y = NULL,"
    " peak_z = NULL, status = NULL WHERE complete = 0",
    // 4: the card each capture came from, and the outbox of captures for the broker: a row is
    // written with its capture and marked when the broker acknowledges it.
    "ALTER TABLE captures ADD COLUMN card_slot INTEGER;"
    "ALTER TABLE captures ADD COLUMN card_name TEXT;"
    "CREATE TABLE IF NOT EXISTS outbox (capture_id INTEGER PRIMARY KEY REFERENCES captures(id), message_id TEXT NOT NULL,"
    " host TEXT, published_utc TEXT);"
    "CREATE INDEX IF NOT EXISTS outbox_pending ON outbox(capture_id) WHERE published_utc IS NULL",
};

bool Exec(QSqlDatabase& db, const QString& sql, QSqlError* error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError();
    return false;
}

// A step's column that a database already has (its version number was set back by hand, or by
// a program that kept the newer columns): the step goes on.
bool AlreadyThere(const QString& sql, const QSqlError& e)
{
    return sql.contains(QLatin1String("ADD COLUMN")) && e.text().contains(QLatin1String("duplicate column name"));
}

// SQLITE_BUSY and SQLITE_LOCKED: another connection holds the database.
bool IsBusy(const QSqlError& e)
{
    const QString code = e.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6") || e.text().contains(QLatin1String("locked"));
}

QVariant Real(double v) { return std::isnan(v) ? QVariant() : QVariant(v); }
double RealOf(const QVariant& v) { return v.isNull() ? std::nan("") : v.toDouble(); }

bool InsertFigures(QSqlDatabase& db, qint64 id, int channel, const ChannelFigures& f, QSqlError* error)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO figures VALUES (?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (const QVariant& v : {QVariant(id), QVariant(channel), QVariant(f.name), Real(f.stats.mean),
                              Real(f.stats.acRms), Real(f.stats.peakToPeak), Real(f.stats.crestFactor),
                              Real(f.stats.kurtosis), Real(f.stats.dominantHz), Real(f.stats.dominantAmplitude),
                              Real(f.stats.velocityRms),
                              f.zone == QLatin1Char('-') ? QVariant() : QVariant(QString(f.zone))})
        q.addBindValue(v);
    if (q.exec())
        return true;
    if (error)
        *error = q.lastError();
    return false;
}
} // namespace

std::vector<ChannelFigures> Figures(const CaptureRecord::Record& record, const MachineClass& machine)
{
    std::vector<ChannelFigures> out;
    const analysis::RecordView view = analysis::ViewOfRecord(record);
    for (const analysis::Channel& c : analysis::RecordChannels(view, record)) {
        ChannelFigures f;
        f.name = c.name;
        f.stats = analysis::ComputeStats(c.samples.data(), static_cast<int>(c.samples.size()), record.sampleRate,
                                         c.acceleration);
        f.zone = Zone(f.stats.velocityRms, machine);
        out.push_back(f);
    }
    return out;
}

Store::Store() : connection_(QStringLiteral("sensorbench-monitor-%1").arg(g_connections.fetchAndAddRelaxed(1))) {}

Store::~Store()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

int Store::BusyTimeoutMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("SENSORBENCH_DB_BUSY_TIMEOUT_MS", &ok);
    return ok && ms >= 0 ? ms : 5000;
}

bool Store::Failed(const QSqlError& e, QString* error) const
{
    busy_ = IsBusy(e);
    if (error)
        *error = QStringLiteral("%1: %2").arg(path_, (e.databaseText().isEmpty() ? e.text() : e.databaseText()).trimmed());
    return false;
}

bool Store::Open(const QString& path, QString* error)
{
    path_ = path;
    open_ = false;
    QSqlDatabase db = QSqlDatabase::contains(connection_) ? QSqlDatabase::database(connection_, false)
                                                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db.isOpen()) {
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs()));
        if (!db.open())
            return Failed(db.lastError(), error);
    }
    QSqlError e;
    // WAL: readers (the window) go on while the logger writes; a crash loses at most the open transaction.
    if (!Exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), &e) || !Exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), &e))
        return Failed(e, error);
    // The schema steps run under the write lock, so a second process opening the same new file
    // waits and then finds the schema made.
    if (SchemaVersion() < kSchemaVersion) {
        if (!Exec(db, QStringLiteral("BEGIN IMMEDIATE"), &e))
            return Failed(e, error);
        for (int version = SchemaVersion(); version < kSchemaVersion; ++version) {
            for (const QString& sql : QString::fromLatin1(kSteps[version]).split(QLatin1Char(';'), Qt::SkipEmptyParts))
                if (!Exec(db, sql, &e) && !AlreadyThere(sql, e)) {
                    Exec(db, QStringLiteral("ROLLBACK"), nullptr);
                    return Failed(e, error);
                }
            if (!Exec(db, QStringLiteral("PRAGMA user_version=%1").arg(version + 1), &e)) {
                Exec(db, QStringLiteral("ROLLBACK"), nullptr);
                return Failed(e, error);
            }
        }
        if (!Exec(db, QStringLiteral("COMMIT"), &e)) {
            Exec(db, QStringLiteral("ROLLBACK"), nullptr);
            return Failed(e, error);
        }
    }
    open_ = true;
    busy_ = false;
    return true;
}

int Store::SchemaVersion() const
{
    QSqlQuery q(QSqlDatabase::database(connection_));
    return q.exec(QStringLiteral("PRAGMA user_version")) && q.next() ? q.value(0).toInt() : -1;
}

std::optional<qint64> Store::Add(const CaptureRecord::Record& r, bool complete, const QString& lossReason,
                                 int32_t status, const std::vector<ChannelFigures>& figures,
                                 const QString& machineClass, QString* error)
{
    return Add(r, complete, lossReason, status, figures, machineClass, CaptureOrigin{}, std::nullopt, error);
}

std::optional<qint64> Store::Add(const CaptureRecord::Record& r, bool complete, const QString& lossReason,
                                 int32_t status, const std::vector<ChannelFigures>& figures,
                                 const QString& machineClass, const CaptureOrigin& origin,
                                 const std::optional<OutboxEntry>& outgoing, QString* error)
{
    QSqlDatabase db = QSqlDatabase::database(connection_);
    // BEGIN IMMEDIATE takes the write lock up front, waiting out another writer for the busy
    // timeout; a deferred BEGIN could fail part-way instead.
    QSqlError e;
    if (!Exec(db, QStringLiteral("BEGIN IMMEDIATE"), &e)) {
        Failed(e, error);
        return std::nullopt;
    }
    auto fail = [&](const QSqlError& why) -> std::optional<qint64> {
        Failed(why, error);
        Exec(db, QStringLiteral("ROLLBACK"), nullptr);
        return std::nullopt;
    };
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO captures (time_utc, product, mode, avg_exponent, sample_rate, supply,"
                             " temperature, peak_x, peak_y, peak_z, status, complete, loss_reason, machine_class,"
                             " g_per_count, card_slot, card_name) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    const QDateTime when = r.time.isValid() ? r.time : QDateTime::currentDateTime();
    // A lost capture's readings were never read: NULL, so that AVG() and friends skip them.
    auto read = [complete](double v) { return complete ? Real(v) : QVariant(); };
    const int product = r.product == 31470 ? 31470 : 31473;
    for (const QVariant& v : {QVariant(when.toUTC().toString(Qt::ISODateWithMs)), QVariant(product),
                              QVariant(r.modeIndex), QVariant(r.avgExponent),
                              r.sampleRate > 0 ? QVariant(r.sampleRate) : QVariant(), read(r.supply), read(r.temp),
                              read(r.peakX), read(r.peakY), read(r.peakZ),
                              complete ? QVariant(status) : QVariant(), QVariant(complete ? 1 : 0),
                              lossReason.isEmpty() ? QVariant() : QVariant(lossReason), QVariant(machineClass),
                              QVariant(RegisterMapFor(product).GPerCount()),
                              origin.cardSlot >= 0 ? QVariant(origin.cardSlot) : QVariant(),
                              origin.cardName.isEmpty() ? QVariant() : QVariant(origin.cardName)})
        q.addBindValue(v);
    if (!q.exec())
        return fail(q.lastError());
    const qint64 id = q.lastInsertId().toLongLong();
    for (size_t c = 0; c < figures.size(); ++c)
        if (!InsertFigures(db, id, int(c), figures[c], &e))
            return fail(e);
    if (complete) {
        QByteArray blob(3 * 1024 * 2, Qt::Uninitialized);
        for (int b = 0; b < 3; ++b)
            for (int i = 0; i < 1024; ++i)
                qToLittleEndian<int16_t>(static_cast<int16_t>(r.raw[size_t(b)][size_t(i)]),
                                         blob.data() + 2 * (b * 1024 + i));
        QSqlQuery wq(db);
        wq.prepare(QStringLiteral("INSERT INTO waveforms VALUES (?, ?)"));
        wq.addBindValue(id);
        wq.addBindValue(blob);
        if (!wq.exec())
            return fail(wq.lastError());
    }
    if (outgoing) {
        QSqlQuery oq(db);
        oq.prepare(QStringLiteral("INSERT INTO outbox (capture_id, message_id, host) VALUES (?, ?, ?)"));
        oq.addBindValue(id);
        oq.addBindValue(outgoing->messageId);
        oq.addBindValue(outgoing->host);
        if (!oq.exec())
            return fail(oq.lastError());
    }
    if (!Exec(db, QStringLiteral("COMMIT"), &e))
        return fail(e);
    busy_ = false;
    return id;
}

std::vector<OutboxEntry> Store::Outbox(qint64 afterId, int limit, bool withSamples) const
{
    std::vector<OutboxEntry> out;
    QSqlQuery q(QSqlDatabase::database(connection_));
    if (!q.exec(QStringLiteral("SELECT capture_id, message_id, host FROM outbox WHERE published_utc IS NULL"
                               " AND capture_id > %1 ORDER BY capture_id LIMIT %2")
                    .arg(afterId)
                    .arg(limit)))
        return out;
    QStringList ids;
    while (q.next()) {
        OutboxEntry e;
        e.capture.id = q.value(0).toLongLong();
        e.messageId = q.value(1).toString();
        e.host = q.value(2).toString();
        ids << QString::number(e.capture.id);
        out.push_back(e);
    }
    if (out.empty())
        return out;
    std::vector<StoredCapture> captures = Select(QStringLiteral(" WHERE id IN (%1)").arg(ids.join(QLatin1Char(','))), withSamples);
    size_t k = 0;
    for (OutboxEntry& e : out) {
        while (k < captures.size() && captures[k].id < e.capture.id)
            ++k;
        if (k < captures.size() && captures[k].id == e.capture.id)
            e.capture = std::move(captures[k]);
    }
    return out;
}

int Store::OutboxPending() const
{
    QSqlQuery q(QSqlDatabase::database(connection_));
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM outbox WHERE published_utc IS NULL")) && q.next()
               ? q.value(0).toInt()
               : 0;
}

bool Store::MarkPublished(const std::vector<qint64>& ids, QString* error)
{
    if (ids.empty())
        return true;
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QStringList list;
    for (qint64 id : ids)
        list << QString::number(id);
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("UPDATE outbox SET published_utc = '%1' WHERE capture_id IN (%2)")
                   .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs), list.join(QLatin1Char(',')))))
        return true;
    return Failed(q.lastError(), error);
}

int Store::CapturesWithoutScale() const
{
    QSqlQuery q(QSqlDatabase::database(connection_));
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM captures WHERE g_per_count IS NULL")) && q.next()
               ? q.value(0).toInt()
               : 0;
}

bool Store::AssignProduct(int product, const MachineClass& machine, QString* error)
{
    product = product == 31470 ? 31470 : 31473;
    QSqlDatabase db = QSqlDatabase::database(connection_);
    std::vector<StoredCapture> old = Select(QStringLiteral(" WHERE g_per_count IS NULL"), true);
    if (!db.transaction())
        return Failed(db.lastError(), error);
    auto run = [&](QSqlQuery& q) {
        if (q.exec())
            return true;
        Failed(q.lastError(), error);
        db.rollback();
        return false;
    };
    const double gPerCount = RegisterMapFor(product).GPerCount();
    for (StoredCapture& c : old) {
        const bool sameProduct = c.product == product;
        c.product = product;
        // A lost capture's rate stays unknown, as it was stored.
        if (c.complete)
            c.sampleRate = analysis::SampleRate(product, c.avgExponent);
        QSqlQuery u(db);
        u.prepare(QStringLiteral("UPDATE captures SET product = ?, g_per_count = ?, sample_rate = ? WHERE id = ?"));
        for (const QVariant& v : {QVariant(product), QVariant(gPerCount), c.complete ? Real(c.sampleRate) : QVariant(),
                                  QVariant(c.id)})
            u.addBindValue(v);
        if (!run(u))
            return false;
        // Figures worked out under another product's scale are not this capture's.
        const bool redo = c.complete && c.samples.size() == 3072;
        if (sameProduct && !redo)
            continue;
        QSqlQuery d(db);
        d.prepare(QStringLiteral("DELETE FROM figures WHERE capture_id = ?"));
        d.addBindValue(c.id);
        if (!run(d))
            return false;
        if (!redo)
            continue;
        const std::vector<ChannelFigures> figures =
            Figures(RecordOf(c), FindMachineClass(c.machineClass).value_or(machine));
        for (size_t k = 0; k < figures.size(); ++k)
            if (QSqlError e; !InsertFigures(db, c.id, int(k), figures[k], &e)) {
                db.rollback();
                return Failed(e, error);
            }
    }
    if (!db.commit()) {
        Failed(db.lastError(), error);
        db.rollback();
        return false;
    }
    return true;
}

bool Store::KeepWaveforms(int newest, QString* error)
{
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM waveforms WHERE capture_id NOT IN"
                             " (SELECT capture_id FROM waveforms ORDER BY capture_id DESC LIMIT ?)"));
    q.addBindValue(newest);
    if (q.exec())
        return true;
    return Failed(q.lastError(), error);
}

QJsonObject FiguresJson(const ChannelFigures& f)
{
    auto number = [](double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(); };
    // Crest factor is at least 1 for a record that moves at all: 0 marks a flat one, whose shape
    // figures mean nothing.
    const bool flat = f.stats.crestFactor == 0;
    const bool peak = f.stats.dominantHz > 0;
    return QJsonObject{
        {QStringLiteral("name"), f.name},
        {QStringLiteral("mean"), number(f.stats.mean)},
        {QStringLiteral("ac_rms"), number(f.stats.acRms)},
        {QStringLiteral("peak_to_peak"), number(f.stats.peakToPeak)},
        {QStringLiteral("crest_factor"), flat ? QJsonValue() : number(f.stats.crestFactor)},
        {QStringLiteral("kurtosis"), flat ? QJsonValue() : number(f.stats.kurtosis)},
        {QStringLiteral("dominant_hz"), peak ? number(f.stats.dominantHz) : QJsonValue()},
        {QStringLiteral("dominant_amplitude"), peak ? number(f.stats.dominantAmplitude) : QJsonValue()},
        {QStringLiteral("velocity_rms_mm_s"), number(f.stats.velocityRms)},
        {QStringLiteral("zone"), f.zone == QLatin1Char('-') ? QJsonValue() : QJsonValue(QString(f.zone))},
    };
}

CaptureRecord::Record RecordOf(const StoredCapture& c)
{
    CaptureRecord::Record r;
    r.product = c.product;
    r.modeIndex = c.modeIndex;
    r.avgExponent = c.avgExponent;
    r.captCtrl = CaptureSettings::ComposeCaptCtrl(false, c.modeIndex, 0, false, false);
    r.sampleRate = c.sampleRate;
    r.time = c.timeUtc.toLocalTime();
    r.complete = c.complete && c.samples.size() == 3072;
    r.supply = c.supply;
    r.temp = c.temperature;
    r.peakX = c.peaks[0];
    r.peakY = c.peaks[1];
    r.peakZ = c.peaks[2];
    // Read through the capture's own product, whatever the program is set to now.
    const RegisterMap& map = RegisterMapFor(c.product);
    const std::array<int16_t, 3> rows{map.idxCAPT_BUF1, map.idxCAPT_BUF2, map.idxCAPT_BUF3};
    for (size_t k = 0; k < c.samples.size() && k < 3072; ++k) {
        const size_t b = k / 1024, i = k % 1024;
        const int32_t raw = map.RawOf(rows[b], c.samples[k] & 0xFFFF);
        r.raw[b][i] = raw;
        r.value[b][i] = map.ScaledValue(rows[b], raw);
    }
    return r;
}

std::optional<StoredCapture> Store::Capture(qint64 id) const
{
    for (StoredCapture& c : Select(QStringLiteral(" WHERE id = %1").arg(id), true))
        return c;
    return std::nullopt;
}

std::vector<StoredCapture> Store::Captures(bool withSamples) const { return Select(QString(), withSamples); }

std::vector<StoredCapture> Store::Select(const QString& where, bool withSamples) const
{
    QSqlDatabase db = QSqlDatabase::database(connection_);
    std::vector<StoredCapture> out;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id, time_utc, complete, loss_reason, product, mode, avg_exponent, sample_rate,"
                               " status, g_per_count, supply, temperature, peak_x, peak_y, peak_z, machine_class,"
                               " card_slot, card_name FROM captures") +
                where + QStringLiteral(" ORDER BY id")))
        return out;
    while (q.next()) {
        StoredCapture c;
        c.id = q.value(0).toLongLong();
        c.timeUtc = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
        c.complete = q.value(2).toInt() != 0;
        c.lossReason = q.value(3).toString();
        c.product = q.value(4).toInt();
        c.modeIndex = q.value(5).toInt();
        c.avgExponent = q.value(6).toInt();
        c.sampleRate = RealOf(q.value(7));
        c.status = q.value(8).toInt();
        c.gPerCount = RealOf(q.value(9));
        c.supply = RealOf(q.value(10));
        c.temperature = RealOf(q.value(11));
        for (int k = 0; k < 3; ++k)
            c.peaks[size_t(k)] = RealOf(q.value(12 + k));
        c.machineClass = q.value(15).toString();
        c.cardSlot = q.value(16).isNull() ? -1 : q.value(16).toInt();
        c.cardName = q.value(17).toString();
        out.push_back(c);
    }
    // One query for every capture's figures, in capture order: a night's 100,000 captures would
    // otherwise spend seconds on a query each.
    QSqlQuery f(db);
    f.setForwardOnly(true);
    if (!out.empty() &&
        f.exec(QStringLiteral("SELECT capture_id, name, mean, ac_rms, peak_to_peak, crest_factor, kurtosis, dominant_hz,"
                              " dominant_amplitude, velocity_rms, zone FROM figures WHERE capture_id IN"
                              " (SELECT id FROM captures") + where + QStringLiteral(") ORDER BY capture_id, channel"))) {
        size_t at = 0;
        while (f.next()) {
            const qint64 id = f.value(0).toLongLong();
            while (at < out.size() && out[at].id < id)
                ++at;
            if (at == out.size())
                break;
            if (out[at].id != id)
                continue;
            ChannelFigures cf;
            cf.name = f.value(1).toString();
            cf.stats.mean = RealOf(f.value(2));
            cf.stats.acRms = RealOf(f.value(3));
            cf.stats.peakToPeak = RealOf(f.value(4));
            cf.stats.crestFactor = RealOf(f.value(5));
            cf.stats.kurtosis = RealOf(f.value(6));
            cf.stats.dominantHz = RealOf(f.value(7));
            cf.stats.dominantAmplitude = RealOf(f.value(8));
            cf.stats.velocityRms = RealOf(f.value(9));
            const QString zone = f.value(10).toString();
            cf.zone = zone.isEmpty() ? QLatin1Char('-') : zone.at(0);
            out[at].figures.push_back(cf);
        }
    }
    if (!withSamples)
        return out;
    QSqlQuery w(db);
    w.prepare(QStringLiteral("SELECT samples FROM waveforms WHERE capture_id = ?"));
    for (StoredCapture& c : out) {
        w.addBindValue(c.id);
        if (w.exec() && w.next()) {
            const QByteArray blob = w.value(0).toByteArray();
            c.samples.resize(static_cast<size_t>(blob.size() / 2));
            for (size_t i = 0; i < c.samples.size(); ++i)
                c.samples[i] = qFromLittleEndian<int16_t>(blob.constData() + 2 * i);
        }
    }
    return out;
}

} // namespace monitor
