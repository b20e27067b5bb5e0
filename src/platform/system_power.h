// The operating system's power-off request, behind an interface so no test can reach the real one.
#pragma once

class SystemPower
{
public:
    virtual ~SystemPower() = default;
    // Asks the system to power off and returns at once; whether the system
    // complies is not reported, and the caller carries on either way.
    virtual void RequestPowerOff() = 0;
};
