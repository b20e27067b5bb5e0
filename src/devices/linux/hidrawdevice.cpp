// hidraw device: opening, identity from udev, lengths from the report descriptor, reading and writing.
#include "devices/linux/hidrawdevice.h"

#include "devices/linux/hidrawcontroller.h"
#include "devices/linux/hidreadthread.h"

#include <QPointer>
#include <QtDebug>

#include <cerrno>
#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::optional<HidReportLengths> readReportLengths(int fd)
{
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size < 0 || size > HID_MAX_DESCRIPTOR_SIZE)
        return std::nullopt;
    auto desc = std::make_unique<hidraw_report_descriptor>();
    desc->size = static_cast<uint32_t>(size);
    if (::ioctl(fd, HIDIOCGRDESC, desc.get()) < 0) return std::nullopt;
    const uint32_t got = desc->size <= static_cast<uint32_t>(size) ? desc->size : static_cast<uint32_t>(size);
    return parseHidReportDescriptor(desc->value, got);
}

int openWithRetry(const QByteArray &path, int flags)
{
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

std::unique_ptr<THidDevice> THidDevice::Create(THidDeviceController *controller, const QString &syspath,
                                               const QString &devnode)
{
    std::unique_ptr<THidDevice> device(new THidDevice(controller, syspath, devnode));
    const int fd = device->OpenNode();
    if (fd < 0) return nullptr;
    const auto lengths = readReportLengths(fd);
    ::close(fd);
    if (!lengths) return nullptr;
    device->m_lengths = *lengths;
    return device;
}

THidDevice::THidDevice(THidDeviceController *controller, const QString &syspath, const QString &devnode)
    : m_controller(controller), m_syspath(syspath), m_devnode(devnode)
{
}

THidDevice::~THidDevice()
{
    m_dataHandler = nullptr;
    StopReading();
    CloseDeviceHandle();
    if (m_controller) m_controller->Forget(this);
}

int THidDevice::OpenNode()
{
    const QByteArray path = m_devnode.toLocal8Bit();
    int fd = openWithRetry(path, O_RDWR);
    m_openedForReadWrite = fd >= 0;
    // read only still lets the product and the lengths be queried
    if (fd < 0) fd = openWithRetry(path, O_RDONLY);
    return fd;
}

bool THidDevice::OpenDeviceHandle()
{
    if (!Active()) return false;
    if (m_deviceFd < 0) m_deviceFd = OpenNode();
    return m_deviceFd >= 0;
}

void THidDevice::CloseDeviceHandle()
{
    if (m_deviceFd >= 0) ::close(m_deviceFd);
    m_deviceFd = -1;
}

QString THidDevice::ProductText()
{
    if (!m_productText.isEmpty() || !Active() || !m_controller) return m_productText;
    udev_device *dev =
        udev_device_new_from_syspath(m_controller->Udev(), m_syspath.toLocal8Bit().constData());
    if (!dev) return m_productText;
    // the parent belongs to dev and goes with it
    if (udev_device *usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device")) {
        if (const char *product = udev_device_get_sysattr_value(usb, "product")) {
            QString text = QString::fromUtf8(product);
            while (text.endsWith(QLatin1Char('\n')))
                text.chop(1);
            m_productText = text;
        }
    }
    udev_device_unref(dev);
    return m_productText;
}

HidCaps THidDevice::Capabilities()
{
    HidCaps caps;
    caps.InputReportByteLength = m_lengths.Input;
    caps.OutputReportByteLength = m_lengths.Output;
    caps.FeatureReportByteLength = m_lengths.Feature;
    return caps;
}

bool THidDevice::ClaimDevice()
{
    if (!m_controller || !m_present || m_claimed) return false;
    m_claimed = true;
    StartReading();
    return true;
}

void THidDevice::SetDataHandler(HidDataHandler handler)
{
    if (!handler) StopReading();
    m_dataHandler = std::move(handler);
    StartReading();
}

bool THidDevice::WriteReport(const void *buffer, int count)
{
    if (buffer == nullptr || count <= 0 || !OpenDeviceHandle()) return false;
    // a read-only descriptor cannot write; say so without asking the node
    if (!m_openedForReadWrite) return false;
    ssize_t n;
    do {
        n = ::write(m_deviceFd, buffer, static_cast<size_t>(count));
    } while (n < 0 && errno == EINTR);
    return n == count;
}

bool THidDevice::IsReading() const
{
    return m_reader && !m_reader->Finished();
}

void THidDevice::StartReading()
{
    if (!m_dataHandler || !m_present || !m_claimed || !m_openedForReadWrite || m_reader) return;
    // the read thread has a descriptor of its own, so closing the device
    // handle never pulls the node from under a blocked poll()
    const int fd = openWithRetry(m_devnode.toLocal8Bit(), O_RDONLY);
    if (fd < 0) return;
    m_reader = THidDeviceReadThread::Start(
        fd, m_lengths.Input, !m_lengths.UsesReportIds,
        [this](uint8_t id, const uint8_t *data, int size) { return Deliver(id, data, size); });
}

void THidDevice::StopReading()
{
    if (!m_reader) return;
    if (m_handOverDepth > 0) {
        // asked from inside one of this thread's own hand-overs: it cannot end
        // before the handler returns, so it is joined later
        THidDeviceReadThread::DisposeWhenFinished(std::move(m_reader));
        return;
    }
    std::unique_ptr<THidDeviceReadThread> reader = std::move(m_reader);
    reader->StopAndWait();
}

void THidDevice::MarkUnplugged()
{
    CloseDeviceHandle();
    m_present = false;
    // no report is delivered from a device that is gone; the thread itself is
    // joined when the holder releases the device
    if (m_reader) m_reader->RequestStop();
}

bool THidDevice::Deliver(uint8_t reportId, const uint8_t *data, int size)
{
    if (!m_dataHandler || !m_present) return true;
    // the handler may replace itself or release the device while it runs
    const HidDataHandler handler = m_dataHandler;
    QPointer<THidDevice> alive(this);
    ++m_handOverDepth;
    bool ok = true;
    try {
        handler(this, reportId, data, size);
    } catch (const std::exception &e) {
        qWarning("HID data handler failed: %s", e.what());
        ok = false;
    } catch (...) {
        qWarning("HID data handler failed");
        ok = false;
    }
    if (alive) --m_handOverDepth;
    return ok;
}
