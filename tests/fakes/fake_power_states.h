// The three UPS states as plain bytes, each setter call recorded into a call log.
#pragma once

#include "call_log.h"
#include "monitor/powerstates.h"

// Entries: "Mains(1,false)", "Battery(2,true)", "Link(0,false)". Every call is
// recorded, also repeats that the real model would ignore.
class FakePowerStates : public PowerStates
{
public:
    explicit FakePowerStates(CallLog *log = nullptr) : log_(log) {}

    void SetMainsState(uint8_t state, bool force) override { set("Mains", mains, state, force); }
    void SetBatteryState(uint8_t state, bool force) override { set("Battery", battery, state, force); }
    void SetLinkState(uint8_t state, bool force) override { set("Link", link, state, force); }
    uint8_t MainsState() const override { return mains; }
    uint8_t BatteryState() const override { return battery; }
    uint8_t LinkState() const override { return link; }

    uint8_t mains = UpsState::Unknown;
    uint8_t battery = UpsState::Unknown;
    uint8_t link = UpsState::Unknown;

private:
    void set(const char *name, uint8_t &stored, uint8_t state, bool force)
    {
        stored = state;
        if (log_)
            log_->Add(QStringLiteral("%1(%2,%3)")
                          .arg(QLatin1String(name))
                          .arg(state)
                          .arg(force ? QStringLiteral("true") : QStringLiteral("false")));
    }
    CallLog *log_;
};
