// Wall-clock time read through one interface, so countdowns can be tested with a hand-driven clock.
#pragma once

#include <QDateTime>

class Clock
{
public:
    virtual ~Clock() = default;
    // The current local date and time.
    virtual QDateTime Now() const = 0;
    // The same moment as milliseconds since the epoch.
    qint64 NowMsecs() const { return Now().toMSecsSinceEpoch(); }
};

class SystemClock final : public Clock
{
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};
