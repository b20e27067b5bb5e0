// The emulated USB HID device: sysfs paragraphs, ioctl answers, pty-fed input reports, recorded output
// reports.
#include "emulated_hid_ups.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <functional>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace hid_descriptors {

namespace {
HidBytes appCollectionStart()
{
    // usage page power device, usage UPS, collection application,
    // logical 0..255, report size 8
    return {0x05, 0x84, 0x09, 0x04, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08};
}
void add(HidBytes &d, std::initializer_list<uint8_t> bytes)
{
    d.insert(d.end(), bytes);
}
void addReport(HidBytes &d, uint8_t mainItem, int dataBytes)
{
    add(d, {0x09, 0x01, 0x96, static_cast<uint8_t>(dataBytes & 0xFF), static_cast<uint8_t>(dataBytes >> 8),
            mainItem, 0x02});
}
} // namespace

HidBytes UpsWithoutIds(int inputLength, int outputLength)
{
    HidBytes d = appCollectionStart();
    if (inputLength > 0) addReport(d, 0x81, inputLength - 1);
    if (outputLength > 0) addReport(d, 0x91, outputLength - 1);
    add(d, {0xC0});
    return d;
}

HidBytes UpsWithIds(int input1Length, int output2Length, int input3Length)
{
    HidBytes d = appCollectionStart();
    add(d, {0x85, 0x01});
    addReport(d, 0x81, input1Length - 1);
    add(d, {0x85, 0x02});
    addReport(d, 0x91, output2Length - 1);
    add(d, {0x85, 0x03});
    addReport(d, 0x81, input3Length - 1);
    add(d, {0xC0});
    return d;
}

HidBytes Keyboard()
{
    return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
            0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
            0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
            0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
}

} // namespace hid_descriptors

namespace {

// Node names are never reused within a process: re-adding a pty-backed node
// under an old name aborts inside umockdev.
std::atomic<int> g_nextNode{0};

bool pumpUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

HidTestbed::HidTestbed() : m_tb(umockdev_testbed_new()) {}

HidTestbed::~HidTestbed()
{
    g_object_unref(m_tb);
}

EmulatedHidDevice::EmulatedHidDevice(HidTestbed &testbed, std::string product, HidBytes descriptor)
    : m_tb(testbed.get()), m_product(std::move(product)), m_descriptor(std::move(descriptor))
{
}

EmulatedHidDevice::~EmulatedHidDevice()
{
    if (Plugged()) Unplug();
}

void EmulatedHidDevice::Plug()
{
    if (Plugged()) return;
    const int n = g_nextNode++;
    const std::string name = "hidraw" + std::to_string(n);
    m_usbPath = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(n + 1);
    const std::string iface = m_usbPath + "/1-" + std::to_string(n + 1) + ":1.0";
    const std::string hid = iface + "/0003:0665:5161." + std::to_string(1000 + n);
    m_hidrawPath = hid + "/hidraw/" + name;
    m_node = "/dev/" + name;

    std::string text = "P: " + m_usbPath + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
    if (!m_product.empty()) text += "A: product=" + m_product + "\n";
    text += "A: idVendor=0665\nA: idProduct=5161\n\n";
    text += "P: " + iface + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n\n";
    text += "P: " + hid + "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:00000665:00005161\n\n";
    text += "P: " + m_hidrawPath + "\nN: " + name + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=" + m_node +
            "\nA: dev=241:" + std::to_string(n) + "\n";

    m_handler = umockdev_ioctl_base_new();
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&EmulatedHidDevice::OnIoctl), this);
    g_signal_connect(m_handler, "handle-read", G_CALLBACK(&EmulatedHidDevice::OnRead), this);
    g_signal_connect(m_handler, "handle-write", G_CALLBACK(&EmulatedHidDevice::OnWrite), this);

    // The handler goes first: a program in another process rescans on the
    // add uevent at once, and a node without its handler would fail the
    // descriptor ioctls (a kernel's node is complete when it announces it).
    GError *error = nullptr;
    if (!umockdev_testbed_attach_ioctl(m_tb, m_node.c_str(), m_handler, &error) ||
        !umockdev_testbed_add_from_string(m_tb, text.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown";
        g_clear_error(&error);
        throw std::runtime_error("emulated HID device: " + message);
    }
    // a second descriptor on the pty's device side only for FIONREAD: it
    // tells whether the backend has read the last report yet. Raw system
    // calls, since the preload would route both to the handler below.
    const int master = umockdev_testbed_get_dev_fd(m_tb, m_node.c_str());
    if (const char *slave = ptsname(master))
        m_slaveFd = static_cast<int>(
            syscall(SYS_openat, AT_FDCWD, slave, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    m_readCallsAtLastSend = -1;
}

void EmulatedHidDevice::Unplug()
{
    if (!Plugged()) return;
    umockdev_testbed_uevent(m_tb, Syspath().c_str(), "remove");
    umockdev_testbed_detach_ioctl(m_tb, m_node.c_str(), nullptr);
    if (m_slaveFd >= 0) syscall(SYS_close, m_slaveFd);
    m_slaveFd = -1;
    umockdev_testbed_remove_device(m_tb, Syspath().c_str());
    umockdev_testbed_remove_device(m_tb, ("/sys" + m_usbPath).c_str());
    g_object_unref(m_handler);
    m_handler = nullptr;
    m_hidrawPath.clear();
}

void EmulatedHidDevice::SendUevent(const char *action)
{
    if (Plugged()) umockdev_testbed_uevent(m_tb, Syspath().c_str(), action);
}

void EmulatedHidDevice::SetProduct(const std::string &product)
{
    m_product = product;
    if (Plugged())
        umockdev_testbed_set_attribute(m_tb, ("/sys" + m_usbPath).c_str(), "product", product.c_str());
}

void EmulatedHidDevice::MakeNodeReadOnly()
{
    const int master = umockdev_testbed_get_dev_fd(m_tb, m_node.c_str());
    if (const char *slave = ptsname(master)) ::chmod(slave, 0444);
}

bool EmulatedHidDevice::PreviousReportConsumed() const
{
    if (m_readCallsAtLastSend < 0) return true;
    // poll() said readable before the read was issued, so once a read call
    // came after the write, an empty queue means that read took the report
    int queued = 0;
    if (syscall(SYS_ioctl, m_slaveFd, FIONREAD, &queued) < 0) return false;
    return m_readCalls.load() > m_readCallsAtLastSend && queued == 0;
}

bool EmulatedHidDevice::SendInputReport(const HidBytes &report)
{
    if (!Plugged() || report.empty()) return false;
    if (!pumpUntil([this] { return PreviousReportConsumed(); })) return false;
    const int master = umockdev_testbed_get_dev_fd(m_tb, m_node.c_str());
    m_readCallsAtLastSend = m_readCalls.load();
    return ::write(master, report.data(), report.size()) == static_cast<ssize_t>(report.size());
}

std::vector<HidBytes> EmulatedHidDevice::OutputReports()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outputs;
}

bool EmulatedHidDevice::WaitForOutputReports(std::size_t n)
{
    return pumpUntil([this, n] { return OutputReports().size() >= n; });
}

gboolean EmulatedHidDevice::OnIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
{
    auto *dev = static_cast<EmulatedHidDevice *>(self);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    if (request == HIDIOCGRDESCSIZE) {
        UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
        if (!data) return FALSE;
        const int size = static_cast<int>(dev->m_descriptor.size());
        std::memcpy(data->data, &size, sizeof size);
        g_object_unref(data);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    if (request == HIDIOCGRDESC) {
        UMockdevIoctlData *data =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), nullptr);
        if (!data) return FALSE;
        auto *desc = reinterpret_cast<hidraw_report_descriptor *>(data->data);
        const std::size_t n = std::min<std::size_t>(desc->size, dev->m_descriptor.size());
        if (n > 0) std::memcpy(desc->value, dev->m_descriptor.data(), n);
        desc->size = static_cast<uint32_t>(n);
        g_object_unref(data);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    if (request == HIDIOCGRAWINFO) {
        UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_devinfo), nullptr);
        if (!data) return FALSE;
        const hidraw_devinfo info{3 /* BUS_USB */, 0x0665, 0x5161};
        std::memcpy(data->data, &info, sizeof info);
        g_object_unref(data);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    umockdev_ioctl_client_complete(client, -1, ENOTTY);
    return TRUE;
}

gboolean EmulatedHidDevice::OnRead(UMockdevIoctlBase *, UMockdevIoctlClient *, gpointer self)
{
    // counted only; the read itself goes to the pty, which poll() watches
    ++static_cast<EmulatedHidDevice *>(self)->m_readCalls;
    return FALSE;
}

gboolean EmulatedHidDevice::OnWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
{
    auto *dev = static_cast<EmulatedHidDevice *>(self);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    {
        std::lock_guard<std::mutex> lock(dev->m_mutex);
        dev->m_outputs.emplace_back(arg->data, arg->data + arg->data_len);
    }
    umockdev_ioctl_client_complete(client, arg->data_len, 0);
    return TRUE;
}

EmulatedHidUps::EmulatedHidUps(HidTestbed &testbed, HidBytes descriptor, bool reportIds, std::string product)
    : EmulatedHidDevice(testbed, std::move(product), std::move(descriptor)), m_reportIds(reportIds)
{
}

bool EmulatedHidUps::SendStatus(uint8_t code, int inputLength)
{
    // the host-side length counts the id byte; a device without ids sends
    // one byte less, since the kernel gives its reports bare
    HidBytes report(static_cast<std::size_t>(inputLength), 0);
    report[0] = m_reportIds ? 1 : code;
    if (m_reportIds && inputLength > 1) report[1] = code;
    if (!m_reportIds) report.resize(static_cast<std::size_t>(inputLength - 1));
    return SendInputReport(report);
}
