// PowerStatus: the mains, battery and link states and what each change shows, logs and alerts.
#pragma once

#include "monitor/powerstates.h"

#include <QObject>
#include <QString>
#include <QTimer>

class Alerts;
class EventLog;
class SettingsRow;
class StatusView;

// The links only report states; every consequence of a change is decided
// here: display lines, pictures and hints, blinking, the tray icon, the event
// log, the warning window with its mail, and the shutdown countdown. All of it
// runs on the user-interface thread.
//
// The blink and animation timers live here with their phase counters, which
// are never reset: a restarted blink goes on from the frame where it stopped.
class PowerStatus : public QObject, public PowerStates
{
    Q_OBJECT

public:
    // Picture tags of the three state images in the image list: tag is the
    // unknown/off picture, tag+1 normal, tag+2.. the blink or animation frames.
    static constexpr int kMainsTag = 16;
    static constexpr int kBatteryTag = 12;
    static constexpr int kLinkTag = 20;
    // A state line is "> " and at most this many GB2312 bytes of the text, so
    // it is no longer than the display's 31-byte rule lines.
    static constexpr int kLineTextBytes = 29;

    PowerStatus(StatusView &view, Alerts &alerts, EventLog &log, const SettingsRow &settings,
                QObject *parent = nullptr);

    // The start values (all Unknown), set without any effect.
    void SetStartStates();

    void SetMainsState(uint8_t state, bool force) override;
    void SetBatteryState(uint8_t state, bool force) override;
    void SetLinkState(uint8_t state, bool force) override;
    uint8_t MainsState() const override { return m_mains; }
    uint8_t BatteryState() const override { return m_battery; }
    uint8_t LinkState() const override { return m_link; }

    // Tick handlers of the timers below (public so they can be driven directly).
    void tmbokTimer();
    void tmACTimer();
    void tmBatTimer();
    void tmConTimer();

    int MainsBlinkPhase() const { return m_acPhase; }
    int BatteryBlinkPhase() const { return m_batPhase; }
    int LinkAnimationPhase() const { return m_conPhase; }

    QTimer tmAC;  // 500 ms, mains blink
    QTimer tmBat; // 500 ms, battery blink
    QTimer tmCon; // 250 ms, link animation
    QTimer tmbok; // 10 s after a mains recovery, one tick per start

private:
    static QString lineText(const QString &text);

    StatusView &m_view;
    Alerts &m_alerts;
    EventLog &m_log;
    const SettingsRow &m_settings;

    // Stored in this order, as the main window keeps them.
    uint8_t m_battery = UpsState::Unknown;
    uint8_t m_mains = UpsState::Unknown;
    uint8_t m_link = UpsState::Unknown;

    int m_acPhase = 0;
    int m_batPhase = 0;
    int m_conPhase = 0;
};
