#pragma once
// The card driver's four requests over libusb: "Ezusb-N" is the N-th attached device with
// the cards' vendor ID in bus/port order; pipe 0 is the first bulk OUT endpoint, pipe 1 the
// first bulk IN endpoint, pipe k >= 2 the k-th endpoint of interface 0.
// Every card operation opens and closes its device; so that a read-out does not cost a bus
// scan and a device open per word, the device list of the last search and each device's
// handle with its claimed interface are kept across those calls until a search, a failed
// request or a removed device drops them.
#include "device/EzUsbDriver.h"
#include <chrono>
#include <map>
#include <mutex>
#include <vector>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

class LibusbEzUsbDriver : public EzUsbDriver {
public:
    // keepOpen false: every close releases and closes the device, every open scans the bus
    // (the cost the kept handles save, for comparison).
    explicit LibusbEzUsbDriver(bool keepOpen = true);
    ~LibusbEzUsbDriver() override;
    LibusbEzUsbDriver(const LibusbEzUsbDriver&) = delete;
    LibusbEzUsbDriver& operator=(const LibusbEzUsbDriver&) = delete;

    int32_t Open(const std::string& name) override;
    void Close(int32_t handle) override;
    bool IoControl(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                   uint32_t* returned) override;
    int DeviceCount() override;
    void Rescan() override;
    std::string TakeAccessNote() override;

    // A transfer that gets no answer within this time fails (an unplugged or silent card).
    static constexpr std::chrono::milliseconds kTransferTimeout{1000};
    static std::string AccessNoteText();

private:
    struct Endpoint {
        uint8_t address = 0;
        uint8_t attributes = 0;
        uint16_t maxPacket = 0;
        uint8_t interval = 0;
    };
    struct Device {
        libusb_device_handle* handle = nullptr;
        int interfaceNumber = 0;
        bool claimed = false;
        std::vector<Endpoint> pipes;   // index = pipe number
        int users = 0;                 // driver handles open on it
    };

    // Our cards in bus/port order, from the last scan (scans when there is none).
    const std::vector<libusb_device*>& Cards();
    void ForgetCards();
    static void Shut(Device& dev);
    bool Request(Device& dev, uint32_t code, const void* in, uint32_t inLen, uint8_t* out, uint32_t outLen,
                 uint32_t* returned);
    bool PipeInfo(Device& dev, uint8_t* out, uint32_t outLen, uint32_t* returned);
    bool StringDescriptor(Device& dev, const uint8_t* in, uint32_t inLen, uint8_t* out, uint32_t outLen,
                          uint32_t* returned);
    bool Bulk(Device& dev, const uint8_t* in, uint32_t inLen, uint8_t* out, uint32_t outLen, uint32_t* returned);

    libusb_context* ctx_ = nullptr;
    bool keepOpen_ = true;
    bool scanned_ = false;
    std::vector<libusb_device*> cards_;   // referenced
    std::map<int, Device> devices_;       // by slot
    std::map<int32_t, int> open_;         // driver handle -> slot
    // Sessions on different cards call from their own threads; one request at a time.
    std::recursive_mutex mutex_;
    int32_t nextHandle_ = 1;
    bool accessDenied_ = false;
};
