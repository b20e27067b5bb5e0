// The UPS power-off command: the INI flag on every call, the USB report by length, the serial DTR line.
#include "monitor/upspoweroff.h"

#include "fakes/fake_alerts.h"
#include "fakes/fake_event_log.h"
#include "fakes/fake_hid.h"
#include "fakes/fake_power_states.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_settings_row.h"
#include "fakes/fake_status_view.h"
#include "lang/inifile.h"
#include "monitor/linkselector.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

const char *const kName = "UPS USB MON V1.4";

class PowerOff : public ::testing::Test
{
protected:
    PowerOff() { settings.Set("bShutUPS", true); }

    // The USB link with the UPS held, its output reports outputLength long.
    FakeHidDevice *HoldUps(int outputLength)
    {
        settings.Set("sCOM", "USB");
        settings.Set("shidDevName", kName);
        links.SelectLink();
        FakeHidDevice *ups = controller->Plug(QString::fromUtf8(kName), outputLength);
        log.entries.clear();
        return ups;
    }
    void OpenSerial()
    {
        settings.Set("sCOM", "COM3");
        links.SelectLink();
        log.entries.clear();
        port.outputs.clear();
    }
    QString IniFlag() const
    {
        return IniFile(dir.path() + "/Kestrava.INI").readString("settings", "ShutDownUPS", "missing");
    }
    UpsPowerOff Command(bool windowsNT = false)
    {
        return UpsPowerOff(links, events, settings, dir.path() + "/", [windowsNT] { return windowsNT; });
    }

    QTemporaryDir dir;
    CallLog log;
    FakeStatusView view;
    FakeAlerts alerts;
    FakeEventLog events{&log};
    FakeSettingsRow settings;
    FakeSerialPort port{&log};
    FakePowerStates states;
    FakeHidController *controller = nullptr;
    LinkSelector links{states, view, alerts, settings, port, [this] {
                           auto made = std::make_unique<FakeHidController>(&log);
                           controller = made.get();
                           return std::unique_ptr<HidDeviceController>(std::move(made));
                       }};
};

QStringList Entries(std::initializer_list<const char *> items)
{
    QStringList out;
    for (const char *item : items)
        out << QString::fromUtf8(item);
    return out;
}

} // namespace

TEST_F(PowerOff, UsbReportFollowsTheOutputReportLength)
{
    struct Row
    {
        const char *why;
        int outputLength;
        bool writeSucceeds;
        QStringList expected;
    };
    const QString zeros62 = QStringLiteral(" 00").repeated(62);
    const Row rows[] = {
        {"two bytes", 2, true, Entries({"LogEvent(UPS强制关闭)", "Write(UPS USB MON V1.4,00 01)"})},
        {"nine bytes", 9, true,
         Entries({"LogEvent(UPS强制关闭)", "Write(UPS USB MON V1.4,00 01 00 00 00 00 00 00 00)"})},
        {"longer than nine: padded to the full length", 64, true,
         QStringList{QString::fromUtf8("LogEvent(UPS强制关闭)"),
                     "Write(UPS USB MON V1.4,00 01" + zeros62 + ")"}},
        {"write refused", 9, false,
         Entries({"LogEvent(UPS强制关闭)", "Write(UPS USB MON V1.4,00 01 00 00 00 00 00 00 00)",
                  "LogEvent(写数据到USB设备错误)"})},
        {"no room for the command: nothing sent, reported", 1, true,
         Entries({"LogEvent(UPS强制关闭)", "LogEvent(写数据到USB设备错误)"})},
        {"no output report at all", 0, true,
         Entries({"LogEvent(UPS强制关闭)", "LogEvent(写数据到USB设备错误)"})},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.why);
        FakeHidDevice *ups = HoldUps(row.outputLength);
        ups->writeSucceeds = row.writeSucceeds;
        Command().PowerOffUps("ALL");
        EXPECT_EQ(log.entries, row.expected);
        EXPECT_EQ(IniFlag(), "0");
        // back to no link for the next row
        settings.Set("sCOM", "");
        links.SelectLink();
    }
}

TEST_F(PowerOff, ScopesPickTheLinks)
{
    struct Row
    {
        const char *why;
        bool usb; // else the serial link
        const char *scope;
        bool windowsNT;
        QStringList expected;
    };
    const Row rows[] = {
        {"USB, ALL", true, "ALL", false, Entries({"LogEvent(UPS强制关闭)", "Write(UPS USB MON V1.4,00 01)"})},
        {"USB, USB", true, "USB", false, Entries({"LogEvent(UPS强制关闭)", "Write(UPS USB MON V1.4,00 01)"})},
        {"USB, COM", true, "COM", false, {}},
        {"USB, another scope acts like ALL", true, "X", false,
         Entries({"LogEvent(UPS强制关闭)", "Write(UPS USB MON V1.4,00 01)"})},
        {"serial, ALL raises DTR", false, "ALL", false, Entries({"LogEvent(UPS强制关闭)", "DTR(on)"})},
        {"serial, USB", false, "USB", false, {}},
        {"serial, COM logs only", false, "COM", false, Entries({"LogEvent(UPS强制关闭)"})},
        {"serial, another scope never raises DTR", false, "X", false, Entries({"LogEvent(UPS强制关闭)"})},
        {"serial, NT family logs only", false, "ALL", true, Entries({"LogEvent(UPS强制关闭)"})},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.why);
        if (row.usb)
            HoldUps(2);
        else
            OpenSerial();
        Command(row.windowsNT).PowerOffUps(row.scope);
        EXPECT_EQ(log.entries, row.expected);
        EXPECT_EQ(port.dtr, !row.usb && row.expected.contains("DTR(on)"));
        EXPECT_EQ(IniFlag(), "0");
        settings.Set("sCOM", "");
        links.SelectLink();
    }
}

TEST_F(PowerOff, WithoutTheSettingOrWithoutALinkOnlyTheFlagIsWritten)
{
    // the USB link selected but no device held
    settings.Set("sCOM", "USB");
    links.SelectLink();
    log.entries.clear();
    Command().PowerOffUps("ALL");
    EXPECT_TRUE(log.entries.isEmpty());
    EXPECT_EQ(IniFlag(), "0");

    // the setting off: flag written (also over another value), nothing sent
    IniFile(dir.path() + "/Kestrava.INI").writeString("settings", "ShutDownUPS", "1");
    settings.Set("bShutUPS", false);
    HoldUps(9);
    Command().PowerOffUps("ALL");
    EXPECT_TRUE(log.entries.isEmpty());
    EXPECT_EQ(IniFlag(), "0");
    OpenSerial();
    Command().PowerOffUps("ALL");
    EXPECT_TRUE(log.entries.isEmpty());
    EXPECT_FALSE(port.dtr);

    // the other entries of the program INI file stay
    QFile ini(dir.path() + "/Kestrava.INI");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[SETTINGS]\r\nLANG=English\r\n");
    ini.close();
    Command().PowerOffUps("USB");
    EXPECT_EQ(IniFile(dir.path() + "/Kestrava.INI").readString("SETTINGS", "LANG", ""), "English");
    EXPECT_EQ(IniFlag(), "0");
}

TEST_F(PowerOff, AnUnwritableIniFileStopsEverythingAndRaises)
{
    OpenSerial();
    // a folder that cannot exist, since a file of that name is in the way
    // (a read-only folder would not stop a test run as root)
    QFile blocker(dir.path() + "/notafolder");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    UpsPowerOff command(links, events, settings, dir.path() + "/notafolder/", [] { return false; });
    EXPECT_THROW(command.PowerOffUps("ALL"), IniWriteError);
    EXPECT_TRUE(log.entries.isEmpty()) << "no log line, no command to the UPS";
    EXPECT_FALSE(port.dtr);
}

TEST_F(PowerOff, AFailureToRaiseDtrReachesTheCallerAfterTheLogLine)
{
    OpenSerial();
    port.dtrError = EIO;
    EXPECT_THROW(Command().PowerOffUps("ALL"), EComPort);
    EXPECT_EQ(log.entries, Entries({"LogEvent(UPS强制关闭)", "DTR(on)"}));
    port.dtrError = 0;
}
