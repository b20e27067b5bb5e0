// The USB link: the UPS found by its exact name, status codes to states, keep-alive, removal and loss.
#include "monitor/linkselector.h"
#include "monitor/powerstatus.h"

#include "fakes/fake_alerts.h"
#include "fakes/fake_event_log.h"
#include "fakes/fake_hid.h"
#include "fakes/fake_power_states.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_settings_row.h"
#include "fakes/fake_status_view.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const char *const kName = "UPS USB MON V1.4";

QStringList Entries(std::initializer_list<const char *> items)
{
    QStringList out;
    for (const char *item : items)
        out << QString::fromUtf8(item);
    return out;
}

QByteArray Report(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}

// The USB link with recording fakes that share one call log.
class UsbLink : public ::testing::Test
{
protected:
    void SelectUsb(const char *name = kName)
    {
        settings.Set("sCOM", "USB");
        settings.Set("shidDevName", name);
        links.SelectLink();
        log.entries.clear();
    }

    CallLog log;
    FakeStatusView view{&log};
    FakeAlerts alerts{&log};
    FakeSettingsRow settings;
    FakeSerialPort port{&log};
    FakePowerStates states{&log};
    FakeHidController *controller = nullptr;
    LinkSelector links{states, view, alerts, settings, port, [this] {
                           auto made = std::make_unique<FakeHidController>(&log);
                           controller = made.get();
                           return std::unique_ptr<HidDeviceController>(std::move(made));
                       }};
};

// The same with the real status model, where a test needs its effects.
class UsbLinkModel : public ::testing::Test
{
protected:
    CallLog log;
    FakeStatusView view{&log};
    FakeAlerts alerts{&log};
    FakeEventLog events{&log};
    FakeSettingsRow settings;
    FakeSerialPort port;
    PowerStatus status{view, alerts, events, settings};
    FakeHidController *controller = nullptr;
    LinkSelector links{status, view, alerts, settings, port, [this] {
                           auto made = std::make_unique<FakeHidController>(&log);
                           controller = made.get();
                           return std::unique_ptr<HidDeviceController>(std::move(made));
                       }};
};

} // namespace

TEST_F(UsbLink, OnlyADeviceWithExactlyTheSelectedNameIsClaimed)
{
    struct Row
    {
        const char *why;
        const char *selected;
        const char *product;
        bool claimed;
    };
    const Row rows[] = {
        {"same name", kName, kName, true},
        {"letter case differs", kName, "ups usb mon v1.4", false},
        {"longer name", kName, "UPS USB MON V1.4 ", false},
        {"another device", kName, "USB Keyboard", false},
        {"empty name matches an unreadable product", "", "", true},
        {"empty name does not match a named device", "", kName, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.why);
        CallLog rowLog;
        FakePowerStates rowStates(&rowLog);
        FakeSerialPort rowPort;
        FakeHidController *rowController = nullptr;
        LinkSelector rowLinks{rowStates, view, alerts, settings, rowPort, [&] {
                                  auto made = std::make_unique<FakeHidController>(&rowLog);
                                  rowController = made.get();
                                  return std::unique_ptr<HidDeviceController>(std::move(made));
                              }};
        settings.Set("sCOM", "USB");
        settings.Set("shidDevName", row.selected);
        rowLinks.SelectLink();
        ASSERT_NE(rowController, nullptr);
        rowLog.entries.clear();
        FakeHidDevice *device = rowController->Plug(QString::fromUtf8(row.product));
        EXPECT_EQ(device->claimed, row.claimed);
        EXPECT_EQ(rowLinks.UpsHidDevice(), row.claimed ? device : nullptr);
        EXPECT_EQ(rowLinks.tmFeed.isActive(), row.claimed);
        // arrival alone changes no state
        EXPECT_TRUE(
            rowLog.entries.filter(QRegularExpression(QStringLiteral("^(Mains|Battery|Link)\\("))).isEmpty());
    }
}

TEST_F(UsbLink, StatusCodesGiveTheirCallsInOrderAndThenConnected)
{
    struct Row
    {
        const char *why;
        QByteArray report; // report id first
        QStringList calls;
    };
    const Row rows[] = {
        {"1: on battery, battery normal", Report({0, 1, 0, 0}),
         Entries({"Battery(1,false)", "Mains(0,false)"})},
        {"2: on battery, battery low", Report({0, 2}), Entries({"Mains(0,false)", "Battery(0,false)"})},
        {"3: on mains", Report({0, 3, 9, 9, 9}), Entries({"Battery(1,false)", "Mains(1,false)"})},
        {"0: unknown", Report({0, 0}), Entries({"Battery(2,false)", "Mains(2,false)"})},
        {"4: unknown", Report({0, 4}), Entries({"Battery(2,false)", "Mains(2,false)"})},
        {"255: unknown", Report({0, 255}), Entries({"Battery(2,false)", "Mains(2,false)"})},
        {"no data byte: unknown", Report({0}), Entries({"Battery(2,false)", "Mains(2,false)"})},
        {"the report id is not examined", Report({7, 3}), Entries({"Battery(1,false)", "Mains(1,false)"})},
    };
    SelectUsb();
    FakeHidDevice *ups = controller->Plug(QString::fromUtf8(kName));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.why);
        log.entries.clear();
        ASSERT_TRUE(ups->Send(row.report));
        EXPECT_EQ(log.entries, row.calls + QStringList{QStringLiteral("Link(1,false)")});
    }
}

TEST_F(UsbLinkModel, BatteryRecoveryComesBeforeTheUnchangedMainsAndMainsRecoveryAfterTheBattery)
{
    settings.Set("sCOM", "USB");
    settings.Set("shidDevName", kName);
    links.SelectLink();
    FakeHidDevice *ups = controller->Plug(QString::fromUtf8(kName));

    ASSERT_TRUE(ups->Send(Report({0, 2})));
    EXPECT_EQ(status.LinkState(), UpsState::Normal) << "connected at the first report";
    EXPECT_EQ(alerts.armedSeconds, 30);

    // 1 after 2: the battery recovery cancels, the mains stays failed silently
    log.entries.clear();
    ASSERT_TRUE(ups->Send(Report({0, 1})));
    EXPECT_EQ(log.entries, Entries({"Line5=> 电池电压恢复", "Hint(Battery,电池电压恢复)", "Image(Battery,13)",
                                    "Cancel", "ShowAlert(电池电压恢复,4,false,-1)", "Tray"}));
    EXPECT_FALSE(alerts.running);

    // 3 after a failure: battery unchanged first, then the mains recovery
    log.entries.clear();
    ASSERT_TRUE(ups->Send(Report({0, 3})));
    EXPECT_EQ(log.entries, Entries({"Line5=> 市电恢复", "Hint(Mains,市电恢复)", "Image(Mains,17)", "Cancel",
                                    "ShowAlert(市电恢复,2,false,-1)", "LogEvent(市电恢复)", "Tray"}));

    // a steady state changes nothing after its first report
    log.entries.clear();
    ASSERT_TRUE(ups->Send(Report({0, 3})));
    EXPECT_TRUE(log.entries.isEmpty());
}

TEST_F(UsbLink, QueryOnlyDeviceIsClaimedButNeverReadNorFed)
{
    SelectUsb();
    FakeHidDevice *first = controller->Plug(QString::fromUtf8(kName));
    controller->Unplug(first);
    ASSERT_TRUE(links.tmLose.isActive());
    log.entries.clear();

    FakeHidDevice *readOnly = controller->Plug(QString::fromUtf8(kName), 9, /*readWrite=*/false);
    EXPECT_EQ(log.entries, Entries({"Claim(UPS USB MON V1.4)", "Handler(UPS USB MON V1.4,none)"}));
    EXPECT_EQ(links.UpsHidDevice(), readOnly);
    EXPECT_FALSE(links.tmFeed.isActive());
    EXPECT_TRUE(links.tmLose.isActive()) << "the loss timer keeps running";
    EXPECT_FALSE(readOnly->Send(Report({0, 3})));
    // its timer tick finds a device held and reports nothing
    log.entries.clear();
    links.tmLoseTimer();
    EXPECT_TRUE(log.entries.isEmpty());
}

TEST_F(UsbLink, KeepAliveIsTwoBytesEveryHalfSecondWhateverTheOutputLength)
{
    SelectUsb();
    EXPECT_EQ(links.tmFeed.interval(), 500);
    links.tmFeedTimer();
    EXPECT_TRUE(log.entries.isEmpty()) << "no device held";

    FakeHidDevice *ups = controller->Plug(QString::fromUtf8(kName), 64);
    log.entries.clear();
    links.tmFeedTimer();
    links.tmFeedTimer();
    EXPECT_EQ(log.entries, Entries({"Write(UPS USB MON V1.4,00 02)", "Write(UPS USB MON V1.4,00 02)"}));

    // a failed keep-alive is neither logged nor retried
    ups->writeSucceeds = false;
    log.entries.clear();
    links.tmFeedTimer();
    EXPECT_EQ(log.entries, Entries({"Write(UPS USB MON V1.4,00 02)"}));
}

TEST_F(UsbLink, RemovalReleasesAndALossIsReportedOnlyWithoutAReturnWithinTwoSeconds)
{
    SelectUsb();
    EXPECT_EQ(links.tmLose.interval(), 2000);
    FakeHidDevice *ups = controller->Plug(QString::fromUtf8(kName));
    ASSERT_TRUE(ups->Send(Report({0, 3})));

    // another device going away is none of the link's business
    FakeHidDevice *keyboard = controller->Plug(QStringLiteral("USB Keyboard"));
    log.entries.clear();
    controller->Unplug(keyboard);
    EXPECT_TRUE(log.entries.isEmpty());

    controller->Unplug(ups);
    EXPECT_EQ(log.entries, Entries({"Release(UPS USB MON V1.4)"}));
    EXPECT_EQ(links.UpsHidDevice(), nullptr);
    EXPECT_TRUE(links.tmLose.isActive());
    EXPECT_FALSE(links.tmFeed.isActive());

    // back within the two seconds: the loss timer is stopped
    FakeHidDevice *again = controller->Plug(QString::fromUtf8(kName));
    EXPECT_EQ(links.UpsHidDevice(), again);
    EXPECT_FALSE(links.tmLose.isActive());
    EXPECT_TRUE(links.tmFeed.isActive());

    // gone for longer: Lost, Unknown, Unknown, once
    controller->Unplug(again);
    log.entries.clear();
    links.tmLoseTimer();
    EXPECT_EQ(log.entries, Entries({"Link(0,false)", "Mains(2,false)", "Battery(2,false)"}));
    EXPECT_FALSE(links.tmLose.isActive());
}

TEST_F(UsbLink, TwoDevicesOfTheSameNameAreBothReadAndTheLastOneIsFed)
{
    SelectUsb();
    FakeHidDevice *first = controller->Plug(QString::fromUtf8(kName));
    FakeHidDevice *second = controller->Plug(QString::fromUtf8(kName));
    EXPECT_EQ(links.UpsHidDevice(), second);
    EXPECT_TRUE(first->Send(Report({0, 1})));
    EXPECT_TRUE(second->Send(Report({0, 3})));
    links.tmFeedTimer();
    EXPECT_TRUE(first->writes.isEmpty());
    EXPECT_EQ(second->writes.size(), 1);

    controller->Unplug(first);
    EXPECT_EQ(links.UpsHidDevice(), nullptr) << "removing either one clears the held device";
}

TEST_F(UsbLink, SwitchingAwayReleasesTheDeviceThenDestroysTheControllerThenForcesUnknown)
{
    SelectUsb();
    controller->Plug(QString::fromUtf8(kName));
    log.entries.clear();

    settings.Set("shidDevName", "Other UPS");
    links.SelectLink();
    EXPECT_EQ(log.entries, Entries({"Release(UPS USB MON V1.4)", "Controller destroyed", "Link(2,true)",
                                    "Mains(2,true)", "Battery(2,true)", "Line3=> 监控端口:USB"}));
    EXPECT_EQ(links.UpsHidDevice(), nullptr);
    ASSERT_NE(links.HidController(), nullptr) << "a new controller for the new name";
    EXPECT_EQ(links.HidController(), controller);
    EXPECT_FALSE(port.Connected());

    // the keep-alive timer may go on ticking without effect
    links.tmFeedTimer();
    EXPECT_EQ(log.entries.filter(QStringLiteral("Write")).size(), 0);
}
