#include "monitor/MqttPublisher.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSysInfo>
#include <QCoreApplication>
#include <QUrl>
#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace monitor {

namespace {
using Clock = std::chrono::steady_clock;

// Messages in flight before the publisher waits for acknowledgements (libmosquitto's default).
constexpr int kWindow = 20;
constexpr int kKeepAliveSeconds = 30;
constexpr auto kConnectTimeout = std::chrono::seconds(10);
constexpr double kFirstBackoffSeconds = 0.5, kMaxBackoffSeconds = 30;

const char* const kModeNames[] = {"manual", "automatic", "event", "extended-x", "extended-y", "extended-z"};

QJsonValue Number(double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(); }
QJsonValue Text(const QString& s) { return s.isEmpty() ? QJsonValue() : QJsonValue(s); }

struct LibraryInit {
    LibraryInit() { mosquitto_lib_init(); }
};
} // namespace

QString MqttSettings::Url() const
{
    return QStringLiteral("%1://%2%3:%4/%5")
        .arg(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"), user.isEmpty() ? QString() : user + QLatin1Char('@'),
             host)
        .arg(port)
        .arg(prefix);
}

std::optional<MqttSettings> ParseMqttUrl(const QString& url, QString* error)
{
    static const QRegularExpression re(
        QStringLiteral("^(mqtts?)://(?:([^@:/]+)(:[^@/]*)?@)?(\\[[0-9A-Fa-f:.]+\\]|[^@:/\\[\\]]+)(?::(\\d+))?/(\\S+)$"));
    const QRegularExpressionMatch m = re.match(url);
    if (!m.hasMatch()) {
        *error = QStringLiteral("--mqtt takes mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://...");
        return std::nullopt;
    }
    if (!m.captured(3).isEmpty()) {
        *error = QStringLiteral("--mqtt: no password in the URL; use --mqtt-password-file or SENSORBENCH_MQTT_PASSWORD");
        return std::nullopt;
    }
    MqttSettings s;
    s.tls = m.captured(1) == QLatin1String("mqtts");
    s.user = QUrl::fromPercentEncoding(m.captured(2).toUtf8());
    s.host = m.captured(4);
    if (s.host.startsWith(QLatin1Char('[')))
        s.host = s.host.mid(1, s.host.size() - 2);
    s.port = s.tls ? 8883 : 1883;
    if (!m.captured(5).isEmpty()) {
        const int port = m.captured(5).toInt();
        if (port < 1 || port > 65535) {
            *error = QStringLiteral("--mqtt: port %1 is out of range").arg(m.captured(5));
            return std::nullopt;
        }
        s.port = port;
    }
    s.prefix = m.captured(6);
    while (s.prefix.endsWith(QLatin1Char('/')))
        s.prefix.chop(1);
    if (s.prefix.isEmpty() || s.prefix.contains(QLatin1Char('#')) || s.prefix.contains(QLatin1Char('+'))) {
        *error = QStringLiteral("--mqtt: the topic prefix must be given and hold no '#' or '+'");
        return std::nullopt;
    }
    return s;
}

QString StatusTopic(const MqttSettings& s) { return s.prefix + QStringLiteral("/status"); }
QString CardTopic(const MqttSettings& s, int cardSlot)
{
    return s.prefix + QStringLiteral("/card/") + (cardSlot >= 0 ? QString::number(cardSlot) : QStringLiteral("port"));
}
QString CaptureTopic(const MqttSettings& s, int cardSlot) { return CardTopic(s, cardSlot) + QStringLiteral("/capture"); }
QString SamplesTopic(const MqttSettings& s, int cardSlot) { return CardTopic(s, cardSlot) + QStringLiteral("/samples"); }
QString AlarmTopic(const MqttSettings& s, int cardSlot, int channel)
{
    return CardTopic(s, cardSlot) + QStringLiteral("/alarm/") + QString::number(channel);
}

QJsonObject CaptureMessage(const OutboxEntry& e)
{
    const StoredCapture& c = e.capture;
    QJsonArray channels;
    for (const ChannelFigures& f : c.figures)
        channels.append(FiguresJson(f));
    const int mode = c.modeIndex;
    return QJsonObject{
        {QStringLiteral("message_id"), e.messageId},
        {QStringLiteral("capture_id"), c.id},
        {QStringLiteral("time"), c.timeUtc.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("host"), Text(e.host)},
        {QStringLiteral("card_slot"), c.cardSlot >= 0 ? QJsonValue(c.cardSlot) : QJsonValue()},
        {QStringLiteral("card_name"), Text(c.cardName)},
        {QStringLiteral("product"), c.product},
        {QStringLiteral("mode"), mode >= 0 && mode < 6 ? QJsonValue(QLatin1String(kModeNames[mode])) : QJsonValue()},
        {QStringLiteral("avg_exponent"), c.avgExponent},
        {QStringLiteral("averaging"), 1 << std::clamp(c.avgExponent, 0, 10)},
        {QStringLiteral("sample_rate_hz"), Number(c.sampleRate)},
        {QStringLiteral("complete"), c.complete},
        {QStringLiteral("loss_reason"), c.complete ? QJsonValue() : Text(c.lossReason)},
        {QStringLiteral("status_word"), c.complete ? QJsonValue(c.status) : QJsonValue()},
        {QStringLiteral("supply"), Number(c.supply)},
        {QStringLiteral("temperature"), Number(c.temperature)},
        {QStringLiteral("machine_class"), Text(c.machineClass)},
        {QStringLiteral("channels"), channels},
    };
}

QJsonObject SamplesMessage(const OutboxEntry& e)
{
    const StoredCapture& c = e.capture;
    QJsonArray buffers;
    for (size_t b = 0; b < 3 && c.samples.size() == 3072; ++b) {
        QJsonArray counts;
        for (size_t i = 0; i < 1024; ++i)
            counts.append(c.samples[b * 1024 + i]);
        buffers.append(counts);
    }
    return QJsonObject{{QStringLiteral("message_id"), e.messageId},
                       {QStringLiteral("capture_id"), c.id},
                       {QStringLiteral("card_slot"), c.cardSlot >= 0 ? QJsonValue(c.cardSlot) : QJsonValue()},
                       {QStringLiteral("product"), c.product},
                       {QStringLiteral("g_per_count"), Number(c.gPerCount)},
                       {QStringLiteral("buffers"), buffers}};
}

// Everything the publisher thread alone touches; libmosquitto's callbacks run inside its
// mosquitto_loop() call on that thread.
struct MqttPublisher::State {
    mosquitto* mosq = nullptr;
    bool connected = false;
    Clock::time_point connectStarted;
    QString refused;                 // the broker's answer to CONNECT, when it said no
    bool lost = false;
    QString lastLogError;            // libmosquitto's own words (TLS errors)
    std::map<int, qint64> inflight;  // message id -> capture id
    std::vector<qint64> acked;       // not yet marked in the database
    qint64 lastSent = 0;
    bool more = true;                // the outbox may hold something not yet sent
    std::map<QString, QByteArray> current;  // every retained message of the run, to send again after a reconnect

    static State& Of(void* p) { return *static_cast<State*>(p); }
};

MqttPublisher::MqttPublisher(MqttSettings settings, QString dbPath)
    : settings_(std::move(settings)), dbPath_(std::move(dbPath)), state_(std::make_unique<State>())
{
    static LibraryInit init;
    thread_ = std::thread([this] { Loop(); });
}

MqttPublisher::~MqttPublisher()
{
    stop_ = true;
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void MqttPublisher::Wake()
{
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

void MqttPublisher::SetRetained(const QString& topic, const QByteArray& payload)
{
    {
        std::lock_guard lock(mutex_);
        retained_[topic] = payload;
        woken_ = true;
    }
    wake_.notify_all();
}

QStringList MqttPublisher::TakeNotes()
{
    std::lock_guard lock(mutex_);
    QStringList out;
    out.swap(notes_);
    return out;
}

void MqttPublisher::Note(const QString& text)
{
    std::lock_guard lock(mutex_);
    notes_ << text;
}

bool MqttPublisher::Drain(int ms)
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    Wake();
    // One pass of the loop after the wake, so that the count is current.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    while (pending_ > 0 && reachable_ && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return pending_ == 0;
}

void MqttPublisher::Loop()
{
    State& st = *state_;
    Store store;
    QString problem;        // the broker's, reported; cleared when connected
    QString storeProblem;   // the database's, reported once
    double backoff = kFirstBackoffSeconds;
    Clock::time_point nextAttempt = Clock::now();
    const QByteArray clientId = QStringLiteral("sensorbench-%1-%2")
                                    .arg(QSysInfo::machineHostName())
                                    .arg(QCoreApplication::applicationPid())
                                    .toUtf8();
    const QByteArray statusTopic = StatusTopic(settings_).toUtf8();
    const QByteArray offline("offline"), online("online");

    // One line per outage: its first cause. The attempts after it fail the same way.
    auto report = [&](const QString& why) {
        if (!problem.isEmpty())
            return;
        problem = why;
        Note(QStringLiteral("%1: %2; captures are kept in %3 and sent when the broker takes them")
                 .arg(settings_.Url(), why, dbPath_));
    };
    auto drop = [&](const QString& why) {
        if (st.mosq) {
            mosquitto_destroy(st.mosq);
            st.mosq = nullptr;
        }
        // What was in flight goes out again from the outbox, in order, on the next connection.
        st.connected = false;
        st.inflight.clear();
        st.lastSent = 0;
        st.more = true;
        reachable_ = false;
        report(why);
        nextAttempt = Clock::now() + std::chrono::milliseconds(qint64(backoff * 1000));
        backoff = std::min(backoff * 2, kMaxBackoffSeconds);
    };
    auto publish = [&](const QByteArray& topic, const QByteArray& payload, bool retain, int* mid) {
        return mosquitto_publish(st.mosq, mid, topic.constData(), int(payload.size()), payload.constData(), 1, retain);
    };
    auto connect = [&]() -> QString {
        st.connected = false;
        st.connectStarted = Clock::now();
        st.refused.clear();
        st.lost = false;
        st.lastLogError.clear();
        st.inflight.clear();
        st.lastSent = 0;
        st.more = true;
        st.mosq = mosquitto_new(clientId.constData(), true, &st);
        if (!st.mosq)
            return QStringLiteral("cannot make an MQTT client");
        mosquitto_int_option(st.mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_connect_callback_set(st.mosq, [](mosquitto*, void* p, int rc) {
            State& s = State::Of(p);
            if (rc == 0)
                s.connected = true;
            else
                s.refused = QString::fromUtf8(mosquitto_connack_string(rc));
        });
        mosquitto_disconnect_callback_set(st.mosq, [](mosquitto*, void* p, int) { State::Of(p).lost = true; });
        mosquitto_publish_callback_set(st.mosq, [](mosquitto*, void* p, int mid) {
            State& s = State::Of(p);
            const auto it = s.inflight.find(mid);
            if (it == s.inflight.end())
                return;
            s.acked.push_back(it->second);
            s.inflight.erase(it);
            s.more = true;
        });
        mosquitto_log_callback_set(st.mosq, [](mosquitto*, void* p, int level, const char* text) {
            if (level & MOSQ_LOG_ERR)
                State::Of(p).lastLogError = QString::fromUtf8(text);
        });
        mosquitto_will_set(st.mosq, statusTopic.constData(), int(offline.size()), offline.constData(), 1, true);
        if (!settings_.user.isEmpty())
            mosquitto_username_pw_set(st.mosq, settings_.user.toUtf8().constData(),
                                      settings_.password.isEmpty() ? nullptr : settings_.password.toUtf8().constData());
        if (settings_.tls) {
            auto path = [](const QString& f) { return f.isEmpty() ? QByteArray() : f.toUtf8(); };
            const QByteArray ca = path(settings_.caFile), cert = path(settings_.certFile), key = path(settings_.keyFile);
            if (ca.isEmpty())
                mosquitto_int_option(st.mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            const int rc = mosquitto_tls_set(st.mosq, ca.isEmpty() ? nullptr : ca.constData(), nullptr,
                                             cert.isEmpty() ? nullptr : cert.constData(),
                                             key.isEmpty() ? nullptr : key.constData(), nullptr);
            if (rc != MOSQ_ERR_SUCCESS)
                return QStringLiteral("cannot use the TLS files (%1)").arg(QString::fromUtf8(mosquitto_strerror(rc)));
        }
        const int rc = mosquitto_connect_async(st.mosq, settings_.host.toUtf8().constData(), settings_.port,
                                               kKeepAliveSeconds);
        if (rc == MOSQ_ERR_EAI)
            return QStringLiteral("cannot find host %1").arg(settings_.host);
        if (rc == MOSQ_ERR_ERRNO)
            return QStringLiteral("cannot connect (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("cannot connect (%1)")
                .arg(st.lastLogError.isEmpty() ? QString::fromUtf8(mosquitto_strerror(rc)) : st.lastLogError);
        return {};
    };

    while (!stop_) {
        if (!store.IsOpen()) {
            QString error;
            if (!store.Open(dbPath_, &error)) {
                if (!store.LastErrorBusy() && error != storeProblem)
                    Note(storeProblem = error);
                // Nothing to send without the outbox: try again in a while.
                std::unique_lock lock(mutex_);
                wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_.load(); });
                continue;
            }
        }
        std::map<QString, QByteArray> retained;
        {
            std::unique_lock lock(mutex_);
            if (!st.mosq && Clock::now() < nextAttempt) {
                wake_.wait_until(lock, std::min(nextAttempt, Clock::now() + std::chrono::milliseconds(200)),
                                 [this] { return woken_; });
                woken_ = false;
                continue;
            }
            if (woken_)
                st.more = true;
            woken_ = false;
            retained.swap(retained_);
        }
        for (auto& [topic, payload] : retained)
            st.current[topic] = payload;
        if (!st.mosq) {
            if (const QString why = connect(); !why.isEmpty()) {
                drop(why);
                continue;
            }
        }
        const bool wasConnected = st.connected;
        int rc = mosquitto_loop(st.mosq, 100, 1);
        if (rc == MOSQ_ERR_ERRNO && errno != 0) {
            st.lastLogError = QString::fromLocal8Bit(std::strerror(errno));
        }
        if (st.connected && !wasConnected) {
            // Connected: the bench is online, the run's retained messages (alarms) stand again.
            backoff = kFirstBackoffSeconds;
            reachable_ = true;
            if (!problem.isEmpty())
                Note(QStringLiteral("%1: connected; sending %2 kept captures").arg(settings_.Url()).arg(store.OutboxPending()));
            problem.clear();
            publish(statusTopic, online, true, nullptr);
            retained = st.current;
        }
        if (st.connected) {
            for (auto& [topic, payload] : retained)
                publish(topic.toUtf8(), payload, true, nullptr);
            while (st.more && int(st.inflight.size()) < kWindow && rc == MOSQ_ERR_SUCCESS) {
                const std::vector<OutboxEntry> batch =
                    store.Outbox(st.lastSent, kWindow - int(st.inflight.size()), settings_.samples);
                st.more = int(batch.size()) == kWindow - int(st.inflight.size());
                for (const OutboxEntry& e : batch) {
                    if (settings_.samples && e.capture.samples.size() == 3072)
                        rc = publish(SamplesTopic(settings_, e.capture.cardSlot).toUtf8(),
                                     QJsonDocument(SamplesMessage(e)).toJson(QJsonDocument::Compact), false, nullptr);
                    int mid = 0;
                    if (rc == MOSQ_ERR_SUCCESS)
                        rc = publish(CaptureTopic(settings_, e.capture.cardSlot).toUtf8(),
                                     QJsonDocument(CaptureMessage(e)).toJson(QJsonDocument::Compact), false, &mid);
                    if (rc != MOSQ_ERR_SUCCESS)
                        break;
                    st.inflight[mid] = e.capture.id;
                    st.lastSent = e.capture.id;
                }
                if (batch.empty())
                    break;
            }
        }
        if (!st.acked.empty()) {
            QString error;
            // Kept when the database is locked: marked at a later pass.
            if (store.MarkPublished(st.acked, &error))
                st.acked.clear();
            else if (!store.LastErrorBusy() && error != storeProblem)
                Note(storeProblem = error);
        }
        pending_ = store.IsOpen() ? store.OutboxPending() : 0;
        if (!st.refused.isEmpty())
            drop(QStringLiteral("the broker refused the connection: %1").arg(st.refused));
        else if (st.lost || rc != MOSQ_ERR_SUCCESS) {
            QString why = wasConnected || st.connected ? QStringLiteral("connection to the broker lost")
                                                       : QStringLiteral("cannot connect");
            if (!st.lastLogError.isEmpty())
                why += QStringLiteral(" (%1)").arg(st.lastLogError);
            else if (rc == MOSQ_ERR_CONN_REFUSED)
                why += QStringLiteral(" (connection refused)");
            drop(why);
        } else if (!st.connected && Clock::now() - st.connectStarted > kConnectTimeout)
            drop(QStringLiteral("no answer from the broker"));
    }
    if (st.mosq) {
        if (st.connected) {
            // A clean end says offline itself; the will says it for a crash.
            int mid = 0;
            if (publish(statusTopic, offline, true, &mid) == MOSQ_ERR_SUCCESS) {
                st.inflight[mid] = 0;
                for (int i = 0; i < 20 && st.inflight.count(mid); ++i)
                    mosquitto_loop(st.mosq, 50, 1);
            }
            if (!st.acked.empty()) {
                std::erase(st.acked, 0);
                store.MarkPublished(st.acked, nullptr);
            }
            mosquitto_disconnect(st.mosq);
            mosquitto_loop(st.mosq, 50, 1);
        }
        mosquitto_destroy(st.mosq);
        st.mosq = nullptr;
    }
}

} // namespace monitor
