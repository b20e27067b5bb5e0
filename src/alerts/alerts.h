// The one entry for raising an alert, and the shutdown countdown it arms.
#pragma once

#include <QDateTime>
#include <QString>

class Alerts
{
public:
    virtual ~Alerts() = default;
    // Arms the countdown when countdownSeconds >= 0, mails the alert when
    // mailEvent >= 0, then shows the warning window (when warnings are on).
    virtual void ShowAlert(const QString &text, int mailEvent, bool repeat, int countdownSeconds) = 0;
    virtual void ArmShutdownCountdown(int seconds) = 0;
    // Stops a running countdown and hides the warning window.
    virtual void CancelShutdownCountdown() = 0;
    // The cancel label's action; the settings dialog calls it when its OK
    // leaves automatic shutdown off.
    virtual void CancelClose() = 0;
    // Whether the countdown runs (the clock label is then the countdown's).
    virtual bool CountdownRunning() const = 0;
    // Whether the countdown was last armed with the battery delay.
    virtual bool BatteryCountdown() const = 0;
    // Moves the end of a running countdown (the settings dialog re-times it).
    virtual void SetShutdownTime(const QDateTime &end) = 0;
};
