// The shutdown countdown: arming, the tick with its texts and external program, and the shutdown steps.
#include "alerts/countdown.h"

#include "alerts/shutdownhost.h"
#include "alerts/tftips.h"
#include "lang/gb2312.h"
#include "lang/messages.h"
#include "platform/clock.h"
#include "platform/process_runner.h"
#include "platform/shell_open.h"
#include "platform/system_power.h"
#include "store/eventlog.h"
#include "store/settingsrow.h"

#include <QFileInfo>
#include <QtDebug>

#include <exception>

namespace {

constexpr qint64 kMsPerSecond = 1000;
constexpr qint64 kMsPerMinute = 60 * kMsPerSecond;
constexpr qint64 kMsPerHour = 60 * kMsPerMinute;
constexpr qint64 kMsPerDay = 24 * kMsPerHour;
constexpr int kMaxTextBytes = 10;
constexpr int kDroppedBytes = 3;

QString TwoWide(qint64 n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char(' '));
}

} // namespace

QString CountdownText(qint64 remainingMs, const QString &dayName)
{
    // The last tick lands a little after the end moment; it shows zero rather
    // than a time of day counted backwards.
    const qint64 ms = std::max<qint64>(remainingMs, 0);
    const qint64 timeOfDay = ms % kMsPerDay;
    QString text = TwoWide(timeOfDay / kMsPerHour) + QLatin1Char(':') +
                   TwoWide(timeOfDay % kMsPerHour / kMsPerMinute) + QLatin1Char(':') +
                   TwoWide(timeOfDay % kMsPerMinute / kMsPerSecond);
    // From exactly one day on, not only above it: otherwise 24 hours left
    // would read " 0: 0: 0".
    if (ms >= kMsPerDay)
        text = QString::number(ms / kMsPerDay) + QLatin1Char(' ') + dayName + QLatin1Char(' ') + text;
    if (gb::byteLength(text) > kMaxTextBytes) text = gb::dropLastBytes(text, kDroppedBytes);
    return text;
}

ShutdownCountdown::ShutdownCountdown(const CountdownDeps &deps, TfTips &tips)
    : QObject(&tips), deps_(deps), tips_(tips)
{
    setObjectName(QStringLiteral("countdown"));
    tmClose.setObjectName(QStringLiteral("tmClose"));
    tmClose.setInterval(1000);
    connect(&tmClose, &QTimer::timeout, this, &ShutdownCountdown::OnCloseTimer);
}

void ShutdownCountdown::ArmShutdownCountdown(int seconds)
{
    if (!deps_.settings.GetBool("bShutWinOS")) return;
    batteryCountdown_ = seconds == deps_.settings.GetInt("iBatTimer");
    const qint64 duration = qint64(seconds) * kMsPerSecond;
    const QDateTime end = deps_.clock.Now().addMSecs(duration);
    if (tmClose.isActive()) {
        if (duration < remainingMs_) remainingMs_ = duration;
        if (end < shutdownTime_) shutdownTime_ = end;
    } else {
        remainingMs_ = duration;
        shutdownTime_ = end;
        tmClose.start();
    }
    tips_.SetReshowAlert(true);
}

void ShutdownCountdown::CancelClose()
{
    tmClose.stop();
    tips_.StopTimersAndHide();
}

void ShutdownCountdown::OnCloseTimer()
{
    // There is no framework error box here; the steps after the failure
    // stay undone, as they would behind such a box.
    try {
        tmCloseTimer();
    } catch (const std::exception &e) {
        qWarning("Shutdown stopped: %s", e.what());
    }
}

void ShutdownCountdown::tmCloseTimer()
{
    const QDateTime now = deps_.clock.Now();
    remainingMs_ = now.msecsTo(shutdownTime_);
    const QString text = CountdownText(remainingMs_, Msg().msgDayName);
    deps_.host.SetClockText(text);
    tips_.SetCountdownText(FormatPattern(Msg().msgTimeElapse, {text}));
    tips_.SetCountdownLookIfPlain();

    if (!externalAppStarted_ && qint64(deps_.settings.GetInt("iAppTimer")) * kMsPerMinute >= remainingMs_) {
        // With shutdown switched off meanwhile the countdown holds here until
        // it is switched on again or cancelled.
        if (!deps_.settings.GetBool("bShutWinOS")) return;
        // Marked before the open, so a tick nested inside it cannot open the
        // program twice; marked also when nothing is started: one attempt
        // per alert.
        externalAppStarted_ = true;
        const QString program = deps_.settings.GetText("sExecuteApp");
        if (deps_.settings.GetBool("bExecuteApp") && QFileInfo(program).isFile()) {
            deps_.shell.Open(program);
            // A cancel or a nested tick that ended the countdown while the
            // desktop was opening it leaves nothing more for this tick.
            if (!tmClose.isActive()) return;
        }
    }

    if (now < shutdownTime_) return;
    tmClose.stop();
    tips_.hide();
    deps_.host.HideMainWindow();
    if (!deps_.settings.GetBool("bShutWinOS")) return;
    ShutDownSystem();
}

void ShutdownCountdown::ShutDownSystem()
{
    if (deps_.settings.GetBool("bAutoSave"))
        deps_.runner.RunAndWait(deps_.programFolder + QStringLiteral("SHUTSAVE.EXE"), show_state::kHide,
                                deps_.autoSaveWait);
    deps_.host.PowerOffUps(QStringLiteral("ALL"));
    deps_.log.LogEvent(Msg().msgSysShutDown);
    deps_.power.RequestPowerOff();
    deps_.host.PowerOffUps(QStringLiteral("USB"));
    deps_.host.StopClockAndRemoveTray();
    tips_.close();
    deps_.host.HideMainWindow();
}
