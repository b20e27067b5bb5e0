// Tests of the shutdown countdown: its text, arming, the external program and the shutdown at its end.
#include "tips_fixture.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int kNoMail = -1;
constexpr int kNoCountdown = -1;
constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

} // namespace

TEST(CountdownTextTest, FormatsHoursMinutesSecondsAndCutsDaysToTenBytes)
{
    struct Case
    {
        qint64 ms;
        const char *dayName;
        const char *text;
        const char *why;
    };
    const Case cases[] = {
        {5 * kMinute + 9 * kSecond, "天", " 0: 5: 9", "space padding, not zeros"},
        {23 * kHour + 59 * kMinute + 59 * kSecond, "天", "23:59:59", "the longest text without days"},
        {1999, "天", " 0: 0: 1", "milliseconds are dropped, not rounded"},
        {0, "天", " 0: 0: 0", "the end moment"},
        {-1500, "天", " 0: 0: 0", "a tick after the end shows zero"},
        {kDay + 59 * kMinute + 59 * kSecond, "天", "1 天  0:59", "13 bytes lose the seconds"},
        {kDay + 2 * kHour + 3 * kMinute + 4 * kSecond, "天", "1 天  2: 3", "last colon, space, 4 dropped"},
        {kDay, "天", "1 天  0: 0", "exactly one day is a day, not zero"},
        {10 * kDay, "天", "10 天  0: 0", "cut once only, even when still over 10 bytes"},
        {kDay + kHour, "Day", "1 Day  1: 0", "a translated day name counts its own bytes"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CountdownText(c.ms, QString::fromUtf8(c.dayName)), QString::fromUtf8(c.text));
    }
}

TEST_F(AlertsTest, ArmingCanOnlyBringTheEndForward)
{
    struct Case
    {
        int first;
        qint64 gapMs;
        int second;
        qint64 endMs; // from the first arming
        bool battery;
    };
    // iBatTimer is 30: mains 10 min then battery, and battery then mains.
    for (const Case c : {Case{600, 2 * kMinute, 30, 2 * kMinute + 30 * kSecond, true},
                         Case{30, 5 * kSecond, 600, 30 * kSecond, false}}) {
        SCOPED_TRACE(c.first);
        Make();
        const QDateTime start = clock.Now();
        alerts->ArmShutdownCountdown(c.first);
        TickAfter(c.gapMs);
        alerts->ArmShutdownCountdown(c.second);
        EXPECT_EQ(Countdown().ShutdownTime(), start.addMSecs(c.endMs));
        EXPECT_EQ(alerts->BatteryCountdown(), c.battery);
    }
}

TEST_F(AlertsTest, AMainsDelayEqualToTheBatteryDelayCountsAsBattery)
{
    settings.Set("iACTimer", 1);
    settings.Set("iBatTimer", 60);
    Make();
    alerts->ShowAlert(QStringLiteral("市电断电"), 1, true, 1 * 60);
    EXPECT_TRUE(alerts->BatteryCountdown());
}

TEST_F(AlertsTest, WithShutdownOffArmingDoesNothing)
{
    settings.Set("bShutWinOS", false);
    Make();
    alerts->ArmShutdownCountdown(30);
    ASSERT_NE(alerts->Tips(), nullptr);
    EXPECT_FALSE(alerts->CountdownRunning());
    EXPECT_FALSE(Tips().ReshowAlert());
    EXPECT_FALSE(Tips().isVisible());
}

TEST_F(AlertsTest, TicksCountFromTheEndMomentAndShowDaysWithoutSeconds)
{
    Make();
    alerts->ShowAlert(QStringLiteral("市电断电"), kNoMail, true, 1500 * 60);
    TickAfter(kSecond);
    EXPECT_EQ(host.clockText, "1 天  0:59");
    EXPECT_EQ(Tips().LED->text(), "关机倒计时\t1 天  0:59");

    // A tick held back (by a long mail exchange) catches up instead of
    // lengthening the countdown.
    TickAfter(kHour + 1 * kSecond - kSecond);
    EXPECT_EQ(host.clockText, "23:59:59");
    TickAfter(23 * kHour + 59 * kMinute + 58 * kSecond);
    EXPECT_EQ(host.clockText, " 0: 0: 1");
    EXPECT_TRUE(alerts->CountdownRunning());
    TickAfter(kSecond);
    EXPECT_FALSE(alerts->CountdownRunning());
}

TEST_F(AlertsTest, SettingTheEndRetimesARunningCountdown)
{
    Make();
    alerts->SetShutdownTime(clock.Now()); // before creation: nothing to move
    alerts->ArmShutdownCountdown(600);
    alerts->SetShutdownTime(clock.Now().addSecs(30));
    TickAfter(kSecond);
    EXPECT_EQ(host.clockText, " 0: 0:29");
}

class ExternalProgramTest : public AlertsTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        program = dir.filePath(QStringLiteral("save all.sh"));
        QFile f(program);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        settings.Set("bExecuteApp", true);
        settings.Set("sExecuteApp", program);
        settings.Set("iAppTimer", 5);
    }
    int Opens() const { return int(shell.Paths().size()); }

    QTemporaryDir dir;
    QString program;
};

TEST_F(ExternalProgramTest, OpensOnceAtTheProgramPointAndAgainAfterANewAlert)
{
    Make();
    alerts->ShowAlert(QStringLiteral("市电断电"), kNoMail, true, 600);
    TickAfter(5 * kMinute - kSecond); // 5:01 left
    EXPECT_EQ(Opens(), 0);
    TickAfter(kSecond); // 5:00 left
    EXPECT_EQ(shell.Paths(), QStringList{program});
    TickAfter(kSecond);
    EXPECT_EQ(Opens(), 1);

    alerts->ShowAlert(QStringLiteral("电池电压恢复"), kNoMail, false, kNoCountdown);
    TickAfter(kSecond);
    EXPECT_EQ(Opens(), 2);
    TickAfter(kSecond);
    EXPECT_EQ(Opens(), 2);
}

TEST_F(ExternalProgramTest, WithWarningsOffANewAlertDoesNotOpenItAgain)
{
    settings.Set("bWarning", false);
    Make();
    alerts->ShowAlert(QStringLiteral("市电断电"), kNoMail, true, 600);
    TickAfter(5 * kMinute);
    alerts->ShowAlert(QStringLiteral("电池电压低"), kNoMail, true, 120);
    TickAfter(kSecond);
    EXPECT_EQ(Opens(), 1);
}

TEST_F(ExternalProgramTest, AMissingOrDisabledProgramCountsAsHandled)
{
    for (const bool missing : {true, false}) {
        SCOPED_TRACE(missing ? "missing file" : "switched off");
        settings.Set("sExecuteApp", missing ? program + QStringLiteral(".gone") : program);
        settings.Set("bExecuteApp", missing); // a missing file is tried, a present one is off
        Make();
        alerts->ArmShutdownCountdown(60);
        TickAfter(kSecond);
        EXPECT_TRUE(Countdown().ExternalAppStarted());
        settings.Set("sExecuteApp", program);
        settings.Set("bExecuteApp", true);
        TickAfter(kSecond);
        EXPECT_EQ(Opens(), 0) << "no second attempt for this alert";
    }
}

TEST_F(ExternalProgramTest, ZeroSecondsOpensTheProgramThenShutsDownAtTheFirstTick)
{
    Make();
    alerts->ShowAlert(QStringLiteral("电池电压低"), kNoMail, true, 0);
    EXPECT_TRUE(alerts->CountdownRunning());
    TickAfter(kSecond);
    EXPECT_FALSE(alerts->CountdownRunning());
    const int opened = calls.IndexOf(QStringLiteral("Open ") + program);
    ASSERT_GE(opened, 0);
    EXPECT_LT(opened, calls.IndexOf(QStringLiteral("PowerOffUps(ALL)")));
    EXPECT_EQ(power.Calls(), 1);
}

TEST_F(ExternalProgramTest, ShutdownSwitchedOffMidCountHoldsOrEndsWithoutShutdown)
{
    // Not yet handled: every tick from the program point on stops before the
    // end check, so the countdown outlives its end moment.
    Make();
    alerts->ArmShutdownCountdown(600);
    TickAfter(kSecond);
    settings.Set("bShutWinOS", false);
    TickAfter(10 * kMinute);
    TickAfter(kMinute);
    EXPECT_TRUE(alerts->CountdownRunning());
    EXPECT_EQ(host.clockText, " 0: 0: 0");
    EXPECT_EQ(Opens(), 0);
    settings.Set("bShutWinOS", true);
    TickAfter(kSecond);
    EXPECT_FALSE(alerts->CountdownRunning());
    EXPECT_EQ(Opens(), 1);
    EXPECT_EQ(power.Calls(), 1);

    // Already handled: the end comes, both windows hide, nothing shuts down.
    calls.entries.clear();
    Make();
    alerts->ShowAlert(QStringLiteral("市电断电"), kNoMail, true, 600);
    TickAfter(5 * kMinute);
    ASSERT_TRUE(Countdown().ExternalAppStarted());
    settings.Set("bShutWinOS", false);
    calls.entries.clear();
    TickAfter(5 * kMinute);
    EXPECT_FALSE(alerts->CountdownRunning());
    EXPECT_FALSE(Tips().isVisible());
    EXPECT_EQ(calls.entries, (QStringList{"SetClockText( 0: 0: 0)", "HideMainWindow"}));
}

// A desktop that runs the event loop while it opens the program, so the
// countdown's own tick or a cancel can come in the middle of the tick.
class ReenteringShellOpen final : public ShellOpen
{
public:
    bool Open(const QString &) override
    {
        ++opens;
        if (whileOpening) whileOpening();
        return true;
    }
    int opens = 0;
    std::function<void()> whileOpening;
};

// The desktop lives in the fixture: the fixture keeps a pointer to it.
struct ReenteringOpenTest : ExternalProgramTest
{
    ~ReenteringOpenTest() override { alerts.reset(); }
    ReenteringShellOpen desktop;
};

TEST_F(ReenteringOpenTest, ATickOrCancelInsideTheOpenIsNotUndoneByTheOuterTick)
{
    shellOverride = &desktop;
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancel while opening" : "nested tick while opening");
        const int powerOffsBefore = power.Calls();
        Make();
        desktop.whileOpening = [&] {
            if (cancel)
                alerts->CancelShutdownCountdown();
            else
                Countdown().OnCloseTimer();
        };
        alerts->ArmShutdownCountdown(0);
        TickAfter(kSecond);
        EXPECT_EQ(desktop.opens, cancel ? 2 : 1);
        EXPECT_EQ(power.Calls() - powerOffsBefore, cancel ? 0 : 1);
        EXPECT_FALSE(alerts->CountdownRunning());
    }
}
