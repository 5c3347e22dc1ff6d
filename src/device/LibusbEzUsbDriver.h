#pragma once
// The card driver's four requests over libusb: "Ezusb-N" is the N-th attached device with
// the cards' vendor ID in bus/port order; pipe 0 is the first bulk OUT endpoint, pipe 1 the
// first bulk IN endpoint, pipe k >= 2 the k-th endpoint of interface 0.
#include "device/EzUsbDriver.h"
#include <chrono>
#include <map>
#include <vector>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

class LibusbEzUsbDriver : public EzUsbDriver {
public:
    LibusbEzUsbDriver();
    ~LibusbEzUsbDriver() override;
    LibusbEzUsbDriver(const LibusbEzUsbDriver&) = delete;
    LibusbEzUsbDriver& operator=(const LibusbEzUsbDriver&) = delete;

    int32_t Open(const std::string& name) override;
    void Close(int32_t handle) override;
    bool IoControl(int32_t handle, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                   uint32_t* returned) override;
    int DeviceCount() override;
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
    struct Open_ {
        libusb_device_handle* handle = nullptr;
        int interfaceNumber = 0;
        bool claimed = false;
        std::vector<Endpoint> pipes;   // index = pipe number
    };

    // Our cards, in bus/port order (referenced; release with FreeCards).
    std::vector<libusb_device*> Cards();
    static void FreeCards(std::vector<libusb_device*>& cards);
    bool PipeInfo(Open_& dev, uint8_t* out, uint32_t outLen, uint32_t* returned);
    bool StringDescriptor(Open_& dev, const uint8_t* in, uint32_t inLen, uint8_t* out, uint32_t outLen,
                          uint32_t* returned);
    bool Bulk(Open_& dev, const uint8_t* in, uint32_t inLen, uint8_t* out, uint32_t outLen, uint32_t* returned);

    libusb_context* ctx_ = nullptr;
    std::map<int32_t, Open_> open_;
    int32_t nextHandle_ = 1;
    bool accessDenied_ = false;
};
