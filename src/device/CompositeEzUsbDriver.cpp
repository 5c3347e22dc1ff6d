#include "device/CompositeEzUsbDriver.h"

CompositeEzUsbDriver::CompositeEzUsbDriver(std::shared_ptr<EzUsbDriver> first, std::shared_ptr<EzUsbDriver> second)
    : first_(std::move(first)), second_(std::move(second))
{
}

void CompositeEzUsbDriver::Rescan()
{
    if (first_)
        first_->Rescan();
    if (second_)
        second_->Rescan();
}

int CompositeEzUsbDriver::DeviceCount()
{
    return (first_ ? first_->DeviceCount() : 0) + (second_ ? second_->DeviceCount() : 0);
}

int32_t CompositeEzUsbDriver::Open(const std::string& name)
{
    const std::optional<int> parsed = ezusb::SlotOfName(name);
    if (!parsed)
        return -1;
    const int slot = *parsed;
    const int firstCount = first_ ? first_->DeviceCount() : 0;
    EzUsbDriver* driver = slot < firstCount ? first_.get() : second_.get();
    if (!driver)
        return -1;
    const int inner = slot < firstCount ? slot : slot - firstCount;
    const int32_t h = driver->Open(ezusb::NameOfSlot(inner));
    if (h < 1)
        return h;
    const std::lock_guard<std::mutex> lock(mutex_);
    const int32_t id = nextHandle_++;
    routes_[id] = {driver, h};
    return id;
}

void CompositeEzUsbDriver::Close(int32_t handle)
{
    Route route{};
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto it = routes_.find(handle);
        if (it == routes_.end())
            return;
        route = it->second;
        routes_.erase(it);
    }
    route.driver->Close(route.inner);
}

bool CompositeEzUsbDriver::IoControl(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out,
                                     uint32_t outLen, uint32_t* returned)
{
    Route route{};
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto it = routes_.find(handle);
        if (it == routes_.end()) {
            if (returned)
                *returned = 0;
            return false;
        }
        route = it->second;
    }
    return route.driver->IoControl(route.inner, code, in, inLen, out, outLen, returned);
}

std::string CompositeEzUsbDriver::TakeAccessNote()
{
    std::string a = first_ ? first_->TakeAccessNote() : std::string();
    std::string b = second_ ? second_->TakeAccessNote() : std::string();
    return a.empty() ? b : a;
}
