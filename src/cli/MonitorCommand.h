#pragma once
// The monitor command's cards and broker settings, for the monitoring run in monitor/.
#include "capture/CaptureWorkflow.h"
#include "monitor/MonitorRun.h"
#include "monitor/MqttPublisher.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace cli {

// monitor --card all | N[,N...]; neither: the one card (or port) the program's options name.
struct MonitorCards {
    bool all = false;
    std::vector<int> cardSlots;
};
std::optional<QString> ParseMonitorCards(const QString& value, MonitorCards* out);

// The card sources of a run: the cards asked for (`all`: those present at the start), else the
// card in slot `optionCard` (-1: the first card found) or the parallel port at `optionPort`.
// Empty when `all` finds no card. `messages` collects the device layer's messages.
std::vector<monitor::CardSource> MonitorCardSources(const MonitorCards& cards, int optionCard, int optionPort,
                                                    const capture::Setup& setup, int product, bool fast);

struct MqttArgs {
    QString url, caFile, certFile, keyFile, passwordFile;
    bool samples = false;
};
// Checks the broker options before anything runs; nullopt when they are sound.
std::optional<QString> CheckMqttArgs(const MqttArgs& a);
// The settings with the password from the file or SENSORBENCH_MQTT_PASSWORD; nullopt and why.
std::optional<monitor::MqttSettings> MqttSettingsOf(const MqttArgs& a, QString* error);

} // namespace cli
