#include "cli/MonitorCommand.h"

#include "device/DeviceSetup.h"
#include "device/EzUsb.h"

#include <QFile>
#include <QFileInfo>
#include <memory>

namespace cli {

std::optional<QString> ParseMonitorCards(const QString& value, MonitorCards* out)
{
    *out = {};
    if (value == QLatin1String("all")) {
        out->all = true;
        return std::nullopt;
    }
    for (const QString& part : value.split(QLatin1Char(','))) {
        bool ok = false;
        const int slot = part.toInt(&ok);
        if (!ok || slot < 0 || slot > 3 || std::find(out->cardSlots.begin(), out->cardSlots.end(), slot) != out->cardSlots.end())
            return QStringLiteral("--card takes all or cardSlots 0 to 3, each once (0,2)");
        out->cardSlots.push_back(slot);
    }
    return std::nullopt;
}

namespace {
// Which card the program-wide interface has selected, and whether it answered last time.
struct Selection {
    std::optional<int> slot;
    bool up = false;
};

// Until each card has a session of its own, the cards take turns on the program's one interface:
// a capture selects its card (when another was selected, or it was lost) and runs the workflow.
monitor::CaptureOutcome CaptureOn(std::optional<int> slot, std::optional<int> port, const capture::Setup& setup,
                                  int product, QStringList* messages, Selection& selected)
{
    monitor::CaptureOutcome o;
    messages->clear();
    if (!selected.up || selected.slot != slot) {
        selected.up = false;
        if (const std::optional<QString> why = OpenInterface(slot, port))
            o.lossReason = *why;
        else if (const std::optional<QString> error = DeviceCheck(*messages))
            o.lossReason = *error;
        else
            selected = Selection{slot, true};
    }
    if (selected.up) {
        const capture::RunResult r = capture::ConfigureAndCapture(setup, {}, false);
        o.complete = r.Complete();
        if (!o.complete)
            o.lossReason = messages->isEmpty() ? r.LossReason() : messages->join(QStringLiteral("; "));
        else
            o.status = capture::ReadStatusWord().value_or(0);
    }
    if (o.complete) {
        o.record = CaptureRecord::Last;
        return o;
    }
    // A lost card is searched for again at its next capture.
    selected.up = false;
    o.record.product = product;
    o.record.modeIndex = setup.modeIndex;
    o.record.avgExponent = setup.avgExponent;
    o.record.time = QDateTime::currentDateTime();
    return o;
}
} // namespace

std::vector<monitor::CardSource> MonitorCardSources(const MonitorCards& cards, int optionCard, int optionPort,
                                                    const capture::Setup& setup, int product, QStringList* messages)
{
    auto selected = std::make_shared<Selection>();
    auto source = [&](std::optional<int> slot, std::optional<int> port) {
        monitor::CardSource s;
        if (port)
            s.name = QStringLiteral("port %1").arg(*port, 0, 16);
        if (slot) {
            s.slot = *slot;
            s.name = EzUsb::UsbCards[size_t(*slot)].Name;
        }
        s.capture = [=] { return CaptureOn(slot, port, setup, product, messages, *selected); };
        return s;
    };
    std::vector<monitor::CardSource> out;
    if (optionPort >= 0 && !cards.all && cards.cardSlots.empty()) {
        out.push_back(source(std::nullopt, optionPort));
        return out;
    }
    FindUsbCards();
    std::vector<int> cardSlots = cards.cardSlots;
    if (cards.all) {
        for (int i = 0; i < int(EzUsb::UsbCards.size()); ++i)
            if (EzUsb::UsbCards[size_t(i)].Valid != VFalse)
                cardSlots.push_back(i);
    } else if (cardSlots.empty()) {
        // The first card found now stays this run's card, so that every capture names it rightly.
        int slot = optionCard;
        for (int i = 0; slot < 0 && i < int(EzUsb::UsbCards.size()); ++i)
            if (EzUsb::UsbCards[size_t(i)].Valid != VFalse)
                slot = i;
        if (slot < 0) {
            out.push_back(source(std::nullopt, std::nullopt));
            return out;
        }
        cardSlots.push_back(slot);
    }
    for (int slot : cardSlots)
        out.push_back(source(slot, std::nullopt));
    return out;
}

std::optional<QString> CheckMqttArgs(const MqttArgs& a)
{
    const bool any = !a.caFile.isEmpty() || !a.certFile.isEmpty() || !a.keyFile.isEmpty() || !a.passwordFile.isEmpty() || a.samples;
    if (a.url.isEmpty())
        return any ? std::optional<QString>(QStringLiteral("the --mqtt-... options need --mqtt URL")) : std::nullopt;
    QString error;
    const std::optional<monitor::MqttSettings> s = monitor::ParseMqttUrl(a.url, &error);
    if (!s)
        return error;
    if (!s->tls && (!a.caFile.isEmpty() || !a.certFile.isEmpty() || !a.keyFile.isEmpty()))
        return QStringLiteral("--mqtt-ca, --mqtt-cert and --mqtt-key need an mqtts:// URL");
    if (a.certFile.isEmpty() != a.keyFile.isEmpty())
        return QStringLiteral("--mqtt-cert and --mqtt-key go together");
    return std::nullopt;
}

std::optional<monitor::MqttSettings> MqttSettingsOf(const MqttArgs& a, QString* error)
{
    std::optional<monitor::MqttSettings> s = monitor::ParseMqttUrl(a.url, error);
    if (!s)
        return std::nullopt;
    s->caFile = a.caFile;
    s->certFile = a.certFile;
    s->keyFile = a.keyFile;
    s->samples = a.samples;
    for (const QString& f : {a.caFile, a.certFile, a.keyFile})
        if (!f.isEmpty() && !QFileInfo(f).isReadable()) {
            *error = QStringLiteral("%1: cannot read the file").arg(f);
            return std::nullopt;
        }
    if (!a.passwordFile.isEmpty()) {
        QFile f(a.passwordFile);
        if (!f.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: %2").arg(a.passwordFile, f.errorString());
            return std::nullopt;
        }
        // The first line, without its line end.
        s->password = QString::fromUtf8(f.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    } else {
        s->password = qEnvironmentVariable("SENSORBENCH_MQTT_PASSWORD");
    }
    return s;
}

} // namespace cli
