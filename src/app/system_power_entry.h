// The program's system power-off, chosen when the executable is linked.
#pragma once

#include "platform/system_power.h"

#include <memory>

// Defined once per executable: Kestrava links the logind one, the
// Kestrava-recording build links one that only writes the request down.
// Only the entry point calls it.
std::unique_ptr<SystemPower> MakeSystemPower();
