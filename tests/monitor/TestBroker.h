#pragma once
// A real Mosquitto broker on a free loopback port, a mosquitto_sub subscriber, and the monitor
// process, for the publishing tests.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QtTest/QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>

namespace tbroker {

inline int FreePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

inline bool Accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

// Polls `done` every 50 ms for up to `ms`.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 20000)
{
    for (int waited = 0; !done(); waited += 50) {
        if (waited >= ms)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(50);
    }
    return true;
}

class Broker {
public:
    // `listener` lines go under the listener (certfile, keyfile, password_file, ...).
    Broker(const QString& dir, const QStringList& listener = {}) : dir_(dir), port_(FreePort())
    {
        QFile conf(dir + "/mosquitto.conf");
        conf.open(QIODevice::WriteOnly);
        QStringList lines{QStringLiteral("per_listener_settings true"),
                          QStringLiteral("listener %1 127.0.0.1").arg(port_)};
        lines << listener;
        if (!listener.join(' ').contains("password_file"))
            lines << "allow_anonymous true";
        // Sessions and queued messages survive a restart, as on a plant's broker.
        lines << "persistence true" << "persistence_location " + dir + "/";
        if (::geteuid() == 0)
            lines << "user root";   // else it drops to a user that cannot write the test's folder
        conf.write((lines.join('\n') + '\n').toUtf8());
    }
    ~Broker() { Stop(); }
    int Port() const { return port_; }
    bool Start()
    {
        p_.setProcessChannelMode(QProcess::MergedChannels);
        p_.start("mosquitto", {"-c", dir_ + "/mosquitto.conf"});
        return p_.waitForStarted() && WaitUntil([this] { return Accepts(port_) || p_.state() != QProcess::Running; }, 10000) &&
               p_.state() == QProcess::Running;
    }
    void Stop()
    {
        if (p_.state() == QProcess::NotRunning)
            return;
        p_.terminate();
        p_.waitForFinished(10000);
    }
    QString Log() { return QString::fromUtf8(p_.readAll()); }

private:
    QString dir_;
    int port_;
    QProcess p_;
};

struct Message {
    QString topic;
    QByteArray payload;   // empty: a retained message cleared
    QJsonObject Json() const { return QJsonDocument::fromJson(payload).object(); }
};

// mosquitto_sub on `topic`, each line "topic payload"; with `clientId` a persistent session
// (QoS 1 messages queue at the broker while it is away).
class Subscriber {
public:
    Subscriber(int port, const QString& topic, const QString& clientId = {}, const QStringList& extra = {})
    {
        QStringList args{"-h", "127.0.0.1", "-p", QString::number(port), "-t", topic, "-v", "-q", "1"};
        if (!clientId.isEmpty())
            args << "-c" << "-i" << clientId;
        p_.start("mosquitto_sub", args + extra);
        p_.waitForStarted();
    }
    ~Subscriber()
    {
        p_.terminate();
        p_.waitForFinished(5000);
    }
    // Publishes probes under `topic` until one comes back: the subscription stands.
    bool Ready(int port, const QString& probeTopic)
    {
        return WaitUntil([&] {
            QProcess::execute("mosquitto_pub", {"-h", "127.0.0.1", "-p", QString::number(port), "-t", probeTopic, "-m", "probe"});
            return !Where([&](const Message& m) { return m.topic == probeTopic; }).empty();
        }, 10000);
    }
    std::vector<Message> Where(const std::function<bool(const Message&)>& pick)
    {
        Read();
        std::vector<Message> out;
        for (const Message& m : all_)
            if (pick(m))
                out.push_back(m);
        return out;
    }
    std::vector<Message> OnTopic(const QString& suffix)
    {
        return Where([&](const Message& m) { return m.topic.endsWith(suffix); });
    }

private:
    void Read()
    {
        p_.waitForReadyRead(10);
        buffer_ += p_.readAllStandardOutput();
        qsizetype nl;
        while ((nl = buffer_.indexOf('\n')) >= 0) {
            const QByteArray line = buffer_.left(nl);
            buffer_.remove(0, nl + 1);
            const qsizetype sp = line.indexOf(' ');
            Message m{QString::fromUtf8(sp < 0 ? line : line.left(sp)), sp < 0 ? QByteArray() : line.mid(sp + 1)};
            if (m.payload == "(null)")
                m.payload.clear();
            all_.push_back(m);
        }
    }
    QProcess p_;
    QByteArray buffer_;
    std::vector<Message> all_;
};

// The monitor process on virtual cards (no fault unless given).
inline void PrepareMonitor(QProcess& p, const QString& fault = {}, const QStringList& env = {})
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.remove("SENSORBENCH_SIM");
    e.remove("SENSORBENCH_SIM_FAULT");
    e.remove("SENSORBENCH_MQTT_PASSWORD");
    if (!fault.isEmpty())
        e.insert("SENSORBENCH_SIM_FAULT", fault);
    for (const QString& kv : env)
        e.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(e);
}

} // namespace tbroker
