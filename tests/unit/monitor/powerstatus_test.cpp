// The power status model: every transition's effects in order, repeats, forcing, display cuts, timers.
#include "monitor/powerstatus.h"

#include "fakes/fake_alerts.h"
#include "fakes/fake_event_log.h"
#include "fakes/fake_settings_row.h"
#include "fakes/fake_status_view.h"
#include "lang/gb2312.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Setter = void (PowerStatus::*)(uint8_t, bool);

// The model with recording fakes that share one call log.
struct Model
{
    CallLog log;
    FakeStatusView view{&log};
    FakeAlerts alerts{&log};
    FakeEventLog events{&log};
    FakeSettingsRow settings;
    PowerStatus status{view, alerts, events, settings};

    // Puts one state where a test wants it, then forgets what that did.
    void Prepare(Setter setter, uint8_t state)
    {
        (status.*setter)(state, true);
        log.entries.clear();
    }
};

QStringList Entries(std::initializer_list<const char *> items)
{
    QStringList out;
    for (const char *item : items)
        out << QString::fromUtf8(item);
    return out;
}

} // namespace

TEST(PowerStatus, EachTransitionHasItsEffectsInOrder)
{
    struct Row
    {
        const char *why;
        Setter setter;
        int previous; // -1: the start value, set without effects
        uint8_t state;
        QStringList expected;
        bool blinking;     // the state's own blink or animation timer runs afterwards
        bool recoveryLine; // tmbok runs afterwards
    };
    const Setter mains = &PowerStatus::SetMainsState;
    const Setter battery = &PowerStatus::SetBatteryState;
    const Setter link = &PowerStatus::SetLinkState;
    const Row rows[] = {
        {"mains unknown empties the event line", mains, 1, 2,
         Entries({"Line5=", "Hint(Mains,市电输入)", "Image(Mains,16)", "Cancel", "Tray"}), false, false},
        {"mains unknown after a failure stops the blink", mains, 0, 2,
         Entries({"Line5=", "Hint(Mains,市电输入)", "Image(Mains,16)", "Cancel", "Tray"}), false, false},
        {"first mains report is silent", mains, -1, 1,
         Entries({"Line5=> 市电正常", "Hint(Mains,市电正常)", "Image(Mains,17)", "Cancel", "Tray"}), false,
         false},
        {"mains recovery alerts, then logs", mains, 0, 1,
         Entries({"Line5=> 市电恢复", "Hint(Mains,市电恢复)", "Image(Mains,17)", "Cancel",
                  "ShowAlert(市电恢复,2,false,-1)", "LogEvent(市电恢复)", "Tray"}),
         false, true},
        {"mains failure from unknown arms the countdown in seconds", mains, -1, 0,
         Entries({"Line5=> 市电断电", "Hint(Mains,市电断电)", "ShowAlert(市电断电,1,true,600)",
                  "LogEvent(市电断电)", "Tray"}),
         true, false},
        {"mains failure from normal", mains, 1, 0,
         Entries({"Line5=> 市电断电", "Hint(Mains,市电断电)", "ShowAlert(市电断电,1,true,600)",
                  "LogEvent(市电断电)", "Tray"}),
         true, false},
        {"battery unknown leaves the display", battery, 0, 2,
         Entries({"Hint(Battery,电池电压)", "Image(Battery,12)", "Cancel", "Tray"}), false, false},
        {"first battery report leaves the display", battery, -1, 1,
         Entries({"Hint(Battery,电池电压恢复)", "Image(Battery,13)", "Cancel", "Tray"}), false, false},
        {"battery recovery alerts without a log line", battery, 0, 1,
         Entries({"Line5=> 电池电压恢复", "Hint(Battery,电池电压恢复)", "Image(Battery,13)", "Cancel",
                  "ShowAlert(电池电压恢复,4,false,-1)", "Tray"}),
         false, false},
        {"battery low logs, then alerts", battery, 1, 0,
         Entries({"Line5=> 电池电压低", "Hint(Battery,电池电压低)", "LogEvent(电池电压低)",
                  "ShowAlert(电池电压低,3,true,30)", "Tray"}),
         true, false},
        {"link connected animates", link, -1, 1,
         Entries({"Line4=> 连接\tUPS\t正常", "Hint(Link,连接\tUPS\t正常)", "Image(Link,24)", "Tray"}), true,
         false},
        {"link lost", link, 1, 0,
         Entries({"Line4=> UPS\t连接断开", "Hint(Link,UPS\t连接断开)", "Image(Link,20)", "Tray"}), false,
         false},
        {"link unknown", link, 1, 2,
         Entries({"Line4=> UPS\t连接断开", "Hint(Link,UPS\t连接断开)", "Image(Link,20)", "Tray"}), false,
         false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.why);
        Model m;
        m.settings.Set("iACTimer", 10);
        m.settings.Set("iBatTimer", 30);
        if (row.previous >= 0) m.Prepare(row.setter, uint8_t(row.previous));
        (m.status.*row.setter)(row.state, false);
        EXPECT_EQ(m.log.entries, row.expected);
        const QTimer &blink = row.setter == mains     ? m.status.tmAC
                              : row.setter == battery ? m.status.tmBat
                                                      : m.status.tmCon;
        EXPECT_EQ(blink.isActive(), row.blinking);
        EXPECT_EQ(m.status.tmbok.isActive(), row.recoveryLine);
        const uint8_t stored = row.setter == mains     ? m.status.MainsState()
                               : row.setter == battery ? m.status.BatteryState()
                                                       : m.status.LinkState();
        EXPECT_EQ(stored, row.state);
    }
}

TEST(PowerStatus, RepeatWithoutForceDoesNothingAndForceRepeatsEverything)
{
    for (Setter setter :
         {&PowerStatus::SetMainsState, &PowerStatus::SetBatteryState, &PowerStatus::SetLinkState}) {
        for (uint8_t state : {uint8_t(0), uint8_t(1), uint8_t(2)}) {
            SCOPED_TRACE(testing::Message() << "state " << int(state));
            Model m;
            m.Prepare(setter, state);
            (m.status.*setter)(state, false);
            EXPECT_TRUE(m.log.entries.isEmpty()) << m.log.entries.join(" | ").toStdString();
            (m.status.*setter)(state, true);
            EXPECT_EQ(m.log.entries.value(m.log.entries.size() - 1), QStringLiteral("Tray"));
        }
    }
}

TEST(PowerStatus, ForcedUnknownAtLinkSelectionClearsEverythingEvenWhenAlreadyUnknown)
{
    Model m;
    m.status.SetStartStates();
    m.status.SetLinkState(UpsState::Unknown, true);
    m.status.SetMainsState(UpsState::Unknown, true);
    m.status.SetBatteryState(UpsState::Unknown, true);
    EXPECT_EQ(m.log.entries,
              Entries({"Line4=> UPS\t连接断开", "Hint(Link,UPS\t连接断开)", "Image(Link,20)", "Tray",
                       "Line5=", "Hint(Mains,市电输入)", "Image(Mains,16)", "Cancel", "Tray",
                       "Hint(Battery,电池电压)", "Image(Battery,12)", "Cancel", "Tray"}));

    // and a running countdown is cancelled by it
    Model failed;
    failed.status.SetMainsState(UpsState::Off, false);
    ASSERT_TRUE(failed.alerts.running);
    failed.status.SetMainsState(UpsState::Unknown, true);
    EXPECT_FALSE(failed.alerts.running);
    EXPECT_FALSE(failed.status.tmAC.isActive());
}

TEST(PowerStatus, StateLinesCutAtTwentyNineBytesWithoutSplittingACharacter)
{
    struct Row
    {
        const char *why;
        QString text;
        QString shown; // after "> "
    };
    const QString twenty = QString::fromUtf8("一二三四五六七八九十一二三四五六七八九十");
    const Row rows[] = {
        {"short text whole", QStringLiteral("off"), QStringLiteral("off")},
        {"29 single bytes exactly", QString(40, QLatin1Char('x')), QString(29, QLatin1Char('x'))},
        {"byte 29 ends a character", QStringLiteral("A") + twenty, QStringLiteral("A") + twenty.left(14)},
        {"byte 29 is the first half of a character: dropped", twenty, twenty.left(14)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.why);
        Model m;
        m.settings.Set("sACOff", row.text);
        m.status.SetMainsState(UpsState::Off, false);
        EXPECT_EQ(m.view.lines.value(DisplayLine::Event), QStringLiteral("> ") + row.shown);
        EXPECT_LE(gb::byteLength(m.view.lines.value(DisplayLine::Event)), 31);
        // shown whole everywhere else
        EXPECT_EQ(m.view.hints.value(StateImage::Mains), row.text);
        EXPECT_EQ(m.events.lines, QStringList{row.text});
        EXPECT_TRUE(m.alerts.alerts.value(0).startsWith(QStringLiteral("ShowAlert(") + row.text + ","));
    }
}

TEST(PowerStatus, RecoveryLineIsReplacedTenSecondsLaterUnlessTheMainsFailedAgain)
{
    Model m;
    m.status.SetMainsState(UpsState::Off, false);
    m.status.SetMainsState(UpsState::Normal, false);
    ASSERT_TRUE(m.status.tmbok.isActive());
    EXPECT_EQ(m.status.tmbok.interval(), 10000);
    // a battery event meanwhile writes the line, and the tick overwrites it
    m.status.SetBatteryState(UpsState::Off, false);
    EXPECT_EQ(m.view.lines.value(DisplayLine::Event), QString::fromUtf8("> 电池电压低"));
    m.status.tmbokTimer();
    EXPECT_EQ(m.view.lines.value(DisplayLine::Event), QString::fromUtf8("> 市电正常"));
    EXPECT_FALSE(m.status.tmbok.isActive()) << "one tick per start";

    // the mains fails again before the tick: the failure's line stays
    m.status.SetMainsState(UpsState::Off, false);
    m.status.SetMainsState(UpsState::Normal, false);
    m.status.SetMainsState(UpsState::Off, false);
    m.log.entries.clear();
    m.status.tmbokTimer();
    EXPECT_TRUE(m.log.entries.isEmpty());
    EXPECT_EQ(m.view.lines.value(DisplayLine::Event), QString::fromUtf8("> 市电断电"));
}

TEST(PowerStatus, CountdownIsCancelledByEitherRecoveryAndNotArmedForTheStateStillBad)
{
    Model m;
    m.status.SetMainsState(UpsState::Off, false);
    m.status.SetBatteryState(UpsState::Off, false);
    ASSERT_EQ(m.alerts.armedSeconds, 30);
    m.log.entries.clear();
    m.status.SetBatteryState(UpsState::Normal, false);
    EXPECT_FALSE(m.alerts.running) << "battery recovery cancels while the mains is still failed";
    EXPECT_EQ(m.log.entries.filter(QStringLiteral("ShowAlert")),
              Entries({"ShowAlert(电池电压恢复,4,false,-1)"}));

    Model n;
    n.status.SetBatteryState(UpsState::Off, false);
    n.status.SetMainsState(UpsState::Off, false);
    n.status.SetMainsState(UpsState::Normal, false);
    EXPECT_FALSE(n.alerts.running) << "mains recovery cancels while the battery is still low";
    EXPECT_EQ(n.status.BatteryState(), UpsState::Off);
}

TEST(PowerStatus, BlinkAndAnimationPhasesGoOnAfterARestart)
{
    struct Row
    {
        const char *why;
        Setter setter;
        void (PowerStatus::*tick)();
        StateImage image;
        int firstFrame;
        int frames;
        uint8_t animatedState;
        uint8_t stillState;
    };
    const Row rows[] = {
        {"mains", &PowerStatus::SetMainsState, &PowerStatus::tmACTimer, StateImage::Mains, 18, 2, 0, 1},
        {"battery", &PowerStatus::SetBatteryState, &PowerStatus::tmBatTimer, StateImage::Battery, 14, 2, 0,
         1},
        {"link", &PowerStatus::SetLinkState, &PowerStatus::tmConTimer, StateImage::Link, 24, 8, 1, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.why);
        Model m;
        (m.status.*row.setter)(row.animatedState, false);
        QList<int> shown;
        for (int i = 0; i < 3; ++i) {
            (m.status.*row.tick)();
            shown << m.view.images.value(row.image);
        }
        // stop, start again: the next frame follows the last one shown
        (m.status.*row.setter)(row.stillState, false);
        (m.status.*row.setter)(row.animatedState, false);
        (m.status.*row.tick)();
        shown << m.view.images.value(row.image);
        QList<int> expected;
        for (int i = 1; i <= 4; ++i)
            expected << row.firstFrame + i % row.frames;
        EXPECT_EQ(shown, expected);
    }
}

TEST(PowerStatus, TimersHaveTheirPeriodsAndEnablingARunningOneDoesNotRestartIt)
{
    Model m;
    EXPECT_EQ(m.status.tmAC.interval(), 500);
    EXPECT_EQ(m.status.tmBat.interval(), 500);
    EXPECT_EQ(m.status.tmCon.interval(), 250);
    EXPECT_FALSE(m.status.tmAC.isActive() || m.status.tmBat.isActive() || m.status.tmCon.isActive() ||
                 m.status.tmbok.isActive());

    // a forced Connected while connected keeps the animation's rhythm
    // (no events are processed while sleeping, so the timer cannot tick)
    m.status.SetLinkState(UpsState::Normal, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    m.status.SetLinkState(UpsState::Normal, true);
    ASSERT_TRUE(m.status.tmCon.isActive());
    EXPECT_LT(m.status.tmCon.remainingTime(), 200) << "restarted (coarse timers may be off by 5%)";
}
