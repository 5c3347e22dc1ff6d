#pragma once
// Real cards take the first device slots, virtual cards the ones after them.
#include "device/EzUsbDriver.h"
#include <map>
#include <memory>
#include <mutex>

class CompositeEzUsbDriver : public EzUsbDriver {
public:
    CompositeEzUsbDriver(std::shared_ptr<EzUsbDriver> first, std::shared_ptr<EzUsbDriver> second);

    int32_t Open(const std::string& name) override;
    void Close(int32_t handle) override;
    bool IoControl(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                   uint32_t* returned) override;
    int DeviceCount() override;
    void Rescan() override;
    std::string TakeAccessNote() override;

private:
    struct Route {
        EzUsbDriver* driver;
        int32_t inner;
    };
    std::shared_ptr<EzUsbDriver> first_, second_;
    // Sessions on different cards open and close from their own threads.
    std::mutex mutex_;
    std::map<int32_t, Route> routes_;
    int32_t nextHandle_ = 1;
};
