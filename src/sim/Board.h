#pragma once
// The virtual sensor board: up to four virtual USB-SPI cards, each with its own
// sensor, and a parallel port wired to card 0's sensor.
#include "sim/VirtualCard.h"
#include "sim/VirtualParallelPort.h"
#include "sim/VirtualSensor.h"
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class EzUsbDriver;
class PortIo;

namespace sim {

constexpr std::chrono::milliseconds kSilentCardTimeout{1000};

// What the board asks of the program that drives it, at every access.
struct Host {
    std::function<int(int card)> product; // the product card N's sensor, installed as product 0, answers as
    std::function<int()> portAddress; // the parallel port's base until the program acquires it
};
// The host of boards installed without one (none set: product 31473, port 0x378).
void SetDefaultHost(Host host);
const Host& DefaultHost();

class Board {
public:
    static constexpr int kMaxCards = 4;

    Board(int cards, int product, const Host& host = DefaultHost());
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    int CardCount() const { return static_cast<int>(parts_->cards.size()); }
    VirtualSensor& Sensor(int card = 0) { return *parts_->sensors.at(static_cast<size_t>(card)); }
    VirtualCard& Card(int i) { return *parts_->cards.at(static_cast<size_t>(i)); }
    VirtualParallelPort& Port() { return *port_; }
    std::shared_ptr<VirtualEzUsbDriver> Driver() const { return driver_; }
    std::shared_ptr<VirtualParallelPort> PortPtr() const { return port_; }

    // The same latency for every card's bulk transfers.
    void SetTransferLatency(std::chrono::nanoseconds latency);
    // The same clock for every sensor (e.g. a ManualClock's).
    void SetClock(const Clock& clock);

private:
    // Shared with the driver and the port, which may outlive the board.
    struct Parts {
        std::vector<std::unique_ptr<VirtualSensor>> sensors;
        std::vector<std::unique_ptr<VirtualCard>> cards;
    };
    std::shared_ptr<Parts> parts_;
    std::shared_ptr<VirtualParallelPort> port_;
    std::shared_ptr<VirtualEzUsbDriver> driver_;
};

// A fresh board with `cards` virtual cards (0..4), installed as the current card driver
// and port I/O. product 0: the sensors follow the host's product; 31470 or 31473 fixes it.
Board& Install(int cards = 1, int product = 0, const Host& host = DefaultHost());

// A board with `cards` virtual cards (1..4) as the program runs one: bounded frame logs, the
// sensor's frame gap and a silent card's kSilentCardTimeout enforced like real hardware's, and
// the faults SENSORBENCH_SIM_FAULT asks for: a comma-separated list of
//   unplug:N, silent:N   card 0 is pulled (or stops answering) at its N-th message;
//   supply-low, supply-high, flash-update, flash-memory, spi, period, selftest
//                        the sensors' faults (SensorModel.h says when each shows in STATUS).
// Unknown items are ignored.
Board& InstallVirtualCards(int cards, const Host& host = DefaultHost());

// SENSORBENCH_SIM=N (1..4; more counts as 4): InstallVirtualCards(N) and true; unset, empty,
// 0 or not a number: installs nothing and returns false.
bool InstallFromEnvironment(const Host& host = DefaultHost());
// The card count SENSORBENCH_SIM asks for (0 when none).
int EnvironmentCardCount();

// The installed board (null before Install).
Board* CurrentBoard();
// The installed board's card driver and port, for a driver that puts real cards first
// and the virtual ones after them. Null before Install.
std::shared_ptr<EzUsbDriver> VirtualDriver();
std::shared_ptr<PortIo> VirtualPortIo();
int VirtualCardCount();

} // namespace sim
