// The three state setters with their display, picture, alert, log and countdown effects.
#include "monitor/powerstatus.h"

#include "alerts/alerts.h"
#include "lang/gb2312.h"
#include "lang/messages.h"
#include "monitor/statusview.h"
#include "store/eventlog.h"
#include "store/settingsrow.h"

namespace {

// Enabling a timer that runs already must not restart its interval.
void enable(QTimer &timer)
{
    if (!timer.isActive()) timer.start();
}

} // namespace

PowerStatus::PowerStatus(StatusView &view, Alerts &alerts, EventLog &log, const SettingsRow &settings,
                         QObject *parent)
    : QObject(parent), m_view(view), m_alerts(alerts), m_log(log), m_settings(settings)
{
    tmAC.setInterval(500);
    tmBat.setInterval(500);
    tmCon.setInterval(250);
    tmbok.setInterval(10000);
    connect(&tmAC, &QTimer::timeout, this, &PowerStatus::tmACTimer);
    connect(&tmBat, &QTimer::timeout, this, &PowerStatus::tmBatTimer);
    connect(&tmCon, &QTimer::timeout, this, &PowerStatus::tmConTimer);
    connect(&tmbok, &QTimer::timeout, this, &PowerStatus::tmbokTimer);
}

void PowerStatus::SetStartStates()
{
    m_battery = UpsState::Unknown;
    m_mains = UpsState::Unknown;
    m_link = UpsState::Unknown;
}

QString PowerStatus::lineText(const QString &text)
{
    // a two-byte character that would straddle the limit is left out whole
    return QStringLiteral("> ") + gb::leftBytes(text, kLineTextBytes);
}

void PowerStatus::SetMainsState(uint8_t state, bool force)
{
    if (!force && state == m_mains) return;
    const uint8_t previous = m_mains;
    if (state == UpsState::Unknown) {
        const QString text = Msg().msgacsate1;
        m_view.SetDisplayLine(DisplayLine::Event, QString());
        tmAC.stop();
        m_view.SetStateHint(StateImage::Mains, text);
        m_view.SetStateImage(StateImage::Mains, kMainsTag);
        m_alerts.CancelShutdownCountdown();
    } else if (state == UpsState::Normal && previous != UpsState::Off) {
        const QString text = Msg().msgacsate2;
        m_view.SetDisplayLine(DisplayLine::Event, lineText(text));
        tmAC.stop();
        m_view.SetStateHint(StateImage::Mains, text);
        m_view.SetStateImage(StateImage::Mains, kMainsTag + 1);
        m_alerts.CancelShutdownCountdown();
    } else if (state == UpsState::Normal) {
        const QString text = m_settings.GetText("sACOn");
        m_view.SetDisplayLine(DisplayLine::Event, lineText(text));
        tmAC.stop();
        m_view.SetStateHint(StateImage::Mains, text);
        m_view.SetStateImage(StateImage::Mains, kMainsTag + 1);
        m_alerts.CancelShutdownCountdown();
        m_alerts.ShowAlert(text, 2, false, -1);
        m_log.LogEvent(text);
        enable(tmbok);
    } else {
        const QString text = m_settings.GetText("sACOff");
        m_view.SetDisplayLine(DisplayLine::Event, lineText(text));
        m_view.SetStateHint(StateImage::Mains, text);
        // the picture stays until the first blink tick
        enable(tmAC);
        m_alerts.ShowAlert(text, 1, true, m_settings.GetInt("iACTimer") * 60);
        m_log.LogEvent(text);
    }
    m_mains = state;
    m_view.RefreshTrayIcon();
}

void PowerStatus::SetBatteryState(uint8_t state, bool force)
{
    if (!force && state == m_battery) return;
    const uint8_t previous = m_battery;
    if (state == UpsState::Unknown) {
        const QString text = Msg().msgbatsate;
        tmBat.stop();
        m_view.SetStateHint(StateImage::Battery, text);
        m_view.SetStateImage(StateImage::Battery, kBatteryTag);
        m_alerts.CancelShutdownCountdown();
    } else if (state == UpsState::Normal) {
        const QString text = m_settings.GetText("sBatUp");
        const bool recovery = previous == UpsState::Off;
        if (recovery) m_view.SetDisplayLine(DisplayLine::Event, lineText(text));
        tmBat.stop();
        m_view.SetStateHint(StateImage::Battery, text);
        m_view.SetStateImage(StateImage::Battery, kBatteryTag + 1);
        m_alerts.CancelShutdownCountdown();
        // a battery recovery is alerted and mailed but not logged
        if (recovery) m_alerts.ShowAlert(text, 4, false, -1);
    } else {
        const QString text = m_settings.GetText("sBatDown");
        m_view.SetDisplayLine(DisplayLine::Event, lineText(text));
        m_view.SetStateHint(StateImage::Battery, text);
        enable(tmBat);
        // logged before the alert, unlike the mains events
        m_log.LogEvent(text);
        m_alerts.ShowAlert(text, 3, true, m_settings.GetInt("iBatTimer"));
    }
    m_battery = state;
    m_view.RefreshTrayIcon();
}

void PowerStatus::SetLinkState(uint8_t state, bool force)
{
    if (!force && state == m_link) return;
    if (state == UpsState::Normal) {
        const QString text = Msg().msgconstate1;
        m_view.SetDisplayLine(DisplayLine::Link, lineText(text));
        m_view.SetStateHint(StateImage::Link, text);
        m_view.SetStateImage(StateImage::Link, kLinkTag + 4);
        enable(tmCon);
    } else {
        const QString text = Msg().msgconstate2;
        m_view.SetDisplayLine(DisplayLine::Link, lineText(text));
        m_view.SetStateHint(StateImage::Link, text);
        m_view.SetStateImage(StateImage::Link, kLinkTag);
        tmCon.stop();
    }
    m_link = state;
    m_view.RefreshTrayIcon();
}

void PowerStatus::tmbokTimer()
{
    tmbok.stop();
    // the whole text here, without the cut of the state lines
    if (m_mains != UpsState::Off)
        m_view.SetDisplayLine(DisplayLine::Event, QStringLiteral("> ") + Msg().msgacsate2);
}

void PowerStatus::tmACTimer()
{
    m_acPhase = (m_acPhase + 1) % 2;
    m_view.SetStateImage(StateImage::Mains, kMainsTag + 2 + m_acPhase);
}

void PowerStatus::tmBatTimer()
{
    m_batPhase = (m_batPhase + 1) % 2;
    m_view.SetStateImage(StateImage::Battery, kBatteryTag + 2 + m_batPhase);
}

void PowerStatus::tmConTimer()
{
    m_conPhase = (m_conPhase + 1) % 8;
    m_view.SetStateImage(StateImage::Link, kLinkTag + 4 + m_conPhase);
}
