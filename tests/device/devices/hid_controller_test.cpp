// The hidraw controller and devices against emulated USB HID devices: listing, lengths, reports, hot-plug.
#include "devices/linux/hidrawcontroller.h"
#include "devices/linux/hidrawdevice.h"
#include "emulated_hid_ups.h"
#include "hid_test_helpers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPointer>
#include <QThread>

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace hid_test;

namespace {

// Clears CAP_DAC_OVERRIDE on the calling thread, so a root test process is
// held to file modes as a user's would be. The scan opens nodes on this thread.
class FileModesEnforced
{
public:
    FileModesEnforced()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_ok = syscall(SYS_capget, &m_header, m_saved) == 0;
        if (!m_ok) return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_ok = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~FileModesEnforced()
    {
        if (m_ok) syscall(SYS_capset, &m_header, m_saved);
    }
    bool ok() const { return m_ok; }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_ok = false;
};

class HidController : public ::testing::Test
{
protected:
    HidTestbed testbed;
};

} // namespace

TEST_F(HidController, FindsTheUpsByProductAmongOtherDevicesAfterReturningToTheEventLoop)
{
    EmulatedHidDevice keyboard(testbed, "USB Keyboard", hid_descriptors::Keyboard());
    EmulatedHidUps ups(testbed);
    keyboard.Plug();
    ups.Plug();

    THidDeviceController controller;
    Announcements seen;
    seen.Attach(controller);
    // nothing is announced inside the creation: the handlers are set after it
    EXPECT_TRUE(seen.arrived.empty());
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == 2; }));

    HidDevice *found = findByProduct(seen, QString::fromLatin1(EmulatedHidUps::kProduct));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->DevInst(), QString::fromStdString(ups.Syspath()));
    EXPECT_NE(findByProduct(seen, QStringLiteral("USB Keyboard")), nullptr);
    EXPECT_EQ(controller.DeviceList().size(), 2u);
    EXPECT_TRUE(found->OpenedForReadWrite());
    EXPECT_EQ(found->Capabilities().InputReportByteLength, 9);
    EXPECT_EQ(found->Capabilities().OutputReportByteLength, 9);

    // a rescan that finds nothing new announces nothing
    controller.DeviceChange();
    controller.DeviceChange();
    EXPECT_EQ(seen.arrived.size(), 2u);
    EXPECT_TRUE(seen.removed.empty());
}

TEST_F(HidController, CapabilitiesComeFromTheReportDescriptor)
{
    struct Row
    {
        const char *product;
        HidBytes descriptor;
        int input, output;
    };
    const Row rows[] = {
        {"no ids, 2-byte output", hid_descriptors::UpsWithoutIds(9, 2), 9, 2},
        {"no ids, 9-byte output", hid_descriptors::UpsWithoutIds(9, 9), 9, 9},
        {"ids, longest input 33, output 9", hid_descriptors::UpsWithIds(5, 9, 33), 33, 9},
        {"no ids, 65-byte reports", hid_descriptors::UpsWithoutIds(65, 65), 65, 65},
        {"keyboard", hid_descriptors::Keyboard(), 9, 2},
    };
    std::vector<std::unique_ptr<EmulatedHidDevice>> devices;
    for (const Row &r : rows) {
        devices.push_back(std::make_unique<EmulatedHidDevice>(testbed, r.product, r.descriptor));
        devices.back()->Plug();
    }
    THidDeviceController controller;
    Announcements seen;
    seen.Attach(controller);
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == std::size(rows); }));
    for (const Row &r : rows) {
        SCOPED_TRACE(r.product);
        HidDevice *d = findByProduct(seen, QString::fromLatin1(r.product));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->Capabilities().InputReportByteLength, r.input);
        EXPECT_EQ(d->Capabilities().OutputReportByteLength, r.output);
    }
}

TEST_F(HidController, DeviceWithUnusableDescriptorIsLeftOut)
{
    EmulatedHidDevice garbage(testbed, "Broken", HidBytes{0xA1, 0x01, 0x75, 0x08, 0x96, 0xFF});
    EmulatedHidDevice noReports(testbed, "Empty", HidBytes{});
    EmulatedHidUps ups(testbed);
    garbage.Plug();
    noReports.Plug();
    ups.Plug();
    THidDeviceController controller;
    Announcements seen;
    seen.Attach(controller);
    ASSERT_TRUE(pumpUntil([&] { return !seen.arrived.empty(); }));
    pumpFor(50);
    ASSERT_EQ(seen.arrived.size(), 1u);
    EXPECT_EQ(seen.arrivedProducts[0], QString::fromLatin1(EmulatedHidUps::kProduct));
    EXPECT_EQ(controller.DeviceList().size(), 1u);
}

TEST_F(HidController, InputReportsReachTheHandlerWithTheReportIdFirst)
{
    struct Row
    {
        const char *why;
        HidBytes descriptor;
        bool ids;
        HidBytes wire; // what read() gives on the node
        uint8_t wantId;
        HidBytes wantData; // what the handler sees after the id
    };
    const Row rows[] = {
        {"no ids: a 0 id is put in front of the bare report",
         hid_descriptors::UpsWithoutIds(9, 9),
         false,
         {3, 0xAA, 0, 0, 0, 0, 0, 0x55},
         0,
         {3, 0xAA, 0, 0, 0, 0, 0, 0x55}},
        {"ids: the report keeps its own id",
         hid_descriptors::UpsWithIds(5, 9, 33),
         true,
         {1, 2, 0x10, 0x20, 0x30},
         1,
         {2, 0x10, 0x20, 0x30}},
        {"ids: a longer report of another id", hid_descriptors::UpsWithIds(5, 9, 33), true,
         [] {
             HidBytes b(33, 0x77);
             b[0] = 3;
             return b;
         }(),
         3, HidBytes(32, 0x77)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.why);
        EmulatedHidUps ups(testbed, r.descriptor, r.ids);
        ups.Plug();
        THidDeviceController controller;
        std::vector<Report> reports;
        HidDevice *held = nullptr;
        controller.OnArrival = [&](HidDevice *d) {
            ASSERT_TRUE(d->ClaimDevice());
            held = d;
            d->SetDataHandler(recordInto(reports));
        };
        ASSERT_TRUE(pumpUntil([&] { return held != nullptr; }));
        ASSERT_TRUE(ups.SendInputReport(r.wire));
        ASSERT_TRUE(ups.SendInputReport(r.wire));
        ASSERT_TRUE(pumpUntil([&] { return reports.size() == 2; }));
        for (const Report &got : reports) {
            EXPECT_EQ(got.id, r.wantId);
            EXPECT_EQ(got.data, r.wantData);
            EXPECT_TRUE(got.onUiThread);
        }
        controller.ReleaseDevice(held);
        EXPECT_EQ(held, nullptr);
    }
}

TEST_F(HidController, OutputReportsReachTheDeviceByteForByte)
{
    EmulatedHidUps ups(testbed);
    ups.Plug();
    THidDeviceController controller;
    HidDevice *held = nullptr;
    controller.OnArrival = [&](HidDevice *d) {
        if (d->ClaimDevice()) held = d;
    };
    ASSERT_TRUE(pumpUntil([&] { return held != nullptr; }));
    const uint8_t keepAlive[2] = {0x00, 0x02};
    const uint8_t powerOff[9] = {0x00, 0x01, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(held->WriteReport(keepAlive, 2));
    EXPECT_TRUE(held->WriteReport(powerOff, 9));
    EXPECT_FALSE(held->WriteReport(powerOff, 0));
    EXPECT_FALSE(held->WriteReport(nullptr, 9));
    ASSERT_TRUE(ups.WaitForOutputReports(2));
    const std::vector<HidBytes> want = {HidBytes(keepAlive, keepAlive + 2), HidBytes(powerOff, powerOff + 9)};
    EXPECT_EQ(ups.OutputReports(), want);

    ups.Unplug();
    ASSERT_TRUE(pumpUntil([&] { return !held->IsPluggedIn(); }));
    EXPECT_FALSE(held->WriteReport(keepAlive, 2));
    controller.ReleaseDevice(held);
}

TEST_F(HidController, UnclaimedDeviceIsNotOpenedForWritesAndGoesAwayWhenUnplugged)
{
    EmulatedHidUps ups(testbed);
    ups.Plug();
    THidDeviceController controller;
    Announcements seen;
    seen.Attach(controller);
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == 1; }));
    QPointer<HidDevice> device(seen.arrived[0]);
    const uint8_t keepAlive[2] = {0x00, 0x02};
    EXPECT_FALSE(device->WriteReport(keepAlive, 2)); // only a claimed device opens handles
    ups.Unplug();
    ASSERT_TRUE(pumpUntil([&] { return seen.removed.size() == 1; }));
    EXPECT_FALSE(seen.removedWhilePlugged[0]);
    EXPECT_TRUE(device.isNull());
    EXPECT_TRUE(controller.DeviceList().empty());
}

TEST_F(HidController, ClaimedDeviceStaysListedWhileUnpluggedUntilReleasedAndReplugArrivesAsNewDevice)
{
    EmulatedHidUps ups(testbed);
    ups.Plug();
    THidDeviceController controller;
    Announcements seen;
    seen.Attach(controller);
    std::vector<Report> reports;
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == 1; }));
    QPointer<HidDevice> first(seen.arrived[0]);
    ASSERT_TRUE(first->ClaimDevice());
    EXPECT_FALSE(first->ClaimDevice()); // already taken
    first->SetDataHandler(recordInto(reports));
    ASSERT_TRUE(ups.SendStatus(3));
    ASSERT_TRUE(pumpUntil([&] { return reports.size() == 1; }));
    const QString firstInst = first->DevInst();

    ups.Unplug();
    ASSERT_TRUE(pumpUntil([&] { return seen.removed.size() == 1; }));
    EXPECT_EQ(seen.removed[0], first.data());
    ASSERT_FALSE(first.isNull());
    EXPECT_FALSE(first->IsPluggedIn());
    EXPECT_EQ(controller.DeviceList(), std::vector<HidDevice *>{first.data()});

    // plugged in again: a new node, a new device; the held one is reported
    // removed again by that rescan since it is still not released
    ups.Plug();
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == 2; }));
    HidDevice *second = seen.arrived[1];
    EXPECT_NE(second, first.data());
    EXPECT_NE(second->DevInst(), firstInst);
    EXPECT_EQ(second->DevInst(), QString::fromStdString(ups.Syspath()));
    EXPECT_EQ(seen.removed.size(), 2u);

    HidDevice *release = first.data();
    controller.ReleaseDevice(release);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(controller.DeviceList(), std::vector<HidDevice *>{second});

    ASSERT_TRUE(second->ClaimDevice());
    second->SetDataHandler(recordInto(reports));
    ASSERT_TRUE(ups.SendStatus(1));
    ASSERT_TRUE(pumpUntil([&] { return reports.size() == 2; }));
    EXPECT_EQ(reports[1].data[0], 1);
    controller.ReleaseDevice(second);
}

TEST_F(HidController, DeviceOpenableOnlyForReadingIsListedButNeverRead)
{
    EmulatedHidUps ups(testbed);
    ups.Plug();
    ups.MakeNodeReadOnly();
    FileModesEnforced enforced;
    ASSERT_TRUE(enforced.ok());
    THidDeviceController controller;
    Announcements seen;
    seen.Attach(controller);
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == 1; }));
    HidDevice *device = seen.arrived[0];
    EXPECT_EQ(seen.arrivedProducts[0], QString::fromLatin1(EmulatedHidUps::kProduct));
    EXPECT_FALSE(device->OpenedForReadWrite());
    EXPECT_EQ(device->Capabilities().OutputReportByteLength, 9);
    ASSERT_TRUE(device->ClaimDevice());
    std::vector<Report> reports;
    device->SetDataHandler(recordInto(reports));
    EXPECT_FALSE(static_cast<THidDevice *>(device)->IsReading());
    EXPECT_EQ(readerThreadCount(), 0);
    const uint8_t keepAlive[2] = {0x00, 0x02};
    EXPECT_FALSE(device->WriteReport(keepAlive, 2));
    EXPECT_TRUE(ups.OutputReports().empty());
    controller.ReleaseDevice(device);
}

TEST_F(HidController, ProductTextThatCannotBeReadIsEmptyAndTriedAgain)
{
    EmulatedHidUps ups(testbed, hid_descriptors::UpsWithoutIds(9, 9), false, "");
    ups.Plug();
    THidDeviceController controller;
    Announcements seen;
    seen.Attach(controller);
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == 1; }));
    EXPECT_TRUE(seen.arrivedProducts[0].isEmpty());
    HidDevice *device = seen.arrived[0];
    ASSERT_TRUE(device->ClaimDevice());
    EXPECT_TRUE(device->ProductText().isEmpty());
    ups.SetProduct(EmulatedHidUps::kProduct);
    EXPECT_EQ(device->ProductText(), QString::fromLatin1(EmulatedHidUps::kProduct));
    // cached from now on, also once unplugged
    ups.Unplug();
    ASSERT_TRUE(pumpUntil([&] { return seen.removed.size() == 1; }));
    EXPECT_EQ(device->ProductText(), QString::fromLatin1(EmulatedHidUps::kProduct));
    controller.ReleaseDevice(device);
}

TEST_F(HidController, NodeNameReusedAfterARemoveIsANewDevice)
{
    EmulatedHidUps ups(testbed);
    ups.Plug();
    THidDeviceController controller;
    Announcements seen;
    seen.Attach(controller);
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == 1; }));
    QPointer<HidDevice> first(seen.arrived[0]);
    ASSERT_TRUE(first->ClaimDevice());

    // the remove uevent counts even while sysfs still shows the node, and the
    // vanishing node is not announced again
    ups.SendUevent("remove");
    ASSERT_TRUE(pumpUntil([&] { return seen.removed.size() == 1; }));
    EXPECT_FALSE(first->IsPluggedIn());
    pumpFor(50);
    EXPECT_EQ(seen.arrived.size(), 1u);

    // the same name comes back: a new device, the held one stays unplugged
    ups.SendUevent("add");
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == 2; }));
    EXPECT_NE(seen.arrived[1], first.data());
    EXPECT_EQ(seen.arrived[1]->DevInst(), first->DevInst());
    EXPECT_TRUE(seen.arrived[1]->IsPluggedIn());
    EXPECT_FALSE(first->IsPluggedIn());
    HidDevice *release = first.data();
    controller.ReleaseDevice(release);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(controller.DeviceList().size(), 1u);
}
