// What the settings dialog's OK asks of the main window once the row is stored.
#pragma once

class SettingsHost
{
public:
    virtual ~SettingsHost() = default;
    // Re-reads the display settings (always on top, taskbar button).
    virtual void ApplyDisplaySettings() = 0;
    // Rebuilds the link when the port or the USB device name changed.
    virtual void SelectLink() = 0;
};
