// Alerts that record ShowAlert and CancelShutdownCountdown calls into a call log.
#pragma once

#include "alerts/alerts.h"
#include "call_log.h"

#include <QStringList>

// Entries: "ShowAlert(<text>,<mailEvent>,<true|false>,<seconds>)", "Cancel".
// A ShowAlert with a countdown arms it; Cancel stops it.
class FakeAlerts : public Alerts
{
public:
    explicit FakeAlerts(CallLog *log = nullptr) : log_(log) {}

    void ShowAlert(const QString &text, int mailEvent, bool repeat, int countdownSeconds) override
    {
        const QString entry = QStringLiteral("ShowAlert(%1,%2,%3,%4)")
                                  .arg(text)
                                  .arg(mailEvent)
                                  .arg(repeat ? QStringLiteral("true") : QStringLiteral("false"))
                                  .arg(countdownSeconds);
        alerts << entry;
        add(entry);
        if (countdownSeconds != -1) ArmShutdownCountdown(countdownSeconds);
    }
    void ArmShutdownCountdown(int seconds) override
    {
        running = true;
        armedSeconds = seconds;
    }
    void CancelShutdownCountdown() override
    {
        running = false;
        ++cancels;
        add(QStringLiteral("Cancel"));
    }
    void CancelClose() override { CancelShutdownCountdown(); }
    bool CountdownRunning() const override { return running; }
    bool BatteryCountdown() const override { return false; }
    void SetShutdownTime(const QDateTime &) override {}

    QStringList alerts;
    bool running = false;
    int armedSeconds = -1;
    int cancels = 0;

private:
    void add(const QString &entry)
    {
        if (log_) log_->Add(entry);
    }
    CallLog *log_;
};
