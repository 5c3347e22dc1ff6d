#include "monitor/MonitorRun.h"
#include <future>
#include "monitor/MqttPublisher.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QThread>
#include <QUuid>
#include <cmath>

namespace monitor {

namespace {
// A database locked for hours must not take the memory with it: beyond this many captures
// waiting for it, the oldest is given up.
constexpr size_t kMaxKept = 200;
// Tries at the end of a run to store captures a locked database kept out, a second apart.
constexpr int kEndAttempts = 6;
// How long a run's end waits for the broker to take what is still in the outbox.
constexpr int kDrainMs = 5000;
} // namespace

MonitorRun::MonitorRun(QString dbPath, std::vector<CardSource> cards, RunSettings settings, MqttPublisher* publisher)
    : dbPath_(std::move(dbPath)), cards_(std::move(cards)), settings_(std::move(settings)), publisher_(publisher),
      host_(QSysInfo::machineHostName())
{
}

MonitorRun::~MonitorRun() = default;

bool MonitorRun::Start(QString* error)
{
    if (store_.Open(dbPath_, error))
        return true;
    if (!store_.LastErrorBusy())
        return false;
    Note(QStringLiteral("%1; captures are kept and stored when it is free").arg(*error));
    lockReported_ = true;
    return true;
}

bool MonitorRun::Alarming(const ChannelFigures& f) const
{
    return settings_.alarmZone && f.zone != QLatin1Char('-') && f.zone >= *settings_.alarmZone;
}

void MonitorRun::Note(const QString& text)
{
    if (onNote)
        onNote(text);
}

void MonitorRun::PassOnPublisherNotes()
{
    if (publisher_)
        for (const QString& n : publisher_->TakeNotes())
            Note(n);
}

std::optional<QString> MonitorRun::StoreKept()
{
    QString error;
    if (!store_.IsOpen() && !store_.Open(dbPath_, &error)) {
        if (!store_.LastErrorBusy())
            return error;
    }
    size_t stored = 0;
    while (store_.IsOpen() && !kept_.empty()) {
        Taken& k = kept_.front();
        const CardSource& card = cards_[k.card];
        std::optional<OutboxEntry> outgoing;
        if (publisher_)
            outgoing = OutboxEntry{k.messageId, host_, {}};
        const std::optional<qint64> id =
            store_.Add(k.outcome.record, k.outcome.complete, k.outcome.lossReason, k.outcome.status, k.figures,
                       settings_.machine.name, CaptureOrigin{card.slot, card.name}, outgoing, &error);
        if (!id) {
            if (!store_.LastErrorBusy())
                return error;
            break;
        }
        kept_.pop_front();
        lastStoredId_ = *id;
        ++stored;
    }
    if (kept_.empty()) {
        if (lockReported_ && stored > 0)
            Note(QStringLiteral("%1: free again; %2 kept captures stored").arg(dbPath_).arg(stored));
        lockReported_ = lockReported_ && stored == 0;
    } else if (!lockReported_) {
        Note(QStringLiteral("%1; captures are kept and stored when it is free").arg(error));
        lockReported_ = true;
    }
    if (stored > 0 && publisher_)
        publisher_->Wake();
    if (stored > 0 && settings_.keepWaveforms && !store_.KeepWaveforms(*settings_.keepWaveforms, &error) &&
        !store_.LastErrorBusy())
        return error;
    return std::nullopt;
}

void MonitorRun::PublishAlarms(const CaptureReport& r)
{
    if (!publisher_ || !settings_.alarmZone || !r.outcome.complete)
        return;
    for (size_t c = 0; c < r.figures.size(); ++c) {
        const ChannelFigures& f = r.figures[c];
        // A channel without a velocity says nothing about the alarm: it stays as it was.
        if (f.zone == QLatin1Char('-'))
            continue;
        const bool alarming = Alarming(f);
        const auto key = std::make_pair(r.card.slot, int(c));
        const auto it = alarmState_.find(key);
        if (it != alarmState_.end() && it->second == alarming)
            continue;
        alarmState_[key] = alarming;
        QByteArray payload;   // empty: the retained alarm is cleared
        if (alarming)
            payload = QJsonDocument(QJsonObject{
                                        {QStringLiteral("time"), r.outcome.record.time.toUTC().toString(Qt::ISODateWithMs)},
                                        {QStringLiteral("host"), host_},
                                        {QStringLiteral("card_slot"), r.card.slot >= 0 ? QJsonValue(r.card.slot) : QJsonValue()},
                                        {QStringLiteral("card_name"), r.card.name},
                                        {QStringLiteral("capture_id"), r.id ? QJsonValue(*r.id) : QJsonValue()},
                                        {QStringLiteral("channel"), f.name},
                                        {QStringLiteral("zone"), QString(f.zone)},
                                        {QStringLiteral("alarm_zone"), QString(*settings_.alarmZone)},
                                        {QStringLiteral("velocity_rms_mm_s"), f.stats.velocityRms},
                                        {QStringLiteral("machine_class"), settings_.machine.name},
                                    })
                          .toJson(QJsonDocument::Compact);
        publisher_->SetRetained(AlarmTopic(publisher_->Settings(), r.card.slot, int(c)), payload);
    }
}

std::optional<QString> MonitorRun::Run(const volatile std::sig_atomic_t& stop)
{
    QElapsedTimer run;
    run.start();
    for (int n = 1; stop == 0; ++n) {
        if ((settings_.count && n > *settings_.count) || (settings_.durationMs && run.elapsed() >= *settings_.durationMs))
            break;
        const qint64 started = run.elapsed();
        // Kept captures go in first, so that the database keeps the order they were taken in.
        if (!kept_.empty())
            if (std::optional<QString> error = StoreKept())
                return error;
        // Every card has a session of its own: the cards capture side by side, and their captures
        // are stored in card order.
        std::vector<std::future<CaptureOutcome>> taking;
        taking.reserve(cards_.size());
        for (const CardSource& card : cards_)
            taking.push_back(std::async(std::launch::async, card.capture));
        for (size_t c = 0; c < cards_.size() && stop == 0; ++c) {
            Taken k{n, c, taking[c].get(), {}, QUuid::createUuid().toString(QUuid::WithoutBraces)};
            if (k.outcome.complete)
                k.figures = Figures(k.outcome.record, settings_.machine);
            if (kept_.size() >= kMaxKept) {
                kept_.pop_front();
                Note(QStringLiteral("%1: still not free; the oldest kept capture is given up").arg(dbPath_));
            }
            // Behind captures already waiting for a locked database, this one waits too, till the
            // next interval: one busy wait per interval, not one per card.
            const bool first = kept_.empty();
            kept_.push_back(k);
            if (first)
                if (std::optional<QString> error = StoreKept())
                    return error;
            std::optional<qint64> id;
            if (kept_.empty() || kept_.back().messageId != k.messageId)
                id = lastStoredId_;
            const CaptureReport report{n, cards_[c], k.outcome, k.figures, id};
            if (onCapture)
                onCapture(report);
            for (const ChannelFigures& f : k.figures)
                if (Alarming(f) && onAlarm)
                    onAlarm(report, f);
            PublishAlarms(report);
        }
        PassOnPublisherNotes();
        if (settings_.count && n >= *settings_.count)
            break;
        // Sleeping, not spinning: the process is idle between captures.
        while (stop == 0 && run.elapsed() < started + settings_.intervalMs) {
            QThread::msleep(static_cast<unsigned long>(std::min<qint64>(200, started + settings_.intervalMs - run.elapsed())));
            PassOnPublisherNotes();
        }
    }
    // The run is over, its captures are not: a few more tries before they are given up.
    for (int attempt = 0; attempt < kEndAttempts && !kept_.empty(); ++attempt) {
        if (attempt > 0)
            QThread::msleep(1000);
        if (std::optional<QString> error = StoreKept())
            return error;
    }
    if (!kept_.empty())
        return QStringLiteral("%1: still locked at the end of the run; %2 captures could not be stored")
            .arg(dbPath_)
            .arg(kept_.size());
    if (publisher_)
        publisher_->Drain(kDrainMs);
    PassOnPublisherNotes();
    return std::nullopt;
}

} // namespace monitor
