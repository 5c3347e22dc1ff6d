#include "sim/Board.h"
#include "device/EzUsbDriver.h"
#include "device/PortIo.h"
#include <algorithm>
#include <cstdlib>
#include <string>

namespace sim {

namespace {
std::shared_ptr<Board> g_board;

bool ParseFault(const std::string& text, VirtualCard::Fault* fault, int* messages)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    const std::string kind = text.substr(0, colon);
    if (kind == "unplug")
        *fault = VirtualCard::Fault::Unplug;
    else if (kind == "silent")
        *fault = VirtualCard::Fault::Silence;
    else
        return false;
    const std::string count = text.substr(colon + 1);
    char* end = nullptr;
    const long n = std::strtol(count.c_str(), &end, 10);
    if (count.empty() || *end != '\0' || n <= 0 || n > 100'000'000)
        return false;
    *messages = static_cast<int>(n);
    return true;
}

void ApplyFaultFromEnvironment(VirtualCard& card)
{
    const char* value = std::getenv("SENSORBENCH_SIM_FAULT");
    VirtualCard::Fault fault{};
    int messages = 0;
    if (value && ParseFault(value, &fault, &messages))
        card.FaultAfter(messages, fault);
}
} // namespace

Board::Board(int cards, int product) : parts_(std::make_shared<Parts>())
{
    cards = std::clamp(cards, 0, kMaxCards);
    // The parallel port needs card 0's sensor even on a board without cards.
    const int sensors = std::max(cards, 1);
    for (int i = 0; i < sensors; ++i)
        parts_->sensors.push_back(std::make_unique<VirtualSensor>(product));
    std::vector<VirtualCard*> list;
    for (int i = 0; i < cards; ++i) {
        parts_->cards.push_back(std::make_unique<VirtualCard>(*parts_->sensors[static_cast<size_t>(i)]));
        list.push_back(parts_->cards.back().get());
    }
    driver_ = std::make_shared<VirtualEzUsbDriver>(std::move(list), parts_);
    port_ = std::make_shared<VirtualParallelPort>(*parts_->sensors[0], parts_);
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

Board& Install(int cards, int product)
{
    g_board = std::make_shared<Board>(cards, product);
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

bool InstallFromEnvironment()
{
    const int cards = EnvironmentCardCount();
    if (cards == 0)
        return false;
    Board& board = Install(cards, 0);
    // A long session must not pile up frames nobody reads; the sensor's timing is
    // enforced as on real hardware.
    for (int i = 0; i < std::max(board.CardCount(), 1); ++i) {
        board.Sensor(i).SetFrameLogLimit(100'000);
        if (i < board.CardCount())
            board.Card(i).SetMessageLogLimit(100'000);
        board.Sensor(i).SetMinFrameGap(kMinFrameGapSeconds);
    }
    for (int i = 0; i < board.CardCount(); ++i)
        board.Card(i).SetSilentTimeout(kSilentCardTimeout);
    if (board.CardCount() > 0)
        ApplyFaultFromEnvironment(board.Card(0));
    return true;
}

Board* CurrentBoard() { return g_board.get(); }

std::shared_ptr<EzUsbDriver> VirtualDriver() { return g_board ? g_board->Driver() : nullptr; }

std::shared_ptr<PortIo> VirtualPortIo() { return g_board ? g_board->PortPtr() : nullptr; }

int VirtualCardCount() { return g_board ? g_board->CardCount() : 0; }

} // namespace sim
