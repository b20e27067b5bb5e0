// The shipped program's power-off: systemd-logind, with `systemctl poweroff` as fallback.
#include "app/system_power_entry.h"

#include "platform/linux/logind_power.h"

std::unique_ptr<SystemPower> MakeSystemPower()
{
    return std::make_unique<LogindPower>(&SpawnDetached);
}
