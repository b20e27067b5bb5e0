// A Clock that stands still until the test moves it.
#pragma once

#include "platform/clock.h"

class FakeClock final : public Clock
{
public:
    // Starts at 2024-01-01 12:00:00 local time unless told otherwise.
    explicit FakeClock(QDateTime start = QDateTime(QDate(2024, 1, 1), QTime(12, 0)));

    QDateTime Now() const override { return now_; }
    void Advance(qint64 msecs) { now_ = now_.addMSecs(msecs); }
    void Set(const QDateTime &now) { now_ = now; }

private:
    QDateTime now_;
};
