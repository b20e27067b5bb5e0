// A SystemPower that only records power-off requests.
#pragma once

#include "platform/system_power.h"

struct CallLog;

class FakeSystemPower final : public SystemPower
{
public:
    // Each request is also logged as "PowerOff" in `log`, when given.
    explicit FakeSystemPower(CallLog *log = nullptr);

    void RequestPowerOff() override;
    int Calls() const { return calls_; }

private:
    CallLog *log_;
    int calls_ = 0;
};
