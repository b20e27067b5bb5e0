// The shutdown countdown: its one-second tick, the remaining-time text and the system shutdown at its end.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class Clock;
class EventLog;
class ProcessRunner;
class SettingsRow;
class ShellOpen;
class ShutdownHost;
class SystemPower;
class TfTips;

// The remaining time as the clock label shows it: "%2d:%2d:%2d" (spaces, not
// zeros), with "<days> <dayName> " in front from one whole day on, and the
// last 3 GB2312 bytes dropped once the text is longer than 10 bytes (with the
// built-in day name: days and no seconds). A time already past shows as zero.
QString CountdownText(qint64 remainingMs, const QString &dayName);

// How long the auto-save program may run before the shutdown goes on without
// it: a hung program must not keep the machine running on a draining battery.
inline constexpr std::chrono::milliseconds kAutoSaveWait = std::chrono::minutes(10);

struct CountdownDeps
{
    const SettingsRow &settings;
    EventLog &log;
    Clock &clock;
    ShellOpen &shell;
    ProcessRunner &runner;
    SystemPower &power;
    ShutdownHost &host;
    // The program's folder, ending in '/'.
    QString programFolder;
    std::chrono::milliseconds autoSaveWait = kAutoSaveWait;
};

// Lives as a child of the warning window it drives. Every tick computes from
// the absolute end moment, so a tick held back by a long mail exchange does
// not lengthen the countdown.
class ShutdownCountdown : public QObject
{
    Q_OBJECT
public:
    ShutdownCountdown(const CountdownDeps &deps, TfTips &tips);

    // Starts the countdown, or brings a running one forward; never pushes it
    // back. Nothing at all while automatic shutdown is off.
    void ArmShutdownCountdown(int seconds);
    // Stops the countdown, the hide/re-show timers, and hides the window.
    void CancelClose();

    // One tick. An error from the UPS power-off at the end propagates.
    void tmCloseTimer();
    // What the timer runs: a tick whose error is reported as a warning,
    // since no error box stands behind a timer here.
    void OnCloseTimer();

    bool Running() const { return tmClose.isActive(); }
    bool BatteryCountdown() const { return batteryCountdown_; }
    bool ExternalAppStarted() const { return externalAppStarted_; }
    void ClearExternalAppStarted() { externalAppStarted_ = false; }
    const QDateTime &ShutdownTime() const { return shutdownTime_; }
    void SetShutdownTime(const QDateTime &end) { shutdownTime_ = end; }
    qint64 RemainingMs() const { return remainingMs_; }

    QTimer tmClose;

private:
    // The end reached with shutdown on: auto-save, UPS off, log, power off.
    void ShutDownSystem();

    CountdownDeps deps_;
    TfTips &tips_;
    QDateTime shutdownTime_;
    qint64 remainingMs_ = 0;
    bool batteryCountdown_ = false;
    bool externalAppStarted_ = false;
};
