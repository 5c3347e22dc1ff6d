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
// One card's session, and whether its interface answered last time.
struct Card {
    BenchSession session;
    bool up = false;
};

// A capture on the card's own session; a card that is lost is brought up again at its next capture.
monitor::CaptureOutcome CaptureOn(Card& card, std::optional<int> slot, std::optional<int> port,
                                  const capture::Setup& setup)
{
    BenchSession& s = card.session;
    monitor::CaptureOutcome o;
    s.messages.clear();
    if (!card.up) {
        if (const std::optional<QString> why = OpenInterface(s, slot, port))
            o.lossReason = *why;
        else if (const std::optional<QString> error = DeviceCheck(s))
            o.lossReason = *error;
        else
            card.up = true;
    }
    if (card.up) {
        const capture::RunResult r = capture::ConfigureAndCapture(s, setup, {});
        o.complete = r.Complete();
        if (o.complete) {
            o.status = capture::ReadStatusWord(s).value_or(0);
            o.record = r.readOut.record;
            return o;
        }
        o.lossReason = s.messages.isEmpty() ? r.LossReason() : s.messages.join(QStringLiteral("; "));
    }
    card.up = false;
    o.record.product = s.product;
    o.record.modeIndex = setup.modeIndex;
    o.record.avgExponent = setup.avgExponent;
    o.record.time = QDateTime::currentDateTime();
    return o;
}
} // namespace

std::vector<monitor::CardSource> MonitorCardSources(const MonitorCards& cards, int optionCard, int optionPort,
                                                    const capture::Setup& setup, int product, bool fast)
{
    auto source = [&](std::optional<int> slot, std::optional<int> port, const QString& name) {
        auto card = std::make_shared<Card>();
        card->session.product = static_cast<int16_t>(product);
        card->session.SelectTable(product);
        card->session.fastReadout = fast;
        // The device layer's messages become the capture's loss reason; nothing is shown.
        card->session.messageHandler = [](const MessageRequest&) { return MsgResult::Ok; };
        monitor::CardSource s;
        s.slot = slot.value_or(-1);
        s.name = name;
        s.capture = [=] { return CaptureOn(*card, slot, port, setup); };
        return s;
    };
    std::vector<monitor::CardSource> out;
    if (optionPort >= 0 && !cards.all && cards.cardSlots.empty()) {
        out.push_back(source(std::nullopt, optionPort, QStringLiteral("port %1").arg(optionPort, 0, 16)));
        return out;
    }
    BenchSession search;
    search.messageHandler = [](const MessageRequest&) { return MsgResult::Ok; };
    FindUsbCards(search);
    std::vector<int> cardSlots = cards.cardSlots;
    if (cards.all) {
        for (int i = 0; i < int(search.cards.size()); ++i)
            if (search.cards[size_t(i)].Valid != VFalse)
                cardSlots.push_back(i);
    } else if (cardSlots.empty()) {
        // The first card found now stays this run's card, so that every capture names it rightly.
        int slot = optionCard;
        for (int i = 0; slot < 0 && i < int(search.cards.size()); ++i)
            if (search.cards[size_t(i)].Valid != VFalse)
                slot = i;
        if (slot < 0) {
            out.push_back(source(std::nullopt, std::nullopt, QString()));
            return out;
        }
        cardSlots.push_back(slot);
    }
    for (int slot : cardSlots)
        out.push_back(source(slot, std::nullopt, search.cards[size_t(slot)].Name));
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
