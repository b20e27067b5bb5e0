// A ShutdownHost that records each call, in order, into a shared call log.
#pragma once

#include "alerts/shutdownhost.h"
#include "call_log.h"

#include <QStringList>
#include <functional>

class FakeShutdownHost : public ShutdownHost
{
public:
    // Calls are logged as "SetClockText(<text>)", "HideMainWindow",
    // "StopClockAndRemoveTray" and "PowerOffUps(<scope>)".
    explicit FakeShutdownHost(CallLog *log = nullptr) : log_(log) {}

    void SetClockText(const QString &text) override
    {
        clockText = text;
        add(QStringLiteral("SetClockText(%1)").arg(text));
    }
    void HideMainWindow() override { add(QStringLiteral("HideMainWindow")); }
    void StopClockAndRemoveTray() override { add(QStringLiteral("StopClockAndRemoveTray")); }
    void PowerOffUps(const QString &scope) override
    {
        add(QStringLiteral("PowerOffUps(%1)").arg(scope));
        if (onPowerOffUps) onPowerOffUps(scope);
    }

    QString clockText;
    // Runs inside PowerOffUps after it was logged; may throw, as a failed
    // INI write does.
    std::function<void(const QString &scope)> onPowerOffUps;

private:
    void add(const QString &entry)
    {
        if (log_) log_->Add(entry);
    }
    CallLog *log_;
};
