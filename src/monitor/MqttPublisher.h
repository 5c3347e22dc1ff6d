#pragma once
// Publishing a monitoring run to an MQTT broker (libmosquitto). The database is the outbox: the
// publisher's own thread sends what the outbox holds, oldest first, and marks each capture when
// the broker acknowledges it (QoS 1), so a broker outage or a killed process loses nothing. The
// capture schedule never waits for the network.
#include "monitor/MonitorStore.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace monitor {

struct MqttSettings {
    bool tls = false;
    QString host;
    int port = 1883;
    QString prefix;                // topic prefix, without a trailing '/'
    QString user, password;
    QString caFile, certFile, keyFile;
    bool samples = false;          // raw samples on a topic of their own
    QString Url() const;           // as the user would write it, without any password
};

// mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://...; nullopt and why for anything else.
std::optional<MqttSettings> ParseMqttUrl(const QString& url, QString* error);

// Topic layout under the prefix.
QString StatusTopic(const MqttSettings& s);
QString CardTopic(const MqttSettings& s, int cardSlot);   // PREFIX/card/N, PREFIX/card/port
QString CaptureTopic(const MqttSettings& s, int cardSlot);
QString SamplesTopic(const MqttSettings& s, int cardSlot);
QString AlarmTopic(const MqttSettings& s, int cardSlot, int channel);

// The messages, from what the database holds (the same whether sent at once or from a backlog).
QJsonObject CaptureMessage(const OutboxEntry& e);
QJsonObject SamplesMessage(const OutboxEntry& e);

class MqttPublisher {
public:
    MqttPublisher(MqttSettings settings, QString dbPath);
    ~MqttPublisher();   // says "offline", disconnects and ends the thread
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // A capture was added to the outbox.
    void Wake();
    // A retained message on `topic`; an empty payload clears it. Only the newest per topic is
    // kept while the broker is away.
    void SetRetained(const QString& topic, const QByteArray& payload);
    // What the publisher has to say (connection failures, each once), for the run's output.
    QStringList TakeNotes();
    // Waits up to `ms` for the outbox to empty while the broker is reachable; false when captures remain.
    bool Drain(int ms);
    const MqttSettings& Settings() const { return settings_; }

    struct State;

private:
    void Loop();
    void Note(const QString& text);

    MqttSettings settings_;
    QString dbPath_;
    std::unique_ptr<State> state_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    std::map<QString, QByteArray> retained_;   // topic -> payload not yet sent
    QStringList notes_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> reachable_{true};         // false after a failed attempt, until connected
    std::atomic<int> pending_{0};               // unacknowledged outbox entries
    std::thread thread_;
};

} // namespace monitor
