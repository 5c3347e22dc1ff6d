#include "sim/VirtualSensor.h"
#include "sim/SensorModel.h"
#include <chrono>

namespace sim {

namespace {
Clock SteadyClock()
{
    const auto start = std::chrono::steady_clock::now();
    return [start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
}
} // namespace

double BusNow()
{
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

VirtualSensor::VirtualSensor(int product, std::function<int()> productSource)
    : fixedProduct_(product), productSource_(std::move(productSource)), clock_(SteadyClock())
{
}

VirtualSensor::~VirtualSensor() = default;

int VirtualSensor::Product() const
{
    if (fixedProduct_ == kProduct31470 || fixedProduct_ == kProduct31473)
        return fixedProduct_;
    return productSource_ && productSource_() == kProduct31470 ? kProduct31470 : kProduct31473;
}

SensorModel& VirtualSensor::ModelFor(int product)
{
    auto& slot = models_[product == kProduct31470 ? 0 : 1];
    if (!slot)
        slot = std::make_unique<SensorModel>(product, clock_, faults_);
    return *slot;
}

SensorModel& VirtualSensor::Model() { return ModelFor(Product()); }

uint16_t VirtualSensor::Transfer(uint16_t mosi)
{
    const double now = BusNow();
    return Transfer(mosi, now, now);
}

uint16_t VirtualSensor::Transfer(uint16_t mosi, double start, double end)
{
    BeginFrame(start);
    return EndFrame(mosi, end);
}

uint16_t VirtualSensor::BeginFrame(double start)
{
    frameStart_ = start;
    tooSoon_ = minFrameGap_ > 0.0 && lastFrameEnd_ >= 0.0 && start - lastFrameEnd_ < minFrameGap_ - 1e-9;
    if (tooSoon_) {
        // xorshift: garbage that differs from frame to frame.
        garbageSeed_ ^= garbageSeed_ << 13;
        garbageSeed_ ^= garbageSeed_ >> 17;
        garbageSeed_ ^= garbageSeed_ << 5;
        outWord_ = static_cast<uint16_t>(garbageSeed_);
    } else {
        outWord_ = Model().PendingOut();
    }
    return outWord_;
}

uint16_t VirtualSensor::EndFrame(uint16_t mosi, double end)
{
    lastFrameEnd_ = end;
    const uint16_t miso = tooSoon_ ? Model().MissedFrame(outWord_) : Model().Frame(mosi);
    if (frameLogLimit_ > 0) {
        if (frames_.size() >= frameLogLimit_)
            frames_.erase(frames_.begin(), frames_.begin() + static_cast<std::ptrdiff_t>(frames_.size() / 2));
        frames_.push_back({mosi, miso, frameStart_, tooSoon_});
    }
    tooSoon_ = false;
    return miso;
}

uint16_t VirtualSensor::PendingOut() { return Model().PendingOut(); }

uint16_t VirtualSensor::Peek(int byteAddr)
{
    SensorModel& m = Model();
    m.Update();
    return m.ReadWord(byteAddr);
}

void VirtualSensor::Poke(int byteAddr, uint16_t value) { Model().Poke(byteAddr, value); }

void VirtualSensor::SetFaults(uint16_t statusBits)
{
    faults_ = statusBits;
    for (auto& model : models_)
        if (model)
            model->SetFaults(statusBits);
}

SignalModel& VirtualSensor::Signal() { return Model().Signal(); }

void VirtualSensor::PowerOn() { Model().PowerOn(); }

void VirtualSensor::SetClock(Clock clock) { clock_ = std::move(clock); }

double VirtualSensor::Now() const { return clock_(); }

bool VirtualSensor::BusyLineHigh()
{
    SensorModel& m = Model();
    m.Update();
    return m.PinLevel(0);
}

} // namespace sim
