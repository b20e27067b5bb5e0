// Tests of the end of the countdown: the shutdown steps in order, a hung auto-save, a failed UPS power-off,
// cancel.
#include "tips_fixture.h"

#include "lang/inifile.h"
#include "lang/messages.h"
#include "platform/linux/spawn_process_runner.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int kNoMail = -1;
constexpr int kNoCountdown = -1;
constexpr qint64 kSecond = 1000;

QStringList g_warnings;

void RecordWarning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg) g_warnings << message;
}

} // namespace

TEST_F(AlertsTest, TheEndRunsEveryShutdownStepInOrder)
{
    settings.Set("bAutoSave", true);
    Make();
    alerts->ShowAlert(QStringLiteral("电池电压低"), kNoMail, true, 30);
    TickAfter(29 * kSecond);
    bool windowsHiddenDuringAutoSave = false;
    runner.whileRunning = [&](const FakeProcessRunner::Run &) {
        windowsHiddenDuringAutoSave = !Tips().isVisible() && calls.IndexOf("HideMainWindow") >= 0;
    };
    calls.entries.clear();
    TickAfter(kSecond);

    EXPECT_EQ(calls.entries, (QStringList{
                                 "SetClockText( 0: 0: 0)",
                                 "HideMainWindow",
                                 "RunAndWait /opt/kestrava/SHUTSAVE.EXE",
                                 "PowerOffUps(ALL)",
                                 "LogEvent(系统强制关闭)",
                                 "PowerOff",
                                 "PowerOffUps(USB)",
                                 "StopClockAndRemoveTray",
                                 "HideMainWindow",
                             }));
    ASSERT_EQ(runner.Runs().size(), 1);
    EXPECT_EQ(runner.Runs()[0].showState, show_state::kHide);
    EXPECT_EQ(runner.Runs()[0].timeout, kAutoSaveWait);
    EXPECT_TRUE(windowsHiddenDuringAutoSave);
    EXPECT_FALSE(alerts->CountdownRunning());
    EXPECT_FALSE(Tips().isVisible());
}

TEST_F(AlertsTest, AnAutoSaveThatNeverEndsIsGivenUpAndTheShutdownGoesOn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    programFolder = dir.path() + QLatin1Char('/');
    const QString started = programFolder + QStringLiteral("started");
    QFile script(programFolder + QStringLiteral("SHUTSAVE.EXE"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho > '%1'\nexec sleep 60\n").arg(started).toUtf8());
    script.close();
    ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    settings.Set("bAutoSave", true);
    SpawnProcessRunner realRunner;
    Make(&realRunner, std::chrono::milliseconds(300));

    alerts->ArmShutdownCountdown(0);
    TickAfter(kSecond);

    EXPECT_TRUE(QFile::exists(started)) << "the auto-save program ran";
    EXPECT_EQ(log.lines, QStringList{Msg().msgSysShutDown}) << "giving up adds no line of its own";
    EXPECT_EQ(power.Calls(), 1);
    EXPECT_GE(calls.IndexOf("PowerOffUps(USB)"), 0);
}

TEST_F(AlertsTest, AFailedUpsPowerOffStopsTheRemainingSteps)
{
    host.onPowerOffUps = [](const QString &) { throw IniWriteError(QStringLiteral("/ro/Kestrava.INI")); };
    const QStringList stepsBefore{"SetClockText( 0: 0: 0)", "HideMainWindow", "PowerOffUps(ALL)"};

    // Through the timer's slot: reported as a warning, nothing escapes.
    Make();
    alerts->ArmShutdownCountdown(0);
    calls.entries.clear();
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(RecordWarning);
    clock.Advance(kSecond);
    EXPECT_NO_THROW(Countdown().OnCloseTimer());
    qInstallMessageHandler(previous);
    EXPECT_EQ(calls.entries, stepsBefore);
    ASSERT_EQ(g_warnings.size(), 1);
    EXPECT_TRUE(g_warnings[0].contains("Unable to write to /ro/Kestrava.INI")) << g_warnings[0].toStdString();
    EXPECT_EQ(power.Calls(), 0);
    EXPECT_FALSE(alerts->CountdownRunning());

    // The tick itself lets the error out to whoever called it.
    Make();
    alerts->ArmShutdownCountdown(0);
    clock.Advance(kSecond);
    EXPECT_THROW(Countdown().tmCloseTimer(), IniWriteError);
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(AlertsTest, ACancelledCountdownCanBeArmedAgain)
{
    Make();
    alerts->CancelClose();
    EXPECT_EQ(alerts->Tips(), nullptr) << "the settings dialog's cancel creates nothing";

    alerts->ShowAlert(QStringLiteral("市电断电"), kNoMail, true, 60);
    TickAfter(kSecond);
    alerts->CancelShutdownCountdown();
    EXPECT_FALSE(alerts->CountdownRunning());
    EXPECT_FALSE(Tips().isVisible());

    // Off, so a longer delay than the cancelled one starts afresh.
    alerts->ArmShutdownCountdown(120);
    EXPECT_TRUE(alerts->CountdownRunning());
    EXPECT_EQ(Countdown().ShutdownTime(), clock.Now().addSecs(120));
    TickAfter(120 * kSecond);
    EXPECT_EQ(power.Calls(), 1);
}

TEST_F(AlertsTest, CancelWithoutACountdownStillHidesAndStopsThePendingReturn)
{
    Make();
    alerts->ShowAlert(QStringLiteral("市电恢复"), kNoMail, true, kNoCountdown);
    Tips().btCloseClick();
    ASSERT_TRUE(Tips().tmShow.isActive());
    alerts->CancelShutdownCountdown();
    EXPECT_FALSE(Tips().isVisible());
    EXPECT_FALSE(Tips().tmShow.isActive());
}
