#pragma once
// The configuration and register window tests' board: a virtual card and sensor, the frames
// decoded, and the windows' waits recorded (not spun) with the frame count at that moment.
#include "config/ConfigConversions.h"
#include "config/ConfigDelay.h"
#include "device/EzUsb.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QAbstractButton>
#include <QList>
#include <QPair>
#include <QtTest/QtTest>

namespace cfgtest {

struct Write {
    int addr, data;
    bool operator==(const Write& o) const { return addr == o.addr && data == o.data; }
};
struct Wait {
    float ms;
    int framesBefore;
};

inline sim::Board* g_board = nullptr;
inline QList<Wait> g_waits;

inline sim::VirtualSensor& Sensor() { return g_board->Sensor(0); }

// A fresh board for `product`, the card selected, the table built, the log empty.
inline void StartBoard(int16_t product)
{
    g_board = &sim::Install(1, 0);
    Module1::InitialiseState();
    Module1::ProductNumber = product;
    product == 31470 ? BuildTable31470() : BuildTable31473();
    SelectFirstUsbCard();
    QVERIFY(EzUsb::SelectedUsbCard.Valid == VTrue);
    Module1::InterfaceType = 2;
    g_waits.clear();
    cfg::SetWaitObserver([](float ms) { g_waits.append({ms, static_cast<int>(Sensor().Frames().size())}); });
    Sensor().ClearFrames();
}

inline void Clear()
{
    Sensor().ClearFrames();
    g_waits.clear();
}

// Every write frame, decoded as 0x8000 | addr << 8 | data.
inline QList<Write> Writes()
{
    QList<Write> out;
    for (const sim::SpiFrame& f : Sensor().Frames())
        if (f.mosi & 0x8000)
            out.append({(f.mosi >> 8) & 0x7F, f.mosi & 0xFF});
    return out;
}

// Byte addresses of the register reads, one per read (the read frame goes out twice).
inline QList<int> Reads()
{
    QList<int> out;
    const auto& frames = Sensor().Frames();
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].mosi & 0x8000)
            continue;
        out.append((frames[i].mosi >> 8) & 0x7F);
        if (i + 1 < frames.size() && frames[i + 1].mosi == frames[i].mosi)
            ++i;
    }
    return out;
}

// The two frames of an ordinary 16-bit register write: high byte first.
inline QList<Write> Word(int addr, int value)
{
    return {{addr + 1, (value >> 8) & 0xFF}, {addr, value & 0xFF}};
}

// A mouse click on an option's indicator (the middle of a wide option is empty space).
inline void Choose(QAbstractButton* option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
}

inline int Addr(int16_t idx) { return m470Reg::Table().RegisterTable[static_cast<size_t>(idx)].BaseAddr; }

} // namespace cfgtest

Q_DECLARE_METATYPE(cfgtest::Write)

namespace QTest {
template <>
inline char* toString(const cfgtest::Write& w)
{
    return qstrdup(QByteArray("(0x" + QByteArray::number(w.addr, 16) + ", 0x" + QByteArray::number(w.data, 16) + ")"));
}
} // namespace QTest
