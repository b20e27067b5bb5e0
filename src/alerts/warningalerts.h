// The program's Alerts: the warning window and its countdown, created on first need, and the alert mail.
#pragma once

#include "alerts/alerts.h"
#include "alerts/countdown.h"

#include <QImage>
#include <QPointer>

#include <functional>

class QWidget;
class TfTips;

// Sends one alert mail and reports its outcome in the event log itself; an
// empty function sends nothing.
using AlertMailSender = std::function<void(const QString &text, int eventType)>;

class WarningAlerts final : public Alerts
{
public:
    // plainFace and countdownFace are the two backgrounds of the window;
    // parent (may be null) becomes the window's parent.
    WarningAlerts(const CountdownDeps &deps, QImage plainFace, QImage countdownFace, QWidget *parent,
                  AlertMailSender sendAlertMail);
    ~WarningAlerts() override;
    WarningAlerts(const WarningAlerts &) = delete;
    WarningAlerts &operator=(const WarningAlerts &) = delete;

    // In this order: countdown, mail (to its end), then the window, which
    // stays hidden while warnings are off.
    void ShowAlert(const QString &text, int mailEvent, bool repeat, int countdownSeconds) override;
    void ArmShutdownCountdown(int seconds) override;
    void CancelShutdownCountdown() override;
    void CancelClose() override;
    bool CountdownRunning() const override;
    bool BatteryCountdown() const override;
    void SetShutdownTime(const QDateTime &end) override;

    // Null until first needed.
    TfTips *Tips() const { return tips_; }
    ShutdownCountdown *Countdown() const { return countdown_; }

private:
    void EnsureCreated();

    CountdownDeps deps_;
    QImage plainFace_;
    QImage countdownFace_;
    QPointer<QWidget> parent_;
    AlertMailSender sendAlertMail_;
    // Guarded: a parent window may delete the warning window first.
    QPointer<TfTips> tips_;
    QPointer<ShutdownCountdown> countdown_;
};
