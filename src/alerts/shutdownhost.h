// What the end of the shutdown countdown reaches outside the warning window.
#pragma once

#include <QString>

class ShutdownHost
{
public:
    virtual ~ShutdownHost() = default;
    // The main window's clock label, which the countdown owns while it runs.
    virtual void SetClockText(const QString &text) = 0;
    virtual void HideMainWindow() = 0;
    // Stops the main window's one-second clock and removes the tray icon.
    virtual void StopClockAndRemoveTray() = 0;
    // Tells the UPS to switch itself off: scope "ALL", "USB" or "COM".
    virtual void PowerOffUps(const QString &scope) = 0;
};
