// The thread that waits for input reports on a hidraw node and hands each one over.
#pragma once

#include "devices/hidreportframe.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// Blocks in poll() on the node and a stop eventfd, so it costs nothing while
// no report arrives. Each report is handed to the user-interface thread with a
// blocking queued call and the thread waits until the handler has returned.
// Created and destroyed on the user-interface thread.
class THidDeviceReadThread
{
public:
    // The thread's name as ps -L and /proc show it, so a reader can be told
    // apart from the other threads of the process.
    static constexpr const char *kThreadName = "hid-reader";

    // Called on the user-interface thread with the report id first; returns
    // false to end reading (the handler failed).
    using Deliver = std::function<bool(uint8_t ReportID, const uint8_t *Data, int Size)>;

    // Takes ownership of readFd. reportLength counts the report-id byte;
    // prefixReportId is set for a device without ids, whose reports the
    // kernel gives bare. Returns nothing when the thread cannot be set up
    // (readFd is closed then).
    static std::unique_ptr<THidDeviceReadThread> Start(int readFd, int reportLength, bool prefixReportId,
                                                       Deliver deliver);
    // Stops and waits like StopAndWait().
    ~THidDeviceReadThread();

    THidDeviceReadThread(const THidDeviceReadThread &) = delete;
    THidDeviceReadThread &operator=(const THidDeviceReadThread &) = delete;

    // Asks the thread to end without waiting for it.
    void RequestStop();
    // Asks the thread to end and waits, running queued hand-overs meanwhile so
    // a thread in the middle of one can finish it.
    void StopAndWait();
    bool Finished() const { return m_finished.load(); }

    // For a stop requested from inside this thread's own hand-over, where
    // waiting would never end: the thread is joined once it has left.
    static void DisposeWhenFinished(std::unique_ptr<THidDeviceReadThread> thread);

private:
    THidDeviceReadThread(int readFd, int stopFd, int reportLength, bool prefixReportId, Deliver deliver);
    void Run();

    int m_readFd;
    int m_stopFd;
    HidReportFrame m_frame;
    Deliver m_deliver;
    // Lives on the user-interface thread; the target of the hand-overs.
    std::unique_ptr<QObject> m_relay;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};
