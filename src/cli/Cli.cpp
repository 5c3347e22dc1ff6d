#include "cli/Cli.h"

#include "analysis/SampleRate.h"
#include "analysis/Statistics.h"
#include "capture/CaptureRecord.h"
#include "capture/CaptureSettings.h"
#include "capture/CaptureWorkflow.h"
#include "cli/MonitorCommand.h"
#include "monitor/MonitorRun.h"
#include "monitor/MonitorStore.h"
#include "monitor/MqttPublisher.h"
#include "monitor/Severity.h"
#include "config/ConfigConversions.h"
#include "capture/FastReadout.h"
#include "datalog/DataFile.h"
#include "device/DeviceSetup.h"
#include "device/EzUsb.h"
#include "device/SetupGiveIO.h"
#include "device/FrameTrace.h"
#include "device/Spi_mod.h"
#include "device/UsbSpiDrivers.h"
#include "registers/RegisterListing.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Messages.h"
#include "shell/Module1.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <mutex>
#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <cmath>
#include <optional>

namespace cli {
namespace {

// A failed command: message for stderr and exit code.
struct Failure {
    QString message;
    int code;
};


std::optional<int> ParseInt(const QString& text, int base = 10)
{
    bool ok = false;
    const int v = text.toInt(&ok, base);
    return ok ? std::optional<int>(v) : std::nullopt;
}

// Capture-mode list index to the name --mode takes (automatic and event are the window's only).
const QStringList kModeNames{QStringLiteral("manual"),     QStringLiteral("automatic"),  QStringLiteral("event"),
                             QStringLiteral("extended-x"), QStringLiteral("extended-y"), QStringLiteral("extended-z")};

QString ModeName(int modeIndex)
{
    return modeIndex >= 0 && modeIndex < kModeNames.size() ? kModeNames[modeIndex] : QString::number(modeIndex);
}

// An unknown figure is null: a 0 would pass for a measurement.
QJsonValue Figure(double v)
{
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

QJsonValue TextOrNull(const QString& s)
{
    return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s);
}

double SampleRateOf(const CaptureRecord::Record& r)
{
    return r.sampleRate > 0 ? r.sampleRate : analysis::SampleRate(r.product, r.avgExponent);
}

// Why a channel has no velocity, or what may limit the one it has; empty when nothing is to be said.
QString VelocityNote(const analysis::ChannelStats& s, bool acceleration)
{
    if (!s.velocityNote.isEmpty())
        return s.velocityNote;
    if (!acceleration)
        return QStringLiteral("not an acceleration channel");
    return std::isfinite(s.velocityRms) ? QString() : QStringLiteral("unknown");
}

// Velocity for the text reports: the figure when known, "-" and the reason when an acceleration
// channel has none; nothing for a channel that is no acceleration.
QString VelocityText(const monitor::ChannelFigures& f, bool acceleration, bool withZone)
{
    if (std::isfinite(f.stats.velocityRms))
        return QStringLiteral("v %1 mm/s").arg(QString::number(f.stats.velocityRms, 'f', 2))
               + (withZone ? QStringLiteral(" zone ") + f.zone : QString());
    if (!acceleration)
        return {};
    return QStringLiteral("v - (%1)").arg(VelocityNote(f.stats, acceleration));
}

// Which of the record's channels are acceleration, in the order monitor::Figures lists them.
std::vector<bool> AccelerationChannels(const CaptureRecord::Record& r)
{
    std::vector<bool> out;
    for (const analysis::Channel& c : analysis::RecordChannels(analysis::ViewOfRecord(r), r))
        out.push_back(c.acceleration);
    return out;
}

// What a capture was taken with, for its JSON object.
void AddCaptureContext(QJsonObject& o, const CaptureRecord::Record& r, const monitor::MachineClass& machine)
{
    o.insert(QStringLiteral("time"), TextOrNull(r.time.isValid() ? r.time.toUTC().toString(Qt::ISODate) : QString()));
    o.insert(QStringLiteral("product"), r.product);
    o.insert(QStringLiteral("mode"), ModeName(r.modeIndex));
    o.insert(QStringLiteral("avg_exponent"), r.avgExponent);
    o.insert(QStringLiteral("averaging"), 1 << std::clamp(r.avgExponent, 0, 10));
    o.insert(QStringLiteral("sample_rate_hz"), SampleRateOf(r));
    o.insert(QStringLiteral("units"), analysis::UnitName(analysis::ViewOfRecord(r)));
    o.insert(QStringLiteral("machine_class"), machine.name);
}

QJsonObject ChannelJson(const monitor::ChannelFigures& f, bool acceleration)
{
    QJsonObject o = monitor::FiguresJson(f);
    o.insert(QStringLiteral("velocity_note"), TextOrNull(VelocityNote(f.stats, acceleration)));
    return o;
}

// The figures of `r`'s channels; `alarm`, when given, marks the channels at the alarm zone.
QJsonArray ChannelsJson(const std::vector<monitor::ChannelFigures>& figures, const CaptureRecord::Record& r,
                        const std::function<bool(const monitor::ChannelFigures&)>& alarm = {})
{
    const std::vector<bool> acceleration = AccelerationChannels(r);
    QJsonArray out;
    for (size_t i = 0; i < figures.size(); ++i) {
        QJsonObject c = ChannelJson(figures[i], i < acceleration.size() && acceleration[i]);
        if (alarm)
            c.insert(QStringLiteral("alarm"), alarm(figures[i]));
        out.append(c);
    }
    return out;
}

class Session {
public:
    Session(const Options& o, QTextStream& out, QTextStream& err) : o_(o), out_(out), err_(err) {}

    int RunAll()
    {
        // Everything the device layer says is kept for the error line, nothing is shown.
        SetMessageHandler([this](const MessageRequest& m) {
            bench_.messages << m.text;
            return MsgResult::Ok;
        });
        bench_.messageHandler = [](const MessageRequest&) { return MsgResult::Ok; };
        if (o_.trace)
            SetFrameTraceHook([this](uint16_t sent, std::optional<uint16_t> received) {
                // Cards of a monitor run capture side by side.
                const std::lock_guard<std::mutex> lock(traceMutex_);
                err_ << "spi sent " << Hex4(sent) << " received " << (received ? Hex4(*received) : QStringLiteral("----"))
                     << "\n";
                err_.flush();
            });
        bench_.product = static_cast<int16_t>(o_.product);
        bench_.SelectTable(o_.product);
        // The whole command line is checked before anything runs: a usage error touches nothing.
        std::vector<Command> commands;
        for (const QStringList& tokens : o_.commands) {
            Command c;
            if (std::optional<Failure> f = Prepare(tokens, &c)) {
                err_ << "sensorbench-cli: " << f->message << "\n";
                return f->code;
            }
            commands.push_back(std::move(c));
        }
        // A monitor run streams: every result is a line of its own as soon as it is known.
        jsonLines_ = o_.json && std::any_of(commands.begin(), commands.end(),
                                            [](const Command& c) { return c.verb == Verb::Monitor; });
        // Virtual sensors answer as the product the command line names.
        InstallDeviceBackends(o_.simCards, sim::Host{[this](int) { return static_cast<int>(bench_.product); },
                                                     [this] { return static_cast<int>(bench_.portAddress); }});
        bench_.fastReadout = o_.fast;
        for (const Command& command : commands) {
            std::optional<Failure> f = Execute(command);
            if (f) {
                // What ran before the failure is still reported, as the text output does.
                PrintJsonDocument();
                err_ << "sensorbench-cli: " << f->message << "\n";
                return f->code;
            }
        }
        PrintJsonDocument();
        return kOk;
    }

private:
    void Emit(const QJsonObject& result)
    {
        if (!jsonLines_) {
            results_.append(result);
            return;
        }
        out_ << QJsonDocument(result).toJson(QJsonDocument::Compact) << "\n";
        out_.flush();
    }

    void PrintJsonDocument()
    {
        if (o_.json && !jsonLines_)
            out_ << QJsonDocument(results_).toJson(QJsonDocument::Indented);
    }

    // Brings up the interface once, before the first command that talks to the sensor.
    std::optional<Failure> EnsureInterface()
    {
        if (interfaceUp_)
            return std::nullopt;
        bench_.messages.clear();
        const std::optional<int> card = o_.card >= 0 ? std::optional<int>(o_.card) : std::nullopt;
        const std::optional<int> port = o_.portAddress >= 0 ? std::optional<int>(o_.portAddress) : std::nullopt;
        if (const std::optional<QString> why = OpenInterface(bench_, card, port))
            return Failure{*why, kDeviceOrFileError};
        interfaceUp_ = true;
        return CheckDevice();
    }

    std::optional<Failure> CheckDevice()
    {
        if (const std::optional<QString> error = DeviceCheck(bench_))
            return Failure{*error, kDeviceOrFileError};
        return std::nullopt;
    }

    static std::optional<int32_t> ParseValue(const QString& text)
    {
        std::optional<int> v;
        if (text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
            v = ParseInt(text.mid(2), 16);
        else if (text.startsWith(QStringLiteral("-0x"), Qt::CaseInsensitive))
        {
            v = ParseInt(text.mid(3), 16);
            if (v)
                v = -*v;
        }
        else
            v = ParseInt(text);
        if (!v || *v < -32768 || *v > 65535)
            return std::nullopt;
        return *v;
    }

    static QString Hex4(int32_t v) { return QStringLiteral("%1").arg(v & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper(); }

    struct CaptureArgs {
        int modeIndex = 0;   // 0 manual, 3..5 extended X/Y/Z
        int avgExponent = analysis::kDefaultAvgExponent;
        int count = 1;
        QString outDir = QStringLiteral(".");
        QString name = QStringLiteral("Datalog");
        DataLog::DataFormat format = DataLog::DataFormat::LSB;
        bool spectrum = false;
    };

    struct MonitorArgs {
        qint64 intervalMs = 10000;
        std::optional<qint64> durationMs;
        std::optional<int> count;
        QString db;
        capture::Setup setup{0, analysis::kDefaultAvgExponent};
        monitor::MachineClass machine = monitor::MachineClasses().front();
        std::optional<int> keepWaveforms;
        std::optional<QChar> alarmZone;
        QStringList onAlarm;   // program and its arguments, run without a shell
        MonitorCards cards;
        MqttArgs mqtt;
    };

    enum class Verb { Cards, Read, Write, Dump, Status, Capture, Monitor };
    struct Command {
        Verb verb = Verb::Cards;
        int16_t row = 0;
        int32_t value = 0;
        bool all = false;
        CaptureArgs capture;
        MonitorArgs monitor;
    };

    // Checks one command and fills in what it needs to run.
    std::optional<Failure> Prepare(const QStringList& t, Command* c) const
    {
        const QString text = t.join(QLatin1Char(' '));
        if (t.isEmpty())
            return Failure{QStringLiteral("empty command"), kUsageError};
        const QString verb = t.first();
        auto row = [&](const QString& name) -> std::optional<Failure> {
            const auto r = RegisterListing::FindRegisterRow(RegisterMapFor(o_.product), name);
            if (!r)
                return Failure{QStringLiteral("unknown register '%1'").arg(name), kUsageError};
            c->row = *r;
            return std::nullopt;
        };
        if (verb == QLatin1String("cards") && t.size() == 1) {
            c->verb = Verb::Cards;
        } else if (verb == QLatin1String("status") && t.size() == 1) {
            c->verb = Verb::Status;
        } else if (verb == QLatin1String("dump") && (t.size() == 1 || (t.size() == 2 && t[1] == QLatin1String("--all")))) {
            c->verb = Verb::Dump;
            c->all = t.size() == 2;
        } else if (verb == QLatin1String("read") && t.size() == 2) {
            c->verb = Verb::Read;
            return row(t[1]);
        } else if (verb == QLatin1String("write") && t.size() == 3) {
            c->verb = Verb::Write;
            if (auto f = row(t[1]))
                return f;
            const auto value = ParseValue(t[2]);
            if (!value)
                return Failure{QStringLiteral("bad value '%1' (decimal, 0x hex or negative, 16 bits)").arg(t[2]),
                               kUsageError};
            c->value = *value;
        } else if (verb == QLatin1String("capture")) {
            c->verb = Verb::Capture;
            if (auto e = ParseCaptureArgs(t.mid(1), &c->capture))
                return Failure{*e, kUsageError};
            if (c->capture.modeIndex >= 3 && o_.product == 31470)
                return Failure{QStringLiteral("capture: the extended modes need product 31473"), kUsageError};
            if (!CanBeDirectory(c->capture.outDir))
                return Failure{QStringLiteral("capture: cannot create output directory '%1'").arg(c->capture.outDir),
                               kDeviceOrFileError};
        } else if (verb == QLatin1String("monitor")) {
            c->verb = Verb::Monitor;
            if (auto e = ParseMonitorArgs(t.mid(1), &c->monitor))
                return Failure{QStringLiteral("monitor: ") + *e, kUsageError};
            if (c->monitor.setup.modeIndex >= 3 && o_.product == 31470)
                return Failure{QStringLiteral("monitor: the extended modes need product 31473"), kUsageError};
        } else {
            return Failure{QStringLiteral("unknown command or wrong arguments: '%1'").arg(text), kUsageError};
        }
        return std::nullopt;
    }

    std::optional<Failure> Execute(const Command& c)
    {
        switch (c.verb) {
        case Verb::Cards:
            return Cards();
        case Verb::Read:
            return Read(c.row);
        case Verb::Write:
            return Write(c.row, c.value);
        case Verb::Dump:
            return Dump(c.all);
        case Verb::Status:
            return Status();
        case Verb::Capture:
            return Capture(c.capture);
        case Verb::Monitor:
            return Monitor(c.monitor);
        }
        return std::nullopt;
    }

    std::optional<Failure> Cards()
    {
        bench_.messages.clear();
        FindUsbCards(bench_);
        QJsonArray list;
        for (int i = 0; i < 4; ++i) {
            const UsbCardInfo& c = bench_.cards[size_t(i)];
            if (c.Valid == VFalse)
                continue;
            if (o_.json) {
                list.append(QJsonObject{{QStringLiteral("slot"), i},
                                        {QStringLiteral("type"), c.CardType},
                                        {QStringLiteral("manufacturer"), c.Manufacturer},
                                        {QStringLiteral("product"), c.Product},
                                        {QStringLiteral("firmware"), QString::number(c.FirmwareVersion, 'f', 1)},
                                        {QStringLiteral("usb"), c.UsbVersion}});
            } else {
                out_ << i << "\t" << c.CardType << "\t" << c.Manufacturer << "\t" << c.Product << "\t"
                     << QString::number(c.FirmwareVersion, 'f', 1) << "\t" << c.UsbVersion << "\n";
            }
        }
        if (o_.json)
            Emit(QJsonObject{{QStringLiteral("command"), QStringLiteral("cards")}, {QStringLiteral("cards"), list}});
        else if (bench_.cardCount == 0)
            out_ << "no cards found\n";
        return std::nullopt;
    }

    std::optional<Failure> Read(int16_t r)
    {
        const std::optional<int16_t> row = r;
        if (auto f = EnsureInterface())
            return f;
        ReadRegister(bench_, *row);
        if (auto f = CheckDevice())
            return f;
        const QString label = bench_.Table().RegisterTable[size_t(*row)].Label.trimmed();
        const QString value = QString::number(double(bench_.reg.value), 'g', 7);
        if (o_.json)
            Emit(QJsonObject{{QStringLiteral("command"), QStringLiteral("read")},
                             {QStringLiteral("register"), label},
                             {QStringLiteral("row"), *row},
                             {QStringLiteral("raw"), bench_.reg.raw},
                             {QStringLiteral("hex"), Hex4(bench_.reg.raw)},
                             {QStringLiteral("value"), Figure(double(bench_.reg.value))}});
        else
            out_ << label << "\t0x" << Hex4(bench_.reg.raw) << "\t" << value << "\n";
        return std::nullopt;
    }

    std::optional<Failure> Write(int16_t r, int32_t v)
    {
        const std::optional<int16_t> row = r;
        const std::optional<int32_t> value = v;
        if (auto f = EnsureInterface())
            return f;
        WriteRegister(bench_, *row, *value);
        if (auto f = CheckDevice())
            return f;
        const QString label = bench_.Table().RegisterTable[size_t(*row)].Label.trimmed();
        if (o_.json)
            Emit(QJsonObject{{QStringLiteral("command"), QStringLiteral("write")},
                             {QStringLiteral("register"), label},
                             {QStringLiteral("row"), *row},
                             {QStringLiteral("written"), *value},
                             {QStringLiteral("hex"), Hex4(*value)}});
        else
            out_ << label << "\t<- 0x" << Hex4(*value) << "\n";
        return std::nullopt;
    }

    std::optional<Failure> Dump(bool all)
    {
        if (auto f = EnsureInterface())
            return f;
        const QString listing = RegisterListing::ReadAll(bench_, all);
        if (auto f = CheckDevice())
            return f;
        if (o_.json)
            Emit(QJsonObject{{QStringLiteral("command"), QStringLiteral("dump")}, {QStringLiteral("dump"), listing}});
        else
            out_ << listing;
        return std::nullopt;
    }

    std::optional<Failure> Status()
    {
        if (auto f = EnsureInterface())
            return f;
        const std::optional<int32_t> word = capture::ReadStatusWord(bench_);
        if (auto f = CheckDevice())
            return f;
        const int32_t s = word.value_or(0);
        QJsonArray rows;
        for (int i = 0; i < CaptureSettings::kStatusRows; ++i) {
            const auto row = CaptureSettings::DecodeStatusRow(s, i);
            if (o_.json)
                rows.append(QJsonObject{{QStringLiteral("bit"), i},
                                        {QStringLiteral("title"), CaptureSettings::StatusTitle(i)},
                                        {QStringLiteral("state"), row.text}});
            else
                out_ << CaptureSettings::StatusTitle(i) << "\t" << row.text << "\n";
        }
        if (o_.json)
            Emit(QJsonObject{{QStringLiteral("command"), QStringLiteral("status")}, {QStringLiteral("status"), rows}});
        return std::nullopt;
    }

    static std::optional<int> ParseMode(const QString& v)
    {
        const int i = int(kModeNames.indexOf(v));
        return i == 0 || i >= 3 ? std::optional<int>(i) : std::nullopt;
    }

    // DIR exists as a directory, or the nearest of its parents that exists is one: checked before
    // anything runs, created when the capture starts.
    static bool CanBeDirectory(const QString& dir)
    {
        QFileInfo fi(QDir(dir).absolutePath());
        while (!fi.exists()) {
            const QString parent = fi.absolutePath();
            if (parent == fi.absoluteFilePath())
                return false;
            fi = QFileInfo(parent);
        }
        return fi.isDir();
    }

    static std::optional<int> ParseAvg(const QString& v)
    {
        const auto n = ParseInt(v);
        if (!n || *n < 1 || *n > 1024 || (*n & (*n - 1)) != 0)
            return std::nullopt;
        return int(std::log2(*n));
    }

    // "10s", "5m", "1h", "500ms" or plain seconds.
    static std::optional<qint64> ParseDuration(const QString& v)
    {
        static const QRegularExpression re(QStringLiteral("^(\\d+)(ms|[smh]?)$"));
        const QRegularExpressionMatch m = re.match(v);
        if (!m.hasMatch())
            return std::nullopt;
        const QString u = m.captured(2);
        const qint64 unit = u == QLatin1String("h") ? 3600000 : u == QLatin1String("m") ? 60000 : u == QLatin1String("ms") ? 1 : 1000;
        const qint64 n = m.captured(1).toLongLong();
        return n > 0 ? std::optional<qint64>(n * unit) : std::nullopt;
    }

    static std::optional<QString> ParseMonitorArgs(const QStringList& t, MonitorArgs* a)
    {
        for (int i = 0; i < t.size(); ++i) {
            const QString key = t[i];
            if (key == QLatin1String("--mqtt-samples")) {
                a->mqtt.samples = true;
                continue;
            }
            if (i + 1 >= t.size())
                return QStringLiteral("%1 needs a value").arg(key);
            if (key == QLatin1String("--on-alarm")) {
                a->onAlarm = t.mid(i + 1);
                break;
            }
            const QString v = t[++i];
            if (key == QLatin1String("--interval") || key == QLatin1String("--duration")) {
                const auto ms = ParseDuration(v);
                if (!ms)
                    return QStringLiteral("%1 takes a time such as 10s, 5m or 1h").arg(key);
                (key == QLatin1String("--interval") ? a->intervalMs : a->durationMs.emplace()) = *ms;
            } else if (key == QLatin1String("--count") || key == QLatin1String("--keep-waveforms")) {
                const auto n = ParseInt(v);
                if (!n || *n < 1)
                    return QStringLiteral("%1 takes a positive number").arg(key);
                (key == QLatin1String("--count") ? a->count : a->keepWaveforms) = *n;
            } else if (key == QLatin1String("--db")) {
                a->db = v;
            } else if (key == QLatin1String("--mode")) {
                const auto m = ParseMode(v);
                if (!m)
                    return QStringLiteral("--mode takes manual, extended-x, extended-y or extended-z");
                a->setup.modeIndex = *m;
            } else if (key == QLatin1String("--avg")) {
                const auto e = ParseAvg(v);
                if (!e)
                    return QStringLiteral("--avg takes 1, 2, 4, ... 1024");
                a->setup.avgExponent = *e;
            } else if (key == QLatin1String("--machine-class")) {
                const auto m = monitor::FindMachineClass(v);
                if (!m)
                    return QStringLiteral("--machine-class takes %1").arg(monitor::MachineClassNames().join(QStringLiteral(", ")));
                a->machine = *m;
            } else if (key == QLatin1String("--alarm-zone")) {
                if (v.size() != 1 || v[0] < QLatin1Char('B') || v[0] > QLatin1Char('D'))
                    return QStringLiteral("--alarm-zone takes B, C or D");
                a->alarmZone = v[0];
            } else if (key == QLatin1String("--card")) {
                if (auto e = ParseMonitorCards(v, &a->cards))
                    return e;
            } else if (key == QLatin1String("--mqtt")) {
                a->mqtt.url = v;
            } else if (key == QLatin1String("--mqtt-ca")) {
                a->mqtt.caFile = v;
            } else if (key == QLatin1String("--mqtt-cert")) {
                a->mqtt.certFile = v;
            } else if (key == QLatin1String("--mqtt-key")) {
                a->mqtt.keyFile = v;
            } else if (key == QLatin1String("--mqtt-password-file")) {
                a->mqtt.passwordFile = v;
            } else {
                return QStringLiteral("unknown option '%1'").arg(key);
            }
        }
        if (a->db.isEmpty())
            return QStringLiteral("--db FILE is needed");
        if (auto e = CheckMqttArgs(a->mqtt))
            return e;
        if (!a->onAlarm.isEmpty() && !a->alarmZone)
            return QStringLiteral("--on-alarm needs --alarm-zone");
        return std::nullopt;
    }

    static std::optional<QString> ParseCaptureArgs(const QStringList& t, CaptureArgs* a)
    {
        for (int i = 0; i < t.size(); ++i) {
            const QString key = t[i];
            if (key == QLatin1String("--spectrum")) {
                a->spectrum = true;
                continue;
            }
            if (i + 1 >= t.size())
                return QStringLiteral("capture: %1 needs a value").arg(key);
            const QString v = t[++i];
            if (key == QLatin1String("--mode")) {
                const auto m = ParseMode(v);
                if (!m)
                    return QStringLiteral("capture: --mode takes manual, extended-x, extended-y or extended-z");
                a->modeIndex = *m;
            } else if (key == QLatin1String("--avg")) {
                const auto e = ParseAvg(v);
                if (!e)
                    return QStringLiteral("capture: --avg takes 1, 2, 4, ... 1024");
                a->avgExponent = *e;
            } else if (key == QLatin1String("--count")) {
                const auto n = ParseInt(v);
                if (!n || *n < 1)
                    return QStringLiteral("capture: --count takes a positive number");
                a->count = *n;
            } else if (key == QLatin1String("--out")) {
                a->outDir = v;
            } else if (key == QLatin1String("--name")) {
                a->name = v;
            } else if (key == QLatin1String("--format")) {
                if (v != QLatin1String("lsb") && v != QLatin1String("g"))
                    return QStringLiteral("capture: --format takes lsb or g");
                a->format = v == QLatin1String("g") ? DataLog::DataFormat::Scaled : DataLog::DataFormat::LSB;
            } else {
                return QStringLiteral("capture: unknown option '%1'").arg(key);
            }
        }
        return std::nullopt;
    }

    // Each capture through the capture workflow (mode and averaging, trigger, count-down, wait for
    // Data Ready, read-out, data file), reported as a line or a JSON object.
    std::optional<Failure> Capture(const CaptureArgs& a)
    {
        if (auto f = EnsureInterface())
            return f;
        if (!QDir().mkpath(a.outDir))
            return Failure{QStringLiteral("capture: cannot create output directory '%1'").arg(a.outDir),
                           kDeviceOrFileError};

        series_.dir = QDir(a.outDir).absolutePath() + QLatin1Char('/');
        series_.base = a.name;
        series_.ext.clear();
        series_.format = a.format;
        for (int n = 0; n < a.count; ++n) {
            QElapsedTimer timer;
            const capture::RunResult r = capture::ConfigureAndCapture(
                bench_, capture::Setup{a.modeIndex, a.avgExponent},
                capture::WaitHooks{{}, {}, [&timer](int ms) {
                                       QThread::msleep(static_cast<unsigned long>(ms));
                                       timer.start(); // the read-out starts after the last wait
                                   }, {}},
                &series_);
            const qint64 ms = timer.isValid() ? timer.elapsed() : 0;
            if (auto f = CheckDevice())
                return f;
            if (!r.Complete())
                return Failure{QStringLiteral("capture lost: %1").arg(r.LossReason()), kDeviceOrFileError};
            const DataLog::WriteResult w = *r.file;
            if (!w.ok)
                return Failure{DataLog::WriteFailureMessage(w).simplified(), kDeviceOrFileError};
            if (!w.seriesKept.isEmpty())
                err_ << "sensorbench-cli: " << DataLog::SeriesKeptNote(w) << "\n";
            else if (!w.backupPath.isEmpty())
                err_ << "sensorbench-cli: kept the earlier " << QFileInfo(w.path).fileName() << " as "
                     << QFileInfo(w.backupPath).fileName() << "\n";
            const CaptureRecord::Record& record = r.readOut.record;
            // Capture has no machine class of its own: the zones are the default class's.
            const monitor::MachineClass& machine = monitor::MachineClasses().front();
            if (o_.json) {
                QJsonObject o{{QStringLiteral("command"), QStringLiteral("capture")},
                              {QStringLiteral("file"), w.path},
                              {QStringLiteral("samples"), 3072},
                              {QStringLiteral("readout_ms"), ms}};
                AddCaptureContext(o, record, machine);
                o.insert(QStringLiteral("channels"), ChannelsJson(monitor::Figures(record, machine), record));
                Emit(o);
                continue;
            }
            out_ << w.path << "\t" << 3072 << " samples\t" << ms << " ms\n";
            if (a.spectrum) {
                const analysis::RecordView view = analysis::ViewOfRecord(record);
                const QStringList lines = analysis::PeakLines(analysis::DominantPeaks(view, record), analysis::UnitName(view));
                const std::vector<monitor::ChannelFigures> figures = monitor::Figures(record, machine);
                const std::vector<bool> acceleration = AccelerationChannels(record);
                for (qsizetype i = 0; i < lines.size(); ++i) {
                    const size_t k = size_t(i);
                    const QString v = k < figures.size() ? VelocityText(figures[k], acceleration[k], false) : QString();
                    out_ << "  " << lines[i] << (v.isEmpty() ? QString() : QStringLiteral(", ") + v) << "\n";
                }
            }
            out_.flush();
        }
        return std::nullopt;
    }

    // Repeated captures of each card into the monitoring database (and to the broker) until the
    // count, the duration or a signal ends the run. A lost capture is stored as lost and the
    // card's next capture selects it again.
    std::optional<Failure> Monitor(const MonitorArgs& a)
    {
        std::optional<monitor::MqttSettings> mqtt;
        QString error;
        if (!a.mqtt.url.isEmpty() && !(mqtt = MqttSettingsOf(a.mqtt, &error)))
            return Failure{QStringLiteral("monitor: %1").arg(error), kDeviceOrFileError};
        std::vector<monitor::CardSource> cards =
            MonitorCardSources(a.cards, o_.card, o_.portAddress, a.setup, o_.product, o_.fast);
        if (cards.empty())
            return Failure{QStringLiteral("monitor: no cards found"), kDeviceOrFileError};
        monitor::MonitorRun run(a.db, std::move(cards),
                                monitor::RunSettings{a.intervalMs, a.durationMs, a.count, a.machine, a.keepWaveforms,
                                                     a.alarmZone});
        run.onCapture = [&](const monitor::CaptureReport& r) { ReportCapture(r, a); };
        run.onAlarm = [&](const monitor::CaptureReport& r, const monitor::ChannelFigures& f) { ReportAlarm(r, f, a); };
        run.onNote = [this](const QString& text) {
            err_ << "sensorbench-cli: monitor: " << text << "\n";
            err_.flush();
        };
        if (!run.Start(&error))
            return Failure{QStringLiteral("monitor: %1").arg(error), kDeviceOrFileError};
        AnnounceMonitor(a);
        std::unique_ptr<monitor::MqttPublisher> publisher;
        if (mqtt) {
            publisher = std::make_unique<monitor::MqttPublisher>(*mqtt, a.db);
            run.SetPublisher(publisher.get());
        }
        g_stop = 0;
        std::signal(SIGINT, StopOnSignal);
        std::signal(SIGTERM, StopOnSignal);
        const std::optional<QString> failed = run.Run(g_stop);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        if (failed)
            return Failure{QStringLiteral("monitor: %1").arg(*failed), kDeviceOrFileError};
        return std::nullopt;
    }

    static QString CardLabel(const monitor::CardSource& c)
    {
        return c.slot >= 0 ? QStringLiteral("card %1").arg(c.slot) : c.name.isEmpty() ? QStringLiteral("card -") : c.name;
    }

    void ReportCapture(const monitor::CaptureReport& report, const MonitorArgs& a)
    {
        const CaptureRecord::Record& r = report.outcome.record;
        const bool complete = report.outcome.complete;
        const std::vector<monitor::ChannelFigures>& figures = report.figures;
        const QString when = r.time.toUTC().toString(Qt::ISODate);
        if (o_.json) {
            QJsonObject o{{QStringLiteral("command"), QStringLiteral("monitor")},
                          {QStringLiteral("capture"), report.interval},
                          {QStringLiteral("capture_id"), report.id ? QJsonValue(*report.id) : QJsonValue()},
                          {QStringLiteral("card_slot"), report.card.slot >= 0 ? QJsonValue(report.card.slot) : QJsonValue()},
                          {QStringLiteral("card_name"), TextOrNull(report.card.name)},
                          {QStringLiteral("db"), a.db},
                          {QStringLiteral("complete"), complete},
                          {QStringLiteral("loss_reason"), complete ? QJsonValue() : QJsonValue(report.outcome.lossReason)},
                          {QStringLiteral("status_word"), complete ? QJsonValue(report.outcome.status) : QJsonValue()},
                          {QStringLiteral("alarm_zone"), a.alarmZone ? QJsonValue(QString(*a.alarmZone)) : QJsonValue()}};
            AddCaptureContext(o, r, a.machine);
            o.insert(QStringLiteral("channels"),
                     ChannelsJson(figures, r, [&a](const monitor::ChannelFigures& f) { return Alarming(f, a); }));
            Emit(o);
            return;
        }
        out_ << when << " #" << report.interval << " " << CardLabel(report.card);
        if (!complete)
            out_ << " lost: " << report.outcome.lossReason;
        const QString unit = analysis::UnitName(analysis::ViewOfRecord(r));
        const std::vector<bool> acceleration = AccelerationChannels(r);
        for (size_t i = 0; i < figures.size(); ++i) {
            const monitor::ChannelFigures& f = figures[i];
            out_ << " | " << f.name << " rms " << QString::number(f.stats.acRms, 'g', 4) << " " << unit << " pp "
                 << QString::number(f.stats.peakToPeak, 'g', 4) << " " << QString::number(f.stats.dominantHz, 'f', 1)
                 << " Hz";
            const QString v = VelocityText(f, acceleration[i], true);
            if (!v.isEmpty())
                out_ << " " << v;
        }
        out_ << "\n";
        out_.flush();
    }

    static bool Alarming(const monitor::ChannelFigures& f, const MonitorArgs& a)
    {
        return a.alarmZone && f.zone != QLatin1Char('-') && f.zone >= *a.alarmZone;
    }

    void ReportAlarm(const monitor::CaptureReport& report, const monitor::ChannelFigures& f, const MonitorArgs& a)
    {
        // With --json the alarm is in the capture's object; the line is for whoever watches.
        QTextStream& alarms = o_.json ? err_ : out_;
        alarms << report.outcome.record.time.toUTC().toString(Qt::ISODate) << " ALARM " << CardLabel(report.card) << " "
               << f.name << " zone " << f.zone << " (" << QString::number(f.stats.velocityRms, 'f', 2) << " mm/s)\n";
        alarms.flush();
        if (!a.onAlarm.isEmpty())
            QProcess::startDetached(a.onAlarm.first(), a.onAlarm.mid(1));
    }

    // What the run is set to, before the first capture: whether its records can hold velocity.
    void AnnounceMonitor(const MonitorArgs& a)
    {
        const int e = a.setup.avgExponent;
        const bool extended = a.setup.modeIndex >= 3;
        const analysis::VelocityCoverage c = analysis::CoverageOf(o_.product, e, extended ? 3072 : 1024);
        err_ << "sensorbench-cli: monitor: product " << o_.product << ", mode " << ModeName(a.setup.modeIndex)
             << ", averaging " << (1 << e) << " (2^" << e << "), sample rate "
             << QString::number(analysis::SampleRate(o_.product, e), 'g', 10) << " Hz; ";
        if (c.covered)
            err_ << "velocity and zone (" << a.machine.name << ") valid"
                 << (o_.product == 31470 && !extended ? " for X acc (ADC 0 and ADC 1 are no acceleration)" : "")
                 << (c.note.isEmpty() ? QString() : QStringLiteral(". ") + c.note);
        else
            err_ << "no velocity or zone at these settings. " << c.note;
        err_ << "\n";
        err_.flush();
    }

    static void StopOnSignal(int) { g_stop = 1; }
    static inline volatile std::sig_atomic_t g_stop = 0;

    const Options& o_;
    QTextStream& out_;
    QTextStream& err_;
    std::mutex traceMutex_;
    BenchSession bench_;       // the device the commands work on
    DataLog::Series series_;   // the capture command's data files, numbered on across commands
    QJsonArray results_;
    bool jsonLines_ = false;
    bool interfaceUp_ = false;
};

} // namespace

namespace {
const QStringList kVerbs{QStringLiteral("cards"), QStringLiteral("read"),    QStringLiteral("write"),
                         QStringLiteral("dump"),  QStringLiteral("status"),  QStringLiteral("capture"),
                         QStringLiteral("monitor")};
const QStringList kCaptureFlags{QStringLiteral("--spectrum")};
const QStringList kMonitorFlags{QStringLiteral("--mqtt-samples")};

// The arguments after the options as commands. A quoted command ("write X_NULL -5") is one
// argument holding a verb and blanks; otherwise each verb takes what its grammar allows and
// "+" may separate commands.
std::optional<QList<QStringList>> SplitCommands(const QStringList& rest, QString* error)
{
    QStringList tokens;
    for (const QString& a : rest) {
        const QStringList words = a.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() > 1 && kVerbs.contains(words.first()))
            tokens << words << QStringLiteral("+");
        else
            tokens << a.trimmed();
    }
    QList<QStringList> commands;
    for (int i = 0; i < tokens.size();) {
        if (tokens[i] == QLatin1String("+")) {
            ++i;
            continue;
        }
        QStringList c{tokens[i++]};
        const QString verb = c.first();
        auto take = [&](int n) {
            for (int k = 0; k < n && i < tokens.size() && tokens[i] != QLatin1String("+"); ++k)
                c << tokens[i++];
        };
        if (verb == QLatin1String("read")) {
            take(1);
        } else if (verb == QLatin1String("write")) {
            take(2);
        } else if (verb == QLatin1String("dump")) {
            if (i < tokens.size() && tokens[i] == QLatin1String("--all"))
                take(1);
        } else if (verb == QLatin1String("capture")) {
            while (i < tokens.size() && tokens[i].startsWith(QLatin1String("--")))
                take(kCaptureFlags.contains(tokens[i]) ? 1 : 2);
        } else if (verb == QLatin1String("monitor")) {
            while (i < tokens.size() && tokens[i].startsWith(QLatin1String("--")))
                take(tokens[i] == QLatin1String("--on-alarm") ? int(tokens.size()) // the alarm command: the rest
                     : kMonitorFlags.contains(tokens[i])  ? 1
                                                          : 2);
        } else if (!kVerbs.contains(verb)) {
            *error = QStringLiteral("unknown command '%1'").arg(verb);
            return std::nullopt;
        }
        if (i < tokens.size() && tokens[i] != QLatin1String("+") && !kVerbs.contains(tokens[i])) {
            *error = QStringLiteral("unexpected '%1' after '%2'").arg(tokens[i], c.join(QLatin1Char(' ')));
            return std::nullopt;
        }
        commands << c;
    }
    return commands;
}
} // namespace

bool ParseOptions(const QStringList& args, Options* out, QString* error)
{
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        auto next = [&](QString* value) {
            const qsizetype eq = a.indexOf(QLatin1Char('='));
            if (eq > 0) {
                *value = a.mid(eq + 1);
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            *value = args[++i];
            return true;
        };
        const QString key = a.section(QLatin1Char('='), 0, 0);
        QString v;
        if (!a.startsWith(QLatin1String("-"))) {
            const auto commands = SplitCommands(args.mid(i), error);
            if (!commands)
                return false;
            o.commands = *commands;
            break;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        } else if (a == QLatin1String("--sim")) {
            o.simCards = 1;
        } else if (key == QLatin1String("--sim")) {
            const auto n = ParseInt(a.mid(6));
            if (!n || *n < 0 || *n > 4) {
                *error = QStringLiteral("--sim takes 0 to 4 cards");
                return false;
            }
            o.simCards = *n;
        } else if (key == QLatin1String("--product")) {
            if (!next(&v) || (v != QLatin1String("31470") && v != QLatin1String("31473"))) {
                *error = QStringLiteral("--product takes 31470 or 31473");
                return false;
            }
            o.product = v.toInt();
        } else if (key == QLatin1String("--card")) {
            const auto n = next(&v) ? ParseInt(v) : std::nullopt;
            if (!n || *n < 0 || *n > 3) {
                *error = QStringLiteral("--card takes a slot 0 to 3");
                return false;
            }
            o.card = *n;
        } else if (key == QLatin1String("--port")) {
            const auto n = next(&v) ? ParseInt(v.startsWith(QLatin1String("0x")) ? v.mid(2) : v, 16) : std::nullopt;
            if (!n || *n <= 0 || *n > 0xFFFF) {
                *error = QStringLiteral("--port takes a hexadecimal I/O address, e.g. 378");
                return false;
            }
            o.portAddress = *n;
        } else if (a == QLatin1String("--trace")) {
            o.trace = true;
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--fast")) {
            o.fast = true;
        } else {
            *error = QStringLiteral("unknown option '%1'").arg(a);
            return false;
        }
    }
    if (!o.help && !o.version && o.commands.isEmpty()) {
        *error = QStringLiteral("no command given");
        return false;
    }
    *out = o;
    return true;
}

QString HelpText()
{
    return QStringLiteral(
        "Usage: sensorbench-cli [options] COMMAND [ARGS...] [+ COMMAND [ARGS...]]...\n"
        "Drives a vibration sensor over a USB-SPI card, a parallel port or the virtual board.\n"
        "Commands run in order in one process; '+' separates them. The whole command line is\n"
        "checked before anything runs. A command may also be given as one quoted argument\n"
        "('write X_NULL -5' 'read X_NULL').\n"
        "\n"
        "Options:\n"
        "  --sim[=N]              use N virtual USB-SPI cards (default 1), as SENSORBENCH_SIM=N\n"
        "  --product 31470|31473  register table to use (default 31473)\n"
        "  --card N               use the card in slot N (0..3) instead of the first one found\n"
        "  --port ADDR            use the parallel port at hex address ADDR instead of a card\n"
        "  --trace                print every SPI frame sent and received to stderr\n"
        "  --json                 results as JSON on stdout (text notes stay on stderr): one\n"
        "                         array, an object per result; with monitor, JSON Lines: one\n"
        "                         object per line, written as each result is known\n"
        "  --fast                 batched card transfers for capture read-outs\n"
        "  -h, --help             this text\n"
        "  --version              the program's version\n"
        "\n"
        "Commands:\n"
        "  cards                  list the USB-SPI cards found\n"
        "  read REG               read a register (label or row number of the product's table):\n"
        "                         raw hex and scaled value\n"
        "  write REG VALUE        write VALUE (decimal, 0x hex or negative)\n"
        "  dump [--all]           list the registers as the register window's Read All does\n"
        "                         (--all: every row of the product's table)\n"
        "  status                 the fifteen status rows\n"
        "  monitor --db FILE [--interval 10s|5m|1h] [--duration 8h] [--count N]\n"
        "          [--mode M] [--avg N] [--machine-class CLASS] [--keep-waveforms N]\n"
        "          [--card all|N[,N...]] [--mqtt mqtt[s]://[USER@]HOST[:PORT]/PREFIX\n"
        "          [--mqtt-password-file FILE] [--mqtt-ca FILE] [--mqtt-cert FILE --mqtt-key FILE]\n"
        "          [--mqtt-samples]] [--alarm-zone B|C|D [--on-alarm PROGRAM ARGS...]]\n"
        "                         repeated captures into a SQLite database (appended): figures per\n"
        "                         channel, severity zone A-D, raw samples; one line per capture;\n"
        "                         --card: every card found (all) or these slots, each interval;\n"
        "                         --mqtt: each capture also published to the broker (QoS 1), the\n"
        "                         database keeping what it has not acknowledged; the password from\n"
        "                         the file or SENSORBENCH_MQTT_PASSWORD, never the command line;\n"
        "                         runs until the count, the duration, Ctrl+C or SIGTERM; CLASS is\n"
        "                         group1-rigid, group1-flexible, group2-rigid (default) or\n"
        "                         group2-flexible; --on-alarm runs PROGRAM (no shell) when a\n"
        "                         channel reaches the alarm zone\n"
        "                         --avg N: samples averaged, 1, 2, 4, ... 1024 (default %1)\n"
        "  capture [--mode manual|extended-x|extended-y|extended-z] [--avg N] [--count N]\n"
        "          [--out DIR] [--name BASE] [--format lsb|g] [--spectrum]\n"
        "                         trigger, wait, read out and write each capture as a data file\n"
        "                         (BASE_1.csv, BASE_2.csv, ... in DIR); one line per capture:\n"
        "                         file, samples read, read-out time in milliseconds;\n"
        "                         --spectrum adds each channel's dominant frequency and amplitude\n"
        "                         and velocity RMS; --avg N: samples averaged, 1, 2, 4, ... 1024\n"
        "                         (default %1); DIR and its parents are created\n"
        "\n"
        "\n"
        "Examples:\n"
        "  sensorbench-cli --sim capture --count 3 --out run/\n"
        "  sensorbench-cli --sim write X_NULL -5 + read X_NULL\n"
        "\n"
        "Exit codes: 0 success, 1 device or file error, 2 usage error.\n")
        .arg(1 << analysis::kDefaultAvgExponent);
}

QString VersionText() { return QStringLiteral("sensorbench-cli " SB_VERSION "\n"); }

int Run(const Options& options, QTextStream& out, QTextStream& err)
{
    Session s(options, out, err);
    return s.RunAll();
}

} // namespace cli
