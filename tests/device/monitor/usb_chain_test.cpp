// The USB link end to end: the real hidraw controller on emulated devices, link selection and the status
// model.
#include "chain_fixture.h"
#include "monitor/upspoweroff.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class UsbChain : public UsbChainTest
{
protected:
    UsbChain() : UsbChainTest(true) {}

    int LinkLostShown() const { return int(log.entries.count(QStringLiteral("Image(Link,20)"))); }
};

} // namespace

TEST_F(UsbChain, TheUpsIsFoundByItsExactNameAmongOtherDevices)
{
    EmulatedHidDevice keyboard(testbed, "USB Keyboard", hid_descriptors::Keyboard());
    EmulatedHidUps lowerCase(testbed, hid_descriptors::UpsWithoutIds(9, 9), false, "ups usb mon v1.4");
    EmulatedHidUps ups(testbed);
    keyboard.Plug();
    lowerCase.Plug();
    ups.Plug();
    SelectAndHold(ups);
    auto *controller = dynamic_cast<THidDeviceController *>(links->HidController());
    ASSERT_NE(controller, nullptr);
    int claimed = 0;
    for (HidDevice *d : controller->DeviceList())
        claimed += d->IsClaimed();
    EXPECT_EQ(controller->DeviceList().size(), 3u);
    EXPECT_EQ(claimed, 1);
    EXPECT_EQ(Now(), std::make_tuple(2, 2, 2)) << "arrival alone changes no state";
}

TEST_F(UsbChain, StatusCodesReachTheStatesAndTheKeepAliveIsTwoBytes)
{
    EmulatedHidUps ups(testbed);
    ups.Plug();
    SelectAndHold(ups);
    struct Row
    {
        uint8_t code;
        std::tuple<int, int, int> states;
    };
    const Row rows[] = {{1, {0, 1, 1}}, {2, {0, 0, 1}}, {3, {1, 1, 1}}, {0, {2, 2, 1}}, {4, {2, 2, 1}}};
    for (const Row &row : rows) {
        SCOPED_TRACE(int(row.code));
        ASSERT_TRUE(ups.SendStatus(row.code));
        EXPECT_TRUE(PumpUntil([&] { return Now() == row.states; }));
    }
    ASSERT_TRUE(ups.WaitForOutputReports(2));
    for (const HidBytes &report : ups.OutputReports())
        EXPECT_EQ(report, (HidBytes{0x00, 0x02}))
            << "keep-alive only, two bytes although the output report is 9";
}

TEST_F(UsbChain, AReplugWithinTwoSecondsIsNoLossButAnAbsenceOfMoreIsReportedOnce)
{
    EmulatedHidUps ups(testbed);
    ups.Plug();
    SelectAndHold(ups);
    ASSERT_TRUE(ups.SendStatus(3));
    ASSERT_TRUE(PumpUntil([&] { return Now() == std::make_tuple(1, 1, 1); }));
    log.entries.clear();

    QElapsedTimer sinceUnplug;
    ups.Unplug();
    sinceUnplug.start();
    ASSERT_TRUE(PumpUntil([&] { return links->UpsHidDevice() == nullptr; }));
    PumpFor(300);
    ups.Plug();
    ASSERT_TRUE(PumpUntil([&] { return links->UpsHidDevice() != nullptr; }));
    ASSERT_LT(sinceUnplug.elapsed(), 1900) << "the replug took too long for this check";
    PumpFor(int(2500 - sinceUnplug.elapsed()));
    EXPECT_EQ(LinkLostShown(), 0);
    EXPECT_EQ(Now(), std::make_tuple(1, 1, 1));
    ASSERT_TRUE(ups.SendStatus(2));
    EXPECT_TRUE(PumpUntil([&] { return Now() == std::make_tuple(0, 0, 1); }))
        << "the states follow the replugged UPS";

    ups.Unplug();
    ASSERT_TRUE(PumpUntil([&] { return LinkLostShown() == 1; }, 4000));
    PumpFor(600);
    EXPECT_EQ(LinkLostShown(), 1);
    EXPECT_EQ(Now(), std::make_tuple(2, 2, 0));
}

TEST_F(UsbChain, PowerOffReportFillsTheDevicesOutputReport)
{
    struct Row
    {
        int outputLength;
        HidBytes expected;
    };
    HidBytes longer(16, 0x00);
    longer[1] = 0x01;
    const Row rows[] = {
        {2, {0x00, 0x01}},
        {9, {0x00, 0x01, 0, 0, 0, 0, 0, 0, 0}},
        {16, longer},
    };
    settings.Set("bShutUPS", true);
    QTemporaryDir dir;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.outputLength);
        EmulatedHidUps ups(testbed, hid_descriptors::UpsWithoutIds(9, row.outputLength));
        ups.Plug();
        SelectAndHold(ups);
        events.lines.clear();
        UpsPowerOff(*links, events, settings, dir.path() + "/").PowerOffUps("ALL");
        EXPECT_EQ(events.lines, QStringList{QString::fromUtf8("UPS强制关闭")}) << "the write was taken";
        ASSERT_TRUE(PumpUntil([&] {
            for (const HidBytes &r : ups.OutputReports())
                if (r.size() > 1 && r[1] == 0x01) return true;
            return false;
        }));
        for (const HidBytes &r : ups.OutputReports()) {
            if (r.size() > 1 && r[1] == 0x01) {
                EXPECT_EQ(r, row.expected);
            }
        }
        links.reset();
        ups.Unplug();
    }
}
