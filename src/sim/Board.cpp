#include "sim/Board.h"
#include "device/EzUsbDriver.h"
#include "device/PortIo.h"
#include "sim/SensorModel.h"
#include <algorithm>
#include <cstdlib>
#include <string>

namespace sim {

namespace {
std::shared_ptr<Board> g_board;

struct Faults {
    VirtualCard::Fault card = VirtualCard::Fault::Unplug;
    int cardAfter = 0; // 0: none
    uint16_t sensor = 0;
};

// One item of SENSORBENCH_SIM_FAULT; false for an unknown one.
bool ParseFault(const std::string& item, Faults* faults)
{
    static const std::pair<const char*, uint16_t> kSensorFaults[] = {
        {"supply-low", status::SupplyLow},         {"supply-high", status::SupplyHigh},
        {"flash-update", status::FlashUpdateFailure}, {"spi", status::SpiCommFailure},
        {"period", status::PeriodViolation},       {"selftest", status::SelfTestFailure},
        {"flash-memory", status::FlashMemoryFailure}};
    for (const auto& [name, bit] : kSensorFaults)
        if (item == name) {
            faults->sensor |= bit;
            return true;
        }
    const size_t colon = item.find(':');
    if (colon == std::string::npos)
        return false;
    const std::string kind = item.substr(0, colon);
    VirtualCard::Fault fault{};
    if (kind == "unplug")
        fault = VirtualCard::Fault::Unplug;
    else if (kind == "silent")
        fault = VirtualCard::Fault::Silence;
    else
        return false;
    const std::string count = item.substr(colon + 1);
    char* end = nullptr;
    const long n = std::strtol(count.c_str(), &end, 10);
    if (count.empty() || *end != '\0' || n <= 0 || n > 100'000'000)
        return false;
    faults->card = fault;
    faults->cardAfter = static_cast<int>(n);
    return true;
}

Faults FaultsFromEnvironment()
{
    Faults faults;
    const char* value = std::getenv("SENSORBENCH_SIM_FAULT");
    std::string text = value ? value : "";
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        ParseFault(text.substr(start, comma - start), &faults);
        start = comma + 1;
    }
    return faults;
}
} // namespace

static Host& DefaultHostSlot()
{
    static Host host;
    return host;
}

void SetDefaultHost(Host host) { DefaultHostSlot() = std::move(host); }

const Host& DefaultHost() { return DefaultHostSlot(); }

Board::Board(int cards, int product, const Host& host) : parts_(std::make_shared<Parts>())
{
    cards = std::clamp(cards, 0, kMaxCards);
    // The parallel port needs card 0's sensor even on a board without cards.
    const int sensors = std::max(cards, 1);
    for (int i = 0; i < sensors; ++i)
        parts_->sensors.push_back(std::make_unique<VirtualSensor>(
            product, host.product ? std::function<int()>([p = host.product, i] { return p(i); }) : std::function<int()>()));
    std::vector<VirtualCard*> list;
    for (int i = 0; i < cards; ++i) {
        parts_->cards.push_back(std::make_unique<VirtualCard>(*parts_->sensors[static_cast<size_t>(i)]));
        list.push_back(parts_->cards.back().get());
    }
    driver_ = std::make_shared<VirtualEzUsbDriver>(std::move(list), parts_);
    port_ = std::make_shared<VirtualParallelPort>(*parts_->sensors[0], parts_, host.portAddress);
}

void Board::SetTransferLatency(std::chrono::nanoseconds latency)
{
    for (auto& card : parts_->cards)
        card->SetTransferLatency(latency);
}

void Board::SetClock(const Clock& clock)
{
    for (auto& sensor : parts_->sensors)
        sensor->SetClock(clock);
}

Board& Install(int cards, int product, const Host& host)
{
    g_board = std::make_shared<Board>(cards, product, host);
    SetEzUsbDriver(g_board->Driver());
    SetPortIo(g_board->PortPtr());
    return *g_board;
}

int EnvironmentCardCount()
{
    const char* value = std::getenv("SENSORBENCH_SIM");
    if (!value || !*value)
        return 0;
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || n <= 0)
        return 0;
    return static_cast<int>(std::min<long>(n, Board::kMaxCards));
}

Board& InstallVirtualCards(int cards, const Host& host)
{
    Board& board = Install(std::clamp(cards, 1, Board::kMaxCards), 0, host);
    const Faults faults = FaultsFromEnvironment();
    const char* same = std::getenv("SENSORBENCH_SIM_REPEATABLE");
    const bool repeatable = same && *same && std::string(same) != "0";
    // A long session must not pile up frames nobody reads; the sensor's timing is
    // enforced as on real hardware.
    for (int i = 0; i < board.CardCount(); ++i) {
        board.Sensor(i).SetFrameLogLimit(100'000);
        board.Sensor(i).SetMinFrameGap(kMinFrameGapSeconds);
        board.Sensor(i).SetFaults(faults.sensor);
        board.Sensor(i).Model().SetRepeatableCaptures(repeatable);
        board.Card(i).SetMessageLogLimit(100'000);
        board.Card(i).SetSilentTimeout(kSilentCardTimeout);
    }
    if (faults.cardAfter > 0)
        board.Card(0).FaultAfter(faults.cardAfter, faults.card);
    return board;
}

bool InstallFromEnvironment(const Host& host)
{
    const int cards = EnvironmentCardCount();
    if (cards == 0)
        return false;
    InstallVirtualCards(cards, host);
    return true;
}

Board* CurrentBoard() { return g_board.get(); }

std::shared_ptr<EzUsbDriver> VirtualDriver() { return g_board ? g_board->Driver() : nullptr; }

std::shared_ptr<PortIo> VirtualPortIo() { return g_board ? g_board->PortPtr() : nullptr; }

int VirtualCardCount() { return g_board ? g_board->CardCount() : 0; }

} // namespace sim
