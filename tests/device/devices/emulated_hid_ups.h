// An emulated USB HID device (a UPS by default) in a umockdev testbed: plug, unplug, input and output
// reports.
#pragma once

#include <umockdev.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

using HidBytes = std::vector<uint8_t>;

// Report descriptors for the emulated devices.
namespace hid_descriptors {
// A UPS without report ids: input and output reports of the given lengths,
// which count the leading 0 byte as the host sees it (so 9 -> 8 data bytes).
HidBytes UpsWithoutIds(int inputLength, int outputLength);
// A UPS with report ids 1 (input), 2 (output) and 3 (a longer input report);
// lengths count the id byte.
HidBytes UpsWithIds(int input1Length, int output2Length, int input3Length);
// A boot keyboard: 8-byte input report, 1-byte LED output report, no ids.
HidBytes Keyboard();
} // namespace hid_descriptors

// One private sysfs and /dev for the process; libudev and open() see only it.
class HidTestbed
{
public:
    HidTestbed();
    ~HidTestbed();
    HidTestbed(const HidTestbed &) = delete;
    HidTestbed &operator=(const HidTestbed &) = delete;
    UMockdevTestbed *get() const { return m_tb; }

private:
    UMockdevTestbed *m_tb;
};

// A USB HID device: a usb_device (with its product attribute), an interface,
// a hid device and its hidraw node, backed by a pty so poll() works. Every
// plug-in gets a new node name (hidraw0, hidraw1, ...), as a kernel may.
class EmulatedHidDevice
{
public:
    EmulatedHidDevice(HidTestbed &testbed, std::string product, HidBytes descriptor);
    virtual ~EmulatedHidDevice();
    EmulatedHidDevice(const EmulatedHidDevice &) = delete;
    EmulatedHidDevice &operator=(const EmulatedHidDevice &) = delete;

    // Adds the device (the testbed sends the add uevent).
    void Plug();
    // Sends the remove uevent, then takes the device away.
    void Unplug();
    bool Plugged() const { return !m_hidrawPath.empty(); }
    // Sends a uevent for the hidraw node and changes nothing else: a remove
    // while the node stays, then an add, is a kernel reusing the node name.
    void SendUevent(const char *action);

    // The hidraw node's sysfs path as libudev reports it, and its /dev node.
    std::string Syspath() const { return "/sys" + m_hidrawPath; }
    std::string Node() const { return m_node; }

    // Sets the product attribute (also while plugged in); an empty text
    // leaves the attribute out at the next plug-in.
    void SetProduct(const std::string &product);
    // Makes the node readable only (as a group without write access would).
    void MakeNodeReadOnly();

    // Sends one input report exactly as the kernel gives it to read(): with
    // the report id first on a device with ids, bare on one without. Waits
    // (pumping Qt events) until the previous report was read, since a pty
    // would merge two reports into one read. False if that does not happen.
    bool SendInputReport(const HidBytes &report);
    // Output reports written to the node so far, byte for byte.
    std::vector<HidBytes> OutputReports();
    // Pumps Qt events until at least n output reports were seen.
    bool WaitForOutputReports(std::size_t n);
    // Number of read() calls the node has seen.
    int ReadCalls() const { return m_readCalls.load(); }

private:
    static gboolean OnIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);
    static gboolean OnRead(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);
    static gboolean OnWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);
    bool PreviousReportConsumed() const;

    UMockdevTestbed *m_tb;
    std::string m_product;
    HidBytes m_descriptor;
    std::string m_usbPath;
    std::string m_hidrawPath;
    std::string m_node;
    UMockdevIoctlBase *m_handler = nullptr;
    int m_slaveFd = -1;
    std::atomic<int> m_readCalls{0};
    int m_readCallsAtLastSend = -1;
    std::mutex m_mutex;
    std::vector<HidBytes> m_outputs;
};

// The UPS: status reports carry the status code in the byte after the id.
class EmulatedHidUps : public EmulatedHidDevice
{
public:
    static constexpr const char *kProduct = "UPS USB MON V1.4";
    explicit EmulatedHidUps(HidTestbed &testbed, HidBytes descriptor = hid_descriptors::UpsWithoutIds(9, 9),
                            bool reportIds = false, std::string product = kProduct);
    // A status report of the device's input length with the code in byte 1.
    bool SendStatus(uint8_t code, int inputLength = 9);

private:
    bool m_reportIds;
};
