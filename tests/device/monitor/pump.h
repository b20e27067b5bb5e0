// Running the event loop in the chain tests: until a condition holds, or for a while.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>

inline bool PumpUntil(const std::function<bool()> &done, int boundMs = 5000)
{
    QDeadlineTimer deadline(boundMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

inline void PumpFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}
