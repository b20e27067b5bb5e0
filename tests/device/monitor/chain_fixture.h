// The chain the device tests drive: the real port object, status model and link selection over fakes,
// on an emulated serial port or USB UPS.
#pragma once

#include <umockdev.h>

#include "../devices/emulated_hid_ups.h"
#include "../devices/emulated_serial.h"
#include "devices/comport.h"
#include "devices/linux/hidrawcontroller.h"
#include "fakes/call_log.h"
#include "fakes/fake_alerts.h"
#include "fakes/fake_event_log.h"
#include "fakes/fake_settings_row.h"
#include "fakes/fake_status_view.h"
#include "monitor/linkselector.h"
#include "monitor/powerstatus.h"
#include "pump.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

using States = std::tuple<int, int, int>; // mains, battery, link

class ChainTest : public ::testing::Test
{
protected:
    // With logCalls the fakes write one call log; a flood of reports would
    // only fill it.
    explicit ChainTest(bool logCalls)
        : view(logCalls ? &log : nullptr), alerts(logCalls ? &log : nullptr),
          events(logCalls ? &log : nullptr)
    {
        status.SetStartStates();
    }

    // A link selection of its own, as the program makes one at start.
    void NewLinks()
    {
        links = std::make_unique<LinkSelector>(status, view, alerts, settings, port,
                                               [] { return std::make_unique<THidDeviceController>(); });
    }
    States Now() const { return {status.MainsState(), status.BatteryState(), status.LinkState()}; }

    CallLog log;
    FakeStatusView view;
    FakeAlerts alerts;
    FakeEventLog events;
    FakeSettingsRow settings;
    TComPort port;
    PowerStatus status{view, alerts, events, settings};
    std::unique_ptr<LinkSelector> links;
};

// Serial ports emulated in a testbed of their own; the port is closed before
// the devices and the testbed go.
class SerialChainTest : public ChainTest
{
protected:
    using ChainTest::ChainTest;

    void SetUp() override
    {
        testbed = umockdev_testbed_new();
        ASSERT_TRUE(umockdev_in_mock_environment()) << "these tests run under umockdev-wrapper";
        settings.Set("sCOM", "");
        settings.Set("shidDevName", "UPS");
        NewLinks();
    }
    void TearDown() override
    {
        links.reset();
        port.ClosePort();
        serials.clear();
        if (testbed) g_object_unref(testbed);
    }

    EmulatedSerial &AddSerial(const char *name)
    {
        serials.push_back(std::make_unique<EmulatedSerial>(testbed, name));
        return *serials.back();
    }
    // Selects the emulated port and waits for the evaluation its opening leads to.
    void Select(EmulatedSerial &serial)
    {
        settings.Set("sCOM", QString::fromStdString(serial.path()));
        ASSERT_NO_THROW(links->SelectLink());
        ASSERT_TRUE(port.Connected());
        ASSERT_TRUE(PumpUntil([&] { return !links->tmDelay.isActive(); }));
    }

    UMockdevTestbed *testbed = nullptr;
    std::vector<std::unique_ptr<EmulatedSerial>> serials;
};

// USB HID devices emulated in a testbed of their own, the UPS by its product name.
class UsbChainTest : public ChainTest
{
protected:
    using ChainTest::ChainTest;

    void SetUp() override
    {
        settings.Set("sCOM", "USB");
        settings.Set("shidDevName", QString::fromUtf8(EmulatedHidUps::kProduct));
    }
    void TearDown() override { links.reset(); }

    // Selects the USB link with a new link selection and waits until the UPS is held.
    void SelectAndHold(EmulatedHidDevice &ups)
    {
        NewLinks();
        links->SelectLink();
        ASSERT_TRUE(PumpUntil([&] { return links->UpsHidDevice() != nullptr; }))
            << "the UPS was never claimed";
        EXPECT_EQ(links->UpsHidDevice()->DevInst(), QString::fromStdString(ups.Syspath()));
    }

    HidTestbed testbed;
};
