// A Clock that stands still until the test moves it.
#include "fakes/fake_clock.h"

FakeClock::FakeClock(QDateTime start) : now_(std::move(start)) {}
