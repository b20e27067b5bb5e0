// Shared set-up of the warning window tests: the alerts object over fakes that write one call log.
#pragma once

#include "alerts/countdown.h"
#include "alerts/tftips.h"
#include "alerts/warningalerts.h"
#include "fakes/call_log.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_event_log.h"
#include "fakes/fake_process_runner.h"
#include "fakes/fake_settings_row.h"
#include "fakes/fake_shell_open.h"
#include "fakes/fake_shutdown_host.h"
#include "fakes/fake_system_power.h"
#include "lang/widgets.h"

#include <QCoreApplication>
#include <QImage>
#include <gtest/gtest.h>

#include <memory>

class AlertsTest : public ::testing::Test
{
protected:
    AlertsTest()
    {
        plainFace.fill(Qt::blue);
        countdownFace.fill(Qt::darkYellow);
    }
    ~AlertsTest() override { alerts.reset(); }

    // Builds the object under test; runner and autoSaveWait replace the
    // fake runner and the real bound when given.
    void Make(ProcessRunner *realRunner = nullptr, std::chrono::milliseconds autoSaveWait = kAutoSaveWait)
    {
        ShellOpen &desktop = shellOverride ? *shellOverride : shell;
        ProcessRunner &processes = realRunner ? *realRunner : runner;
        const CountdownDeps deps{settings, log,  clock,         desktop,     processes,
                                 power,    host, programFolder, autoSaveWait};
        alerts = std::make_unique<WarningAlerts>(
            deps, plainFace, countdownFace, nullptr, [this](const QString &text, int type) {
                calls.Add(QStringLiteral("Mail(%1,%2)").arg(text).arg(type));
                onMail();
            });
    }

    TfTips &Tips() { return *alerts->Tips(); }
    ShutdownCountdown &Countdown() { return *alerts->Countdown(); }

    // One countdown tick, `ms` after the previous moment of the clock.
    void TickAfter(qint64 ms)
    {
        clock.Advance(ms);
        Countdown().OnCloseTimer();
    }

    bool CountdownLook() { return !Tips().btCancel->isHidden(); }

    CallLog calls;
    FakeSettingsRow settings;
    FakeEventLog log{&calls};
    FakeClock clock;
    FakeShellOpen shell{&calls};
    FakeProcessRunner runner{&calls};
    FakeSystemPower power{&calls};
    FakeShutdownHost host{&calls};
    ShellOpen *shellOverride = nullptr; // replaces `shell` when set before Make()
    QString programFolder = QStringLiteral("/opt/kestrava/");
    QImage plainFace{TfTips::kClientWidth, TfTips::kClientHeight, QImage::Format_RGB32};
    QImage countdownFace{TfTips::kClientWidth, TfTips::kClientHeight, QImage::Format_RGB32};
    // Runs inside the mail seam, while ShowAlert waits for the mail.
    std::function<void()> onMail = [] {};
    std::unique_ptr<WarningAlerts> alerts;
};
