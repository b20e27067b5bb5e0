// The HID controller on Linux: hidraw devices listed with libudev and followed through udev events.
#pragma once

#include "devices/hiddevice.h"

#include <QSet>
#include <QStringList>

#include <memory>
#include <vector>

class QSocketNotifier;
class THidDevice;
struct udev;
struct udev_monitor;

class THidDeviceController final : public HidDeviceController
{
    Q_OBJECT
public:
    // The first scan is posted, so the devices already plugged in are announced
    // only after the creator has returned to the event loop and set its handlers.
    explicit THidDeviceController(QObject *owner = nullptr);
    // Destroys the devices nobody holds; a claimed device is marked unplugged,
    // its reading is stopped, and it is left to its holder (handed to the
    // owner, so it is freed with it when the holder does not delete it).
    ~THidDeviceController() override;

    void ReleaseDevice(HidDevice *&device) override;

    // The full rescan: removals of devices gone, then arrivals of new ones.
    // A rescan asked for while one runs (from inside a handler) runs right
    // after it instead of being lost.
    void DeviceChange();

    // The devices listed, present or (claimed and) unplugged, in list order.
    std::vector<HidDevice *> DeviceList() const;

    udev *Udev() const { return m_udev; }

private:
    friend class THidDevice;

    void MonitorReadable();
    void Rescan();
    std::vector<std::unique_ptr<THidDevice>> ScanHidInterfaces();
    // Called by a device's destructor: takes it off the list.
    void Forget(THidDevice *device);

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    std::vector<THidDevice *> m_devices;
    // Nodes named by a remove uevent and not added back since: left out of
    // scans even while sysfs still shows them.
    QSet<QString> m_removed;
    bool m_inChange = false;
    bool m_changePending = false;
};
