#pragma once
// The virtual sensor board: up to four virtual USB-SPI cards, each with its own
// sensor, and a parallel port wired to card 0's sensor.
#include "sim/VirtualCard.h"
#include "sim/VirtualParallelPort.h"
#include "sim/VirtualSensor.h"
#include <chrono>
#include <memory>
#include <vector>

class EzUsbDriver;
class PortIo;

namespace sim {

constexpr std::chrono::milliseconds kSilentCardTimeout{1000};

class Board {
public:
    static constexpr int kMaxCards = 4;

    Board(int cards, int product);
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
// and port I/O. product 0: the sensors follow Module1::ProductNumber; 31470 or 31473 fixes it.
Board& Install(int cards = 1, int product = 0);

// SENSORBENCH_SIM=N (1..4; more counts as 4): installs a board with N cards and returns
// true; unset, empty, 0 or not a number: installs nothing and returns false.
// SENSORBENCH_SIM_FAULT=unplug:N or silent:N pulls card 0 (or silences it) at its N-th
// message, to try the program's handling of a lost card; anything else is ignored.
// A silent card's reads fail after kSilentCardTimeout, like a real card's.
bool InstallFromEnvironment();
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
