// A SystemPower that only records power-off requests.
#include "fakes/fake_system_power.h"

#include "fakes/call_log.h"

FakeSystemPower::FakeSystemPower(CallLog *log) : log_(log) {}

void FakeSystemPower::RequestPowerOff()
{
    ++calls_;
    if (log_) log_->Add(QStringLiteral("PowerOff"));
}
