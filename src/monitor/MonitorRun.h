#pragma once
// A monitoring run: every interval, one capture of each card, stored first, then published and
// judged for alarms. How a card is captured is the caller's: each card source brings a function
// that takes one capture, on a session of its own, so the cards capture side by side (the
// functions run on threads of their own).
#include "capture/CaptureRecord.h"
#include "monitor/MonitorStore.h"
#include "monitor/Severity.h"

#include <QString>
#include <csignal>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace monitor {

class MqttPublisher;

struct CaptureOutcome {
    CaptureRecord::Record record;   // complete: the capture; lost: its settings and time only
    bool complete = false;
    QString lossReason;
    int32_t status = 0;
};

struct CardSource {
    int slot = -1;   // -1: no card slot (parallel port)
    QString name;
    std::function<CaptureOutcome()> capture;
};

struct RunSettings {
    qint64 intervalMs = 10000;
    std::optional<qint64> durationMs;
    std::optional<int> count;   // intervals, each capturing every card
    MachineClass machine = MachineClasses().front();
    std::optional<int> keepWaveforms;
    std::optional<QChar> alarmZone;
};

struct CaptureReport {
    int interval = 0;   // 1, 2, ...
    const CardSource& card;
    const CaptureOutcome& outcome;
    const std::vector<ChannelFigures>& figures;
    std::optional<qint64> id;   // the database row; nullopt while the database is locked
};

class MonitorRun {
public:
    MonitorRun(QString dbPath, std::vector<CardSource> cards, RunSettings settings, MqttPublisher* publisher = nullptr);
    ~MonitorRun();

    // Opens the database. A lock does not stop the run (the captures wait for it); any other
    // error does: false and the error, naming the file.
    bool Start(QString* error);
    // Captures until the count, the duration or `stop`; nullopt, or the store error that ended it.
    std::optional<QString> Run(const volatile std::sig_atomic_t& stop);

    // Each capture as soon as it is taken and stored (or kept for a locked database).
    std::function<void(const CaptureReport&)> onCapture;
    // A channel of a capture at or above the alarm zone.
    std::function<void(const CaptureReport&, const ChannelFigures&)> onAlarm;
    // Notes for whoever watches: the database locked and free again, the broker away and back.
    std::function<void(const QString&)> onNote;

    bool Alarming(const ChannelFigures& f) const;
    // Publishing starts once the database is open (a run that cannot start never says "online").
    void SetPublisher(MqttPublisher* publisher) { publisher_ = publisher; }
    // Captures taken but not yet in the database.
    size_t Kept() const { return kept_.size(); }

private:
    struct Taken {
        int interval;
        size_t card;
        CaptureOutcome outcome;
        std::vector<ChannelFigures> figures;
        QString messageId;
    };
    // Stores the kept captures oldest first; stops at a lock. An error other than a lock ends the run.
    std::optional<QString> StoreKept();
    void PublishAlarms(const CaptureReport& r);
    void Note(const QString& text);
    void PassOnPublisherNotes();

    QString dbPath_;
    std::vector<CardSource> cards_;
    RunSettings settings_;
    MqttPublisher* publisher_;
    Store store_;
    QString host_;
    std::deque<Taken> kept_;
    bool lockReported_ = false;
    qint64 lastStoredId_ = 0;
    std::map<std::pair<int, int>, bool> alarmState_;   // (card slot, channel) -> alarm published
};

} // namespace monitor
