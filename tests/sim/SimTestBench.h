#pragma once
// Set-up and wire helpers for the tests that run on the virtual board, and a shorthand for
// the columns of data-driven tests.
#include "TestSupport.h"
#include "device/EzUsb.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"
#include "sim/SensorModel.h"
#include "sim/SignalModel.h"
#include <array>
#include <vector>

namespace tb {
// Columns<int, QString>({"product", "caption"}) adds both columns.
template <typename... T>
void Columns(const std::array<const char*, sizeof...(T)>& names)
{
    size_t i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}

using Frames = std::vector<sim::SpiFrame>;

// The frame that reads the register at a byte address, and the one that writes one byte.
constexpr uint16_t Rd(int addr) { return static_cast<uint16_t>((addr & 0x7F) << 8); }
constexpr uint16_t Wr(int addr, int byte) { return static_cast<uint16_t>(0x8000 | (addr & 0x7F) << 8 | (byte & 0xFF)); }

inline int Count(const Frames& f, uint16_t mosi, size_t from = 0)
{
    int n = 0;
    for (size_t i = from; i < f.size(); ++i)
        n += f[i].mosi == mosi;
    return n;
}

inline std::vector<uint16_t> Mosi(const Frames& f)
{
    std::vector<uint16_t> m;
    for (const auto& x : f)
        m.push_back(x.mosi);
    return m;
}

// Program state and register table for `product` on a fresh one-card board, card 0 selected,
// the sensor on `clock` (set to 0) when one is given.
inline sim::Board& UseUsbCard(int product, sim::ManualClock* clock = nullptr)
{
    Module1::InitialiseState();
    Module1::ProductNumber = static_cast<int16_t>(product);
    Module1::PortAddress = 0x378;
    product == sim::kProduct31470 ? BuildTable31470() : BuildTable31473();
    sim::Board& board = sim::Install(1, 0);
    if (clock) {
        clock->Set(0.0);
        board.SetClock(clock->AsClock());
    }
    SelectFirstUsbCard();
    Module1::InterfaceType = 2;
    return board;
}
} // namespace tb
