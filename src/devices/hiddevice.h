// The HID device layer as the USB link sees it: devices and the controller that lists them.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class HidDevice;

// Report lengths in bytes, each including the leading report-id byte.
struct HidCaps
{
    int InputReportByteLength = 0;
    int OutputReportByteLength = 0;
    int FeatureReportByteLength = 0;
};

// One input report: ReportID is its first byte (0 on a device without ids),
// Data the Size bytes after it. Runs on the user-interface thread while the
// read thread waits; Data is valid only during the call.
using HidDataHandler =
    std::function<void(HidDevice *HidDev, uint8_t ReportID, const uint8_t *Data, int Size)>;
using HidPlugHandler = std::function<void(HidDevice *HidDev)>;

// A HID device known to a controller. It opens the device only while it is
// plugged in and claimed, or while its arrival or removal is being announced.
class HidDevice : public QObject
{
    Q_OBJECT
public:
    ~HidDevice() override = default;

    // The product string; empty while it cannot be read (tried again at the
    // next call while the device is in use), cached once read.
    virtual QString ProductText() = 0;
    virtual HidCaps Capabilities() = 0;
    // The last opening of the device obtained read and write access.
    virtual bool OpenedForReadWrite() const = 0;
    // Takes the device for the caller; false when it is gone or already taken.
    virtual bool ClaimDevice() = 0;
    virtual bool IsClaimed() const = 0;
    // Sets the handler of input reports (an empty one stops reading); a claimed
    // device with read and write access starts reading once it has a handler.
    virtual void SetDataHandler(HidDataHandler handler) = 0;
    // Writes one output report, report id first; true when the device took it.
    virtual bool WriteReport(const void *buffer, int count) = 0;
    virtual bool IsPluggedIn() const = 0;
    // Identifies the device instance across rescans.
    virtual QString DevInst() const = 0;

protected:
    using QObject::QObject;
};

// Keeps the list of HID devices present and announces arrivals and removals on
// the user-interface thread. The devices belong to the controller; a claimed
// device that is unplugged stays listed until its holder releases it.
class HidDeviceController : public QObject
{
    Q_OBJECT
public:
    ~HidDeviceController() override = default;

    // Plain assignment, no side effects; called with the device announced.
    HidPlugHandler OnArrival;
    HidPlugHandler OnRemoval;

    // Gives a claimed device back: stops its reading and closes it; a device
    // still plugged in stays listed for a later claim, an unplugged one is
    // destroyed. Clears the caller's variable; an empty one is ignored.
    virtual void ReleaseDevice(HidDevice *&device) = 0;

protected:
    using QObject::QObject;
};
