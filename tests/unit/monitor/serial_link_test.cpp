// Link selection and the serial link: teardown orders, port opening, the CTS/DCD table, the settling window.
#include "monitor/linkselector.h"

#include "fakes/fake_alerts.h"
#include "fakes/fake_hid.h"
#include "fakes/fake_power_states.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_settings_row.h"
#include "fakes/fake_status_view.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

QStringList Entries(std::initializer_list<const char *> items)
{
    QStringList out;
    for (const char *item : items)
        out << QString::fromUtf8(item);
    return out;
}

class SerialLink : public ::testing::Test
{
protected:
    SerialLink()
    {
        settings.Set("sCOM", "");
        settings.Set("shidDevName", "");
    }

    // Selects a link and forgets what that did.
    void Select(const char *com, const char *hidName = "UPS")
    {
        settings.Set("sCOM", com);
        settings.Set("shidDevName", hidName);
        links.SelectLink();
        log.entries.clear();
    }

    // Lets the settling window run out on its own.
    bool PumpUntilSettled(int boundMs = 2000)
    {
        QDeadlineTimer deadline(boundMs);
        while (links.tmDelay.isActive()) {
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }

    int Evaluations() const { return int(log.entries.count(QStringLiteral("ModemLines"))); }

    CallLog log;
    FakePowerStates states{&log};
    FakeStatusView view{&log};
    FakeAlerts alerts{&log};
    FakeSettingsRow settings;
    FakeSerialPort port{&log};
    FakeHidController *controller = nullptr;
    LinkSelector links{states, view, alerts, settings, port, [this] {
                           log.Add(QStringLiteral("Controller created"));
                           auto made = std::make_unique<FakeHidController>(&log);
                           controller = made.get();
                           return std::unique_ptr<HidDeviceController>(std::move(made));
                       }};
};

} // namespace

TEST_F(SerialLink, NoChangeOfEitherSettingDoesNothing)
{
    // at start both are empty, as the fields are
    links.SelectLink();
    EXPECT_TRUE(log.entries.isEmpty());
    EXPECT_EQ(controller, nullptr);

    // a port that failed to open is not retried by an unchanged selection
    port.openError = ENOENT;
    Select("COM3");
    EXPECT_EQ(port.opens, 1);
    links.SelectLink();
    EXPECT_TRUE(log.entries.isEmpty());
    EXPECT_EQ(port.opens, 1);
}

TEST_F(SerialLink, SelectingAPortForcesUnknownWritesThePortLineAndOpensWithDtrLowRtsHigh)
{
    settings.Set("sCOM", "COM3");
    links.SelectLink();
    EXPECT_EQ(log.entries, Entries({"Link(2,true)", "Mains(2,true)", "Battery(2,true)",
                                    "Line3=> 监控端口:COM3", "Open(COM3)", "DTR(off)", "RTS(on)"}));
    EXPECT_EQ(links.SelectedPort(), QStringLiteral("COM3"));
    EXPECT_EQ(links.SelectedHidName(), QStringLiteral(""));
    EXPECT_EQ(port.outputs, Entries({"DTR on", "RTS on", "DTR off", "RTS on"}))
        << "DTR is high only between applying the settings and the link's first command";
    EXPECT_EQ(controller, nullptr);
    // the open announced the lines: one evaluation is pending without any change
    EXPECT_TRUE(links.tmDelay.isActive());
}

TEST_F(SerialLink, OpenFailuresShowTheAlertWithoutMailOrCountdown)
{
    struct Row
    {
        const char *why;
        const char *com;
        int openError, dtrError, rtsError;
        bool staysOpen;
    };
    const Row rows[] = {
        {"absent port", "COM9", ENOENT, 0, 0, false},
        {"busy port", "COM9", EBUSY, 0, 0, false},
        {"the keyword in lower case is a port name", "usb", ENOENT, 0, 0, false},
        {"DTR cannot be dropped", "COM9", 0, EIO, 0, true},
        {"RTS cannot be raised", "COM9", 0, 0, EIO, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.why);
        CallLog log;
        FakePowerStates states{&log};
        FakeStatusView view{&log};
        FakeAlerts alerts{&log};
        FakeSerialPort port{&log};
        int controllers = 0;
        LinkSelector links{states, view, alerts, settings, port, [&] {
                               ++controllers;
                               return std::make_unique<FakeHidController>();
                           }};
        port.openError = row.openError;
        port.dtrError = row.dtrError;
        port.rtsError = row.rtsError;
        settings.Set("sCOM", row.com);
        links.SelectLink();
        EXPECT_EQ(
            alerts.alerts,
            QStringList{
                QStringLiteral("ShowAlert(打开串口%1失败,-1,false,-1)").arg(QString::fromUtf8(row.com))});
        EXPECT_EQ(port.Connected(), row.staysOpen);
        EXPECT_EQ(controllers, 0);
        EXPECT_EQ(states.link, UpsState::Unknown);
        if (row.staysOpen) {
            // line changes are evaluated as usual
            port.lines = ModemLine::CTS | ModemLine::RLSD;
            port.rtsError = 0;
            links.CommSignalActChg();
            EXPECT_EQ(states.link, UpsState::Normal);
        }
    }
}

TEST_F(SerialLink, CtsAndDcdGiveTheStatesInTheirOrderAndRtsIsRaisedAfterEach)
{
    struct Row
    {
        ModemLineSet lines;
        QStringList calls;
    };
    const Row rows[] = {
        {ModemLine::CTS | ModemLine::RLSD, Entries({"Mains(1,false)", "Battery(1,false)", "Link(1,false)"})},
        {ModemLine::CTS, Entries({"Link(1,false)", "Mains(0,false)", "Battery(0,false)"})},
        {ModemLine::RLSD, Entries({"Link(1,false)", "Battery(1,false)", "Mains(0,false)"})},
        {{}, Entries({"Mains(2,false)", "Battery(2,false)", "Link(0,false)"})},
        // DSR and the ring indicator mean nothing
        {ModemLine::DSR | ModemLine::Ring, Entries({"Mains(2,false)", "Battery(2,false)", "Link(0,false)"})},
    };
    Select("COM3");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.lines.toInt());
        port.SetLines(row.lines);
        links.CommSignalActChg();
        EXPECT_FALSE(links.tmDelay.isActive());
        EXPECT_EQ(log.entries, QStringList{"ModemLines"} + row.calls + QStringList{"RTS(on)"});
        log.entries.clear();
    }
}

TEST_F(SerialLink, AnErrorReadingTheLinesChangesNothingAndLeavesRtsAlone)
{
    Select("COM3");
    port.modemError = EIO;
    EXPECT_THROW(links.CommSignalActChg(), EComPort);
    EXPECT_EQ(log.entries, Entries({"ModemLines"}));

    // from the timer's own tick the error is reported, not thrown at the loop
    log.entries.clear();
    port.SetLines(ModemLine::CTS);
    ASSERT_TRUE(links.tmDelay.isActive());
    ASSERT_TRUE(PumpUntilSettled());
    EXPECT_EQ(log.entries, Entries({"ModemLines"}));

    // the next line change evaluates afresh
    port.modemError = 0;
    log.entries.clear();
    port.SetLines(ModemLine::CTS | ModemLine::RLSD);
    ASSERT_TRUE(PumpUntilSettled());
    EXPECT_EQ(log.entries.last(), QStringLiteral("RTS(on)"));
}

TEST_F(SerialLink, ADeviceThatGoesAwayIsALostLinkAsBothLinesOff)
{
    Select("COM3");
    port.SetLines(ModemLine::CTS | ModemLine::RLSD); // opens a settling window
    log.entries.clear();
    Q_EMIT port.OnDeviceLost();
    EXPECT_FALSE(links.tmDelay.isActive()) << "no evaluation of a gone device";
    EXPECT_EQ(log.entries, Entries({"Mains(2,false)", "Battery(2,false)", "Link(0,false)"}));

    // on the USB link the serial port's notices mean nothing
    Select("USB");
    Q_EMIT port.OnDeviceLost();
    EXPECT_TRUE(log.entries.isEmpty());
}

TEST_F(SerialLink, SettlingWindowOpensOnTheFirstReportAndIsNeitherExtendedNorRestarted)
{
    Select("COM3");
    ASSERT_TRUE(PumpUntilSettled()); // the open's own evaluation
    EXPECT_EQ(links.tmDelay.interval(), 300);
    log.entries.clear();

    // No events are handled while the test sleeps, so the window cannot end
    // early; only its remaining time tells whether a report restarted it.
    port.SetLines(ModemLine::RLSD); // t = 0
    ASSERT_TRUE(links.tmDelay.isActive());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    port.SetLines(ModemLine::CTS | ModemLine::RLSD); // t = 200: inside the window
    EXPECT_LT(links.tmDelay.remainingTime(), 200) << "a later report must not restart the window";
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ASSERT_TRUE(PumpUntilSettled());
    EXPECT_EQ(Evaluations(), 1) << "two changes in one window give one evaluation";
    EXPECT_EQ(states.mains, UpsState::Normal) << "the lines as they are at the end of the window";

    // a change after the window opens a new one
    port.SetLines(ModemLine::CTS); // t >= 350
    EXPECT_GT(links.tmDelay.remainingTime(), 150);
    ASSERT_TRUE(PumpUntilSettled());
    EXPECT_EQ(Evaluations(), 2);
    EXPECT_EQ(states.mains, UpsState::Off);
}

TEST_F(SerialLink, GlitchInsideTheWindowGivesOneEvaluationOfTheUnchangedLines)
{
    port.lines = ModemLine::CTS | ModemLine::RLSD;
    Select("COM3");
    links.CommSignalActChg();
    log.entries.clear();

    port.SetLines(ModemLine::RLSD);
    port.SetLines(ModemLine::CTS | ModemLine::RLSD);
    ASSERT_TRUE(PumpUntilSettled());
    EXPECT_EQ(log.entries,
              Entries({"ModemLines", "Mains(1,false)", "Battery(1,false)", "Link(1,false)", "RTS(on)"}));
}

TEST_F(SerialLink, ChangingTheHidNameAloneReopensTheSerialPort)
{
    Select("COM3", "UPS");
    settings.Set("shidDevName", "Other UPS");
    links.SelectLink();
    EXPECT_EQ(log.entries, Entries({"Close", "Link(2,true)", "Mains(2,true)", "Battery(2,true)",
                                    "Line3=> 监控端口:COM3", "Open(COM3)", "DTR(off)", "RTS(on)"}));
}

TEST_F(SerialLink, SwitchingToUsbClosesThePortAndAPendingEvaluationDoesNothing)
{
    port.lines = ModemLine::CTS | ModemLine::RLSD;
    Select("COM3");
    links.CommSignalActChg();
    log.entries.clear();

    settings.Set("sCOM", "USB");
    links.SelectLink();
    EXPECT_EQ(log.entries, Entries({"Close", "Link(2,true)", "Mains(2,true)", "Battery(2,true)",
                                    "Line3=> 监控端口:USB", "Controller created"}));
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(links.HidController(), controller);
    ASSERT_TRUE(links.tmDelay.isActive()) << "the close reported the lines off";
    log.entries.clear();
    links.CommSignalActChg();
    EXPECT_TRUE(log.entries.isEmpty());
}

TEST_F(SerialLink, SwitchingFromUsbWhileTheLossTimerRunsReportsLostOnceThenFollowsTheLines)
{
    Select("USB", "UPS");
    FakeHidDevice *ups = controller->Plug("UPS");
    controller->Unplug(ups);
    ASSERT_TRUE(links.tmLose.isActive());
    log.entries.clear();

    port.lines = ModemLine::CTS | ModemLine::RLSD;
    settings.Set("sCOM", "COM3");
    links.SelectLink();
    EXPECT_EQ(log.entries,
              Entries({"Controller destroyed", "Link(2,true)", "Mains(2,true)", "Battery(2,true)",
                       "Line3=> 监控端口:COM3", "Open(COM3)", "DTR(off)", "RTS(on)"}));
    EXPECT_EQ(links.HidController(), nullptr);
    EXPECT_TRUE(links.tmLose.isActive()) << "link selection leaves the loss timer alone";

    log.entries.clear();
    links.tmLoseTimer();
    EXPECT_EQ(log.entries, Entries({"Link(0,false)", "Mains(2,false)", "Battery(2,false)"}));
    EXPECT_FALSE(links.tmLose.isActive());
    links.CommSignalActChg();
    EXPECT_EQ(states.link, UpsState::Normal);
    EXPECT_EQ(states.mains, UpsState::Normal);
}

TEST_F(SerialLink, AFailedCloseOfTheOldPortEndsSelectionBeforeAnythingIsForced)
{
    Select("COM3");
    port.closeError = EIO;
    settings.Set("sCOM", "COM4");
    EXPECT_THROW(links.SelectLink(), EComPort);
    EXPECT_EQ(log.entries, Entries({"Close"}));
    EXPECT_EQ(links.SelectedPort(), QStringLiteral("COM3"));
    port.closeError = 0;
}
