// The program's Alerts: ShowAlert's order of steps and the window created on first need.
#include "alerts/warningalerts.h"

#include "alerts/tftips.h"
#include "store/settingsrow.h"

WarningAlerts::WarningAlerts(const CountdownDeps &deps, QImage plainFace, QImage countdownFace,
                             QWidget *parent, AlertMailSender sendAlertMail)
    : deps_(deps), plainFace_(std::move(plainFace)), countdownFace_(std::move(countdownFace)),
      parent_(parent), sendAlertMail_(std::move(sendAlertMail))
{
}

WarningAlerts::~WarningAlerts()
{
    delete tips_; // its countdown goes with it
}

void WarningAlerts::EnsureCreated()
{
    if (tips_) return;
    tips_ = new TfTips(plainFace_, countdownFace_, parent_);
    countdown_ = new ShutdownCountdown(deps_, *tips_);
    QObject::connect(tips_, &TfTips::cancelClicked, countdown_, &ShutdownCountdown::CancelClose);
}

void WarningAlerts::ShowAlert(const QString &text, int mailEvent, bool repeat, int countdownSeconds)
{
    EnsureCreated();
    if (countdownSeconds >= 0) countdown_->ArmShutdownCountdown(countdownSeconds);
    if (mailEvent >= 0 && sendAlertMail_) sendAlertMail_(text, mailEvent);
    // Warnings off: the countdown and the mail above stand, and ReshowAlert
    // keeps whatever the arming made it.
    if (!deps_.settings.GetBool("bWarning")) return;
    // A new alert lets the external program run again before a shutdown.
    countdown_->ClearExternalAppStarted();
    tips_->ShowAlertWindow(text, deps_.settings.GetInt("iWarnTimer"), repeat, countdownSeconds == 0);
}

void WarningAlerts::ArmShutdownCountdown(int seconds)
{
    EnsureCreated();
    countdown_->ArmShutdownCountdown(seconds);
}

void WarningAlerts::CancelShutdownCountdown()
{
    EnsureCreated();
    countdown_->CancelClose();
}

void WarningAlerts::CancelClose()
{
    if (countdown_) countdown_->CancelClose();
}

bool WarningAlerts::CountdownRunning() const
{
    return countdown_ && countdown_->Running();
}

bool WarningAlerts::BatteryCountdown() const
{
    return countdown_ && countdown_->BatteryCountdown();
}

void WarningAlerts::SetShutdownTime(const QDateTime &end)
{
    if (countdown_) countdown_->SetShutdownTime(end);
}
