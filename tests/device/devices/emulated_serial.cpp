// The emulated serial UPS port: umockdev ioctl handler for the modem lines of a pty-backed tty.
#include <umockdev.h>

#include "emulated_serial.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include <sys/ioctl.h>
#include <termios.h>

using namespace std::chrono_literals;

namespace {

constexpr int kInputs = TIOCM_CTS | TIOCM_CD | TIOCM_DSR | TIOCM_RNG;

struct SerialHandler
{
    UMockdevIoctlBase parent;
    EmulatedSerial *owner;
};

struct SerialHandlerClass
{
    UMockdevIoctlBaseClass parent_class;
};

G_DEFINE_TYPE(SerialHandler, serial_handler, UMOCKDEV_TYPE_IOCTL_BASE)

gboolean serialHandleIoctl(UMockdevIoctlBase *base, UMockdevIoctlClient *client)
{
    return reinterpret_cast<SerialHandler *>(base)->owner->handleIoctl(client);
}

void serial_handler_class_init(SerialHandlerClass *klass)
{
    reinterpret_cast<UMockdevIoctlBaseClass *>(klass)->handle_ioctl = serialHandleIoctl;
}

void serial_handler_init(SerialHandler *self)
{
    self->owner = nullptr;
}

// The int an ioctl's pointer argument points at.
UMockdevIoctlData *pointee(UMockdevIoctlClient *client)
{
    GError *error = nullptr;
    UMockdevIoctlData *data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(int), &error);
    if (error) g_error_free(error);
    return data;
}

} // namespace

EmulatedSerial::EmulatedSerial(UMockdevTestbed *testbed, const std::string &name,
                               std::chrono::milliseconds waitPeriod)
    : m_testbed(testbed), m_name(name), m_waitPeriod(waitPeriod)
{
    // A USB serial adapter: the tty has a parent device, as a real one does.
    const std::string parent = "/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/" + name;
    const std::string description = "P: " + parent +
                                    "\nE: SUBSYSTEM=usb-serial\nE: DRIVER=pl2303\n\n"
                                    "P: " +
                                    parent + "/tty/" + name + "\nN: " + name + "\nE: DEVNAME=/dev/" + name +
                                    "\nE: SUBSYSTEM=tty\nA: dev=188:0\n";
    GError *error = nullptr;
    if (!umockdev_testbed_add_from_string(m_testbed, description.c_str(), &error)) {
        const std::string why = error ? error->message : "unknown";
        if (error) g_error_free(error);
        throw std::runtime_error("cannot add tty: " + why);
    }
    m_sysfsPath = "/sys" + parent + "/tty/" + name;
    // the kernel links a tty to the device behind it; umockdev does not
    umockdev_testbed_set_attribute_link(m_testbed, m_sysfsPath.c_str(), "device", "../..");

    auto *handler = static_cast<SerialHandler *>(g_object_new(serial_handler_get_type(), nullptr));
    handler->owner = this;
    m_handler = reinterpret_cast<UMockdevIoctlBase *>(handler);
    if (!umockdev_testbed_attach_ioctl(m_testbed, path().c_str(), m_handler, &error)) {
        const std::string why = error ? error->message : "unknown";
        if (error) g_error_free(error);
        throw std::runtime_error("cannot attach ioctl handler: " + why);
    }

    m_ticker = std::thread([this] {
        std::unique_lock lock(m_mutex);
        while (!m_stopTicker) {
            if (m_tick.wait_for(lock, m_waitPeriod, [this] { return m_stopTicker; })) break;
            lock.unlock();
            endWaitsWith(EINTR, -1);
            lock.lock();
        }
    });
}

EmulatedSerial::~EmulatedSerial()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopTicker = true;
    }
    m_tick.notify_all();
    m_ticker.join();
    endWaitsWith(EINTR, -1);
    umockdev_testbed_detach_ioctl(m_testbed, path().c_str(), nullptr);
    g_object_unref(m_handler);
}

bool EmulatedSerial::handleIoctl(UMockdevIoctlClient *client)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    std::unique_lock lock(m_mutex);
    ++m_ioctlCalls;
    if (m_unplugged) {
        lock.unlock();
        umockdev_ioctl_client_complete(client, -1, EIO);
        return TRUE;
    }
    switch (request) {
    case TIOCMGET: {
        ++m_lineReads;
        const int lines = m_lines;
        lock.unlock();
        UMockdevIoctlData *data = pointee(client);
        if (!data) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        *reinterpret_cast<int *>(data->data) = lines;
        umockdev_ioctl_client_complete(client, 0, 0);
        g_object_unref(data);
        return TRUE;
    }
    case TIOCMBIS:
    case TIOCMBIC: {
        lock.unlock();
        UMockdevIoctlData *data = pointee(client);
        if (!data) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        const int bits = *reinterpret_cast<int *>(data->data);
        g_object_unref(data);
        const bool on = request == TIOCMBIS;
        lock.lock();
        for (const auto &[bit, label] : {std::pair{TIOCM_DTR, "DTR"}, std::pair{TIOCM_RTS, "RTS"}}) {
            if (!(bits & bit)) continue;
            m_lines = on ? (m_lines | bit) : (m_lines & ~bit);
            m_history.push_back(std::string(label) + (on ? " on" : " off"));
        }
        lock.unlock();
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    case TIOCMIWAIT: {
        ++m_waitsStarted;
        if (!m_waitSupported) {
            lock.unlock();
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return TRUE;
        }
        // the mask is the argument itself, not a pointer
        const UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        unsigned long mask = 0;
        std::memcpy(&mask, arg->data, std::min<size_t>(sizeof mask, size_t(arg->data_len)));
        m_waits.push_back({static_cast<UMockdevIoctlClient *>(g_object_ref(client)), int(mask)});
        return TRUE;
    }
    case TCFLSH:
        if (m_flushError != 0) {
            const int error = m_flushError;
            lock.unlock();
            umockdev_ioctl_client_complete(client, -1, error);
            return TRUE;
        }
        break;
    default:
        break;
    }
    lock.unlock();
    int error = 0;
    GError *gerror = nullptr;
    const int result = umockdev_ioctl_client_execute(client, &error, &gerror);
    if (gerror) g_error_free(gerror);
    umockdev_ioctl_client_complete(client, result, error);
    return TRUE;
}

void EmulatedSerial::setInput(int bit, bool on)
{
    std::unique_lock lock(m_mutex);
    const int next = on ? (m_lines | bit) : (m_lines & ~bit);
    const int changed = next ^ m_lines;
    m_lines = next;
    lock.unlock();
    if (changed) endWaitsWith(0, changed);
}

void EmulatedSerial::setInputs(int bits)
{
    std::unique_lock lock(m_mutex);
    const int next = (m_lines & ~kInputs) | (bits & kInputs);
    const int changed = next ^ m_lines;
    m_lines = next;
    lock.unlock();
    if (changed) endWaitsWith(0, changed);
}

void EmulatedSerial::endWaitsWith(int error, int changedMask)
{
    std::vector<Wait> ending;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_waits.begin(); it != m_waits.end();) {
            if (it->mask & changedMask) {
                ending.push_back(*it);
                it = m_waits.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const Wait &wait : ending) {
        umockdev_ioctl_client_complete(wait.client, error ? -1 : 0, error);
        g_object_unref(wait.client);
    }
}

void EmulatedSerial::endWaits()
{
    endWaitsWith(EINTR, -1);
}

void EmulatedSerial::unplug()
{
    {
        std::lock_guard lock(m_mutex);
        m_unplugged = true;
    }
    endWaitsWith(EIO, -1);
}

void EmulatedSerial::setWaitSupported(bool supported)
{
    std::lock_guard lock(m_mutex);
    m_waitSupported = supported;
}

void EmulatedSerial::setFlushError(int error)
{
    std::lock_guard lock(m_mutex);
    m_flushError = error;
}

int EmulatedSerial::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool EmulatedSerial::dtr() const
{
    return lines() & TIOCM_DTR;
}

bool EmulatedSerial::rts() const
{
    return lines() & TIOCM_RTS;
}

std::vector<std::string> EmulatedSerial::outputHistory() const
{
    std::lock_guard lock(m_mutex);
    return m_history;
}

int EmulatedSerial::ioctlCalls() const
{
    std::lock_guard lock(m_mutex);
    return m_ioctlCalls;
}

int EmulatedSerial::lineReads() const
{
    std::lock_guard lock(m_mutex);
    return m_lineReads;
}

int EmulatedSerial::waitsStarted() const
{
    std::lock_guard lock(m_mutex);
    return m_waitsStarted;
}

int EmulatedSerial::waitsPending() const
{
    std::lock_guard lock(m_mutex);
    return int(m_waits.size());
}
