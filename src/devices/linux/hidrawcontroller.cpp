// hidraw enumeration, hot-plug monitor and the rescan that announces arrivals and removals.
#include "devices/linux/hidrawcontroller.h"

#include "devices/linux/hidrawdevice.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <fcntl.h>
#include <libudev.h>

THidDeviceController::THidDeviceController(QObject *owner) : HidDeviceController(owner)
{
    m_udev = udev_new();
    if (!m_udev) return; // no device is ever listed
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor && udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) >= 0 &&
        udev_monitor_enable_receiving(m_monitor) >= 0) {
        const int fd = udev_monitor_get_fd(m_monitor);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &THidDeviceController::MonitorReadable);
    }
    QTimer::singleShot(0, this, &THidDeviceController::DeviceChange);
}

THidDeviceController::~THidDeviceController()
{
    OnArrival = nullptr;
    OnRemoval = nullptr;
    delete m_notifier;
    m_notifier = nullptr;
    const std::vector<THidDevice *> devices = m_devices;
    m_devices.clear();
    for (THidDevice *device : devices) {
        device->m_controller = nullptr;
        if (device->m_claimed) {
            device->MarkUnplugged();
            // no read thread outlives the controller: its handler would run
            // against an owner that may be going away
            device->StopReading();
            device->setParent(parent());
        } else {
            delete device;
        }
    }
    if (m_monitor) udev_monitor_unref(m_monitor);
    if (m_udev) udev_unref(m_udev);
}

void THidDeviceController::ReleaseDevice(HidDevice *&device)
{
    auto *dev = qobject_cast<THidDevice *>(device);
    device = nullptr;
    if (!dev) return;
    dev->StopReading();
    dev->CloseDeviceHandle();
    if (dev->m_present)
        dev->m_claimed = false;
    else
        delete dev;
}

std::vector<HidDevice *> THidDeviceController::DeviceList() const
{
    return {m_devices.begin(), m_devices.end()};
}

void THidDeviceController::Forget(THidDevice *device)
{
    m_devices.erase(std::remove(m_devices.begin(), m_devices.end(), device), m_devices.end());
}

void THidDeviceController::MonitorReadable()
{
    while (udev_device *event = udev_monitor_receive_device(m_monitor)) {
        const char *action = udev_device_get_action(event);
        const QString syspath = QString::fromLocal8Bit(udev_device_get_syspath(event));
        if (action && qstrcmp(action, "remove") == 0) {
            m_removed.insert(syspath);
            for (THidDevice *device : m_devices)
                if (device->m_syspath == syspath) device->m_removeSeen = true;
        } else if (action && qstrcmp(action, "add") == 0) {
            m_removed.remove(syspath);
        }
        udev_device_unref(event);
    }
    DeviceChange();
}

void THidDeviceController::DeviceChange()
{
    if (m_inChange) {
        m_changePending = true;
        return;
    }
    // a handler may destroy the controller (a new link chosen from inside it):
    // nothing of it is touched after that
    QPointer<THidDeviceController> alive(this);
    m_inChange = true;
    try {
        do {
            m_changePending = false;
            Rescan();
        } while (alive && m_changePending);
    } catch (...) {
        if (alive) m_inChange = false;
        throw;
    }
    if (alive) m_inChange = false;
}

void THidDeviceController::Rescan()
{
    std::vector<std::unique_ptr<THidDevice>> fresh = ScanHidInterfaces();
    QPointer<THidDeviceController> self(this);
    // after a handler destroyed the controller, the scan's leftovers go
    // without touching it
    auto controllerGone = [&] {
        if (self) return false;
        for (auto &candidate : fresh)
            if (candidate) candidate->m_controller = nullptr;
        return true;
    };
    auto foundAgain = [&fresh](const QString &devInst) {
        return std::any_of(fresh.begin(), fresh.end(),
                           [&](const auto &d) { return d->m_syspath == devInst; });
    };

    // Removals, last to first. A handler may release or destroy devices, so
    // each entry is looked up again before it is touched.
    std::vector<QPointer<THidDevice>> listed(m_devices.begin(), m_devices.end());
    for (auto it = listed.rbegin(); it != listed.rend(); ++it) {
        THidDevice *device = *it;
        if (!device || std::find(m_devices.begin(), m_devices.end(), device) == m_devices.end()) continue;
        if (device->m_present && !device->m_removeSeen && foundAgain(device->m_syspath)) continue;
        device->MarkUnplugged();
        device->m_inNotification = true;
        // a copy: the handler may reassign the member while it runs
        if (const HidPlugHandler onRemoval = OnRemoval) onRemoval(device);
        if (controllerGone()) return;
        if (!*it) continue; // released and destroyed by the handler
        device->m_inNotification = false;
        device->CloseDeviceHandle();
        if (!device->m_claimed) delete device;
    }

    // Duplicates of devices still listed as present are dropped; the rest arrive.
    for (auto &candidate : fresh) {
        const bool duplicate = std::any_of(m_devices.begin(), m_devices.end(), [&](THidDevice *d) {
            return d->m_present && d->m_syspath == candidate->m_syspath;
        });
        if (duplicate) {
            candidate->m_controller = nullptr;
            candidate.reset();
            continue;
        }
        THidDevice *device = candidate.release();
        m_devices.push_back(device);
        QPointer<THidDevice> alive(device);
        device->m_inNotification = true;
        if (const HidPlugHandler onArrival = OnArrival) onArrival(device);
        if (controllerGone()) return;
        if (!alive) continue;
        device->m_inNotification = false;
        // a handle opened for the announcement is kept only by a claimed device
        if (!device->m_claimed) device->CloseDeviceHandle();
    }
}

std::vector<std::unique_ptr<THidDevice>> THidDeviceController::ScanHidInterfaces()
{
    std::vector<std::unique_ptr<THidDevice>> found;
    if (!m_udev) return found;
    udev_enumerate *enumerate = udev_enumerate_new(m_udev);
    if (!enumerate) return found;
    QSet<QString> seen;
    if (udev_enumerate_add_match_subsystem(enumerate, "hidraw") >= 0 &&
        udev_enumerate_scan_devices(enumerate) >= 0) {
        udev_list_entry *entry;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
        {
            const char *path = udev_list_entry_get_name(entry);
            const QString syspath = QString::fromLocal8Bit(path);
            seen.insert(syspath);
            if (m_removed.contains(syspath)) continue;
            udev_device *dev = udev_device_new_from_syspath(m_udev, path);
            if (!dev) continue;
            const char *node = udev_device_get_devnode(dev);
            const QString devnode = node ? QString::fromLocal8Bit(node) : QString();
            udev_device_unref(dev);
            if (devnode.isEmpty()) continue;
            if (auto device = THidDevice::Create(this, syspath, devnode)) found.push_back(std::move(device));
        }
    }
    udev_enumerate_unref(enumerate);
    // a removed node that sysfs no longer shows needs no remembering
    m_removed.intersect(seen);
    return found;
}
