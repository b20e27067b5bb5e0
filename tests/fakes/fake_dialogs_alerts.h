// Alerts as the settings dialog sees them: a countdown that runs or not, re-timed and cancelled into a call
// log.
#pragma once

#include "alerts/alerts.h"
#include "call_log.h"

// Entries: "SetShutdownTime <yyyy-MM-dd HH:mm:ss>", "CancelClose".
class FakeDialogsAlerts final : public Alerts
{
public:
    explicit FakeDialogsAlerts(CallLog &log) : log_(log) {}

    void ShowAlert(const QString &, int, bool, int) override {}
    void ArmShutdownCountdown(int) override { running = true; }
    void CancelShutdownCountdown() override { running = false; }
    void CancelClose() override
    {
        running = false;
        log_.Add(QStringLiteral("CancelClose"));
    }
    bool CountdownRunning() const override { return running; }
    bool BatteryCountdown() const override { return battery; }
    void SetShutdownTime(const QDateTime &end) override
    {
        shutdownTime = end;
        log_.Add(QStringLiteral("SetShutdownTime ") + end.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }

    bool running = false;
    bool battery = false;
    QDateTime shutdownTime;

private:
    CallLog &log_;
};
