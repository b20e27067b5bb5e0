// Lifetimes of hidraw devices and read threads: controller destruction, release from handlers, plug cycles.
#include "devices/linux/hidrawcontroller.h"
#include "devices/linux/hidrawdevice.h"
#include "emulated_hid_ups.h"
#include "hid_test_helpers.h"

#include <QPointer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <sys/resource.h>

using namespace hid_test;

namespace {

class HidLifecycle : public ::testing::Test
{
protected:
    // Plugs the UPS in and waits until the controller has claimed it and
    // started reading it with handler.
    HidDevice *ClaimUps(THidDeviceController &controller, HidDataHandler handler)
    {
        HidDevice *held = nullptr;
        controller.OnArrival = [&](HidDevice *d) {
            if (d->ClaimDevice()) held = d;
            d->SetDataHandler(handler);
        };
        if (!ups.Plugged()) ups.Plug();
        if (!pumpUntil([&] { return held != nullptr; })) return nullptr;
        controller.OnArrival = nullptr;
        return held;
    }

    HidTestbed testbed;
    EmulatedHidUps ups{testbed};
};

} // namespace

TEST_F(HidLifecycle, DestroyingTheControllerStopsTheHeldDeviceAndLeavesItToItsOwner)
{
    auto owner = std::make_unique<QObject>();
    auto *controller = new THidDeviceController(owner.get());
    std::vector<Report> reports;
    QPointer<HidDevice> held(ClaimUps(*controller, recordInto(reports)));
    ASSERT_FALSE(held.isNull());
    ASSERT_TRUE(ups.SendStatus(3));
    ASSERT_TRUE(pumpUntil([&] { return reports.size() == 1; }));
    ASSERT_TRUE(static_cast<THidDevice *>(held.data())->IsReading());
    EXPECT_EQ(readerThreadCount(), 1);

    delete controller;
    ASSERT_FALSE(held.isNull()); // the holder's pointer stays valid
    EXPECT_FALSE(held->IsPluggedIn());
    EXPECT_EQ(readerThreadCount(), 0);
    const uint8_t keepAlive[2] = {0x00, 0x02};
    EXPECT_FALSE(held->WriteReport(keepAlive, 2));
    EXPECT_FALSE(held->ClaimDevice());

    owner.reset();
    EXPECT_TRUE(held.isNull());
}

TEST_F(HidLifecycle, ReadingCanBeStoppedFromInsideTheDataHandler)
{
    struct Row
    {
        const char *why;
        bool release; // release through the controller, else clear the handler
    };
    for (const Row r : {Row{"handler cleared", false}, Row{"device released", true}}) {
        SCOPED_TRACE(r.why);
        THidDeviceController controller;
        int calls = 0;
        HidDevice *held = nullptr;
        held = ClaimUps(controller, [&](HidDevice *d, uint8_t, const uint8_t *, int) {
            ++calls;
            if (r.release)
                controller.ReleaseDevice(held);
            else
                d->SetDataHandler(nullptr);
        });
        ASSERT_NE(held, nullptr);
        HidDevice *device = held;
        EXPECT_EQ(readerThreadCount(), 1);
        ASSERT_TRUE(ups.SendStatus(3));
        ASSERT_TRUE(pumpUntil([&] { return calls == 1; }));
        // the thread that made the call leaves once the handler has returned
        ASSERT_TRUE(pumpUntil([&] { return readerThreadCount() == 0; }));
        EXPECT_FALSE(static_cast<THidDevice *>(device)->IsReading());
        EXPECT_EQ(device->IsClaimed(), !r.release);
        if (!r.release) controller.ReleaseDevice(held);
        ups.Unplug();
    }
}

TEST_F(HidLifecycle, HandlerThatThrowsEndsReadingUntilTheHandlerIsSetAgain)
{
    THidDeviceController controller;
    int calls = 0;
    auto throwing = [&](HidDevice *, uint8_t, const uint8_t *, int) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    HidDevice *held = ClaimUps(controller, throwing);
    ASSERT_NE(held, nullptr);
    auto *device = static_cast<THidDevice *>(held);
    ASSERT_TRUE(ups.SendStatus(3));
    ASSERT_TRUE(pumpUntil([&] { return calls == 1 && !device->IsReading(); }));
    EXPECT_TRUE(held->IsClaimed());

    std::vector<Report> reports;
    held->SetDataHandler(recordInto(reports)); // a running-or-ended thread is kept
    EXPECT_FALSE(device->IsReading());
    held->SetDataHandler(nullptr);
    held->SetDataHandler(recordInto(reports));
    EXPECT_TRUE(device->IsReading());
    ASSERT_TRUE(ups.SendStatus(2));
    ASSERT_TRUE(pumpUntil([&] { return reports.size() == 1; }));
    EXPECT_EQ(reports[0].data[0], 2);
    controller.ReleaseDevice(held);
}

TEST_F(HidLifecycle, PlugCyclesLeakNeitherDescriptorsNorThreads)
{
    constexpr int kCycles = 1000;
    // the testbed keeps a pty per device it ever created, beyond a default
    // soft limit of 1,024 descriptors
    rlimit files{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);
    files.rlim_cur = files.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &files), 0);
    THidDeviceController controller;
    HidDevice *held = nullptr;
    std::vector<Report> reports;
    controller.OnArrival = [&](HidDevice *d) {
        if (d->ClaimDevice()) held = d;
        d->SetDataHandler(recordInto(reports));
    };
    int removals = 0;
    controller.OnRemoval = [&](HidDevice *d) {
        ++removals;
        if (d == held) controller.ReleaseDevice(held);
    };
    pumpFor(20);
    // the testbed keeps one descriptor per plugged device; measure while unplugged
    const int fdsBefore = fdCount();
    const int threadsBefore = threadCount();
    for (int i = 0; i < kCycles; ++i) {
        ups.Plug();
        ASSERT_TRUE(pumpUntil([&] { return held != nullptr; })) << "cycle " << i;
        if (i % 20 == 0) {
            ASSERT_TRUE(ups.SendStatus(static_cast<uint8_t>(i % 4)));
            ASSERT_TRUE(pumpUntil([&] { return reports.size() == static_cast<std::size_t>(i / 20 + 1); }));
        }
        ups.Unplug();
        ASSERT_TRUE(pumpUntil([&] { return held == nullptr; })) << "cycle " << i;
    }
    EXPECT_EQ(removals, kCycles);
    EXPECT_TRUE(controller.DeviceList().empty());
    // the testbed's worker closes its end of a client connection on its own
    // time, so give it a moment before counting
    pumpUntil([&] { return fdCount() == fdsBefore && threadCount() == threadsBefore; }, 2000);
    EXPECT_EQ(threadCount(), threadsBefore);
    EXPECT_EQ(fdCount(), fdsBefore);
}

TEST_F(HidLifecycle, DeviceChangeDuringARescanIsScannedRightAfterIt)
{
    EmulatedHidUps second(testbed, hid_descriptors::UpsWithoutIds(9, 9), false, "Second UPS");
    ups.Plug();
    THidDeviceController controller;
    Announcements seen;
    controller.OnRemoval = [&](HidDevice *d) { seen.removed.push_back(d); };
    controller.OnArrival = [&](HidDevice *d) {
        seen.arrived.push_back(d);
        seen.arrivedProducts.push_back(d->ProductText());
        if (seen.arrived.size() == 1) {
            // the add uevent is taken while this handler still runs
            second.Plug();
            pumpFor(100);
        }
    };
    ASSERT_TRUE(pumpUntil([&] { return seen.arrived.size() == 2; }));
    EXPECT_EQ(seen.arrivedProducts[1], QStringLiteral("Second UPS"));
    pumpFor(50);
    EXPECT_EQ(seen.arrived.size(), 2u);
    EXPECT_TRUE(seen.removed.empty());
}

TEST_F(HidLifecycle, HandlerMayDestroyTheControllerMidScan)
{
    EmulatedHidDevice keyboard(testbed, "USB Keyboard", hid_descriptors::Keyboard());
    keyboard.Plug();
    ups.Plug();
    auto owner = std::make_unique<QObject>();
    QPointer<THidDeviceController> controller(new THidDeviceController(owner.get()));
    int arrivals = 0;
    controller->OnArrival = [&](HidDevice *d) {
        ++arrivals;
        d->ClaimDevice();
        delete controller.data(); // as a new link chosen from inside the handler would
    };
    ASSERT_TRUE(pumpUntil([&] { return controller.isNull(); }));
    pumpFor(50);
    EXPECT_EQ(arrivals, 1);
}
