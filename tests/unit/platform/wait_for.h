// Runs the event loop until a condition holds or a bound runs out, for tests of asynchronous platform code.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <functional>

// True as soon as `done()` holds; false when `limitMs` passed first.
inline bool WaitFor(const std::function<bool()> &done, int limitMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// Lets queued work run for `ms`, to show that something did NOT happen.
inline void Settle(int ms)
{
    WaitFor([] { return false; }, ms);
}
