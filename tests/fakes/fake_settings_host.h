// The main window as the settings dialog's OK calls it: each call into a call log, with an optional look at
// the store.
#pragma once

#include "call_log.h"
#include "dialogs/settingshost.h"

#include <functional>

// Entries: "ApplyDisplaySettings", "SelectLink".
class FakeSettingsHost final : public SettingsHost
{
public:
    explicit FakeSettingsHost(CallLog &log) : log_(log) {}

    void ApplyDisplaySettings() override
    {
        log_.Add(QStringLiteral("ApplyDisplaySettings"));
        if (onApplyDisplaySettings) onApplyDisplaySettings();
    }
    void SelectLink() override
    {
        log_.Add(QStringLiteral("SelectLink"));
        if (onSelectLink) onSelectLink();
    }

    // Run inside the calls, to see what the main window would read then.
    std::function<void()> onApplyDisplaySettings;
    std::function<void()> onSelectLink;

private:
    CallLog &log_;
};
