// The hidraw read thread: poll, read one report, hand it over, until told to stop or the node is gone.
#include "devices/linux/hidreadthread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

std::unique_ptr<THidDeviceReadThread> THidDeviceReadThread::Start(int readFd, int reportLength,
                                                                  bool prefixReportId, Deliver deliver)
{
    const int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0) {
        ::close(readFd);
        return nullptr;
    }
    std::unique_ptr<THidDeviceReadThread> thread(
        new THidDeviceReadThread(readFd, stopFd, reportLength, prefixReportId, std::move(deliver)));
    thread->m_thread = std::thread([t = thread.get()] { t->Run(); });
    // named before Start returns, so the name is there for anyone who looks
    pthread_setname_np(thread->m_thread.native_handle(), kThreadName);
    return thread;
}

THidDeviceReadThread::THidDeviceReadThread(int readFd, int stopFd, int reportLength, bool prefixReportId,
                                           Deliver deliver)
    : m_readFd(readFd), m_stopFd(stopFd), m_frame(reportLength, prefixReportId),
      m_deliver(std::move(deliver)), m_relay(std::make_unique<QObject>())
{
}

THidDeviceReadThread::~THidDeviceReadThread()
{
    StopAndWait();
    ::close(m_readFd);
    ::close(m_stopFd);
}

void THidDeviceReadThread::RequestStop()
{
    m_stopRequested = true;
    const uint64_t one = 1;
    // a full counter already wakes the thread, so a failed write changes nothing
    [[maybe_unused]] ssize_t n = ::write(m_stopFd, &one, sizeof one);
}

void THidDeviceReadThread::StopAndWait()
{
    if (!m_thread.joinable()) return;
    RequestStop();
    while (!m_finished.load())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    m_thread.join();
}

namespace {

// Keeps the thread object until its thread has left; should the program end
// first, dropping the timer destroys the object (and joins) with it.
void joinLater(std::shared_ptr<THidDeviceReadThread> thread)
{
    QTimer::singleShot(5, QCoreApplication::instance(), [thread] {
        if (!thread->Finished()) joinLater(thread);
    });
}

} // namespace

void THidDeviceReadThread::DisposeWhenFinished(std::unique_ptr<THidDeviceReadThread> thread)
{
    if (!thread) return;
    thread->RequestStop();
    if (thread->Finished() || QCoreApplication::instance() == nullptr) return; // joined by the destructor
    // the hand-over that asked for the stop is still on the stack: look again
    // once control has gone back to the event loop
    joinLater(std::move(thread));
}

void THidDeviceReadThread::Run()
{
    while (!m_stopRequested.load()) {
        pollfd fds[2] = {{m_readFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0 || m_stopRequested.load()) break;
        if ((fds[0].revents & POLLNVAL) != 0) break;

        uint8_t *target = m_frame.PrepareRead();
        const ssize_t n = ::read(m_readFd, target, m_frame.ReadCapacity());
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            break; // EIO, ENODEV: the node is gone; stop instead of spinning on it
        }
        if (n == 0) {
            if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) break;
            continue;
        }
        const HidReportFrame::Report report = m_frame.Frame(static_cast<std::size_t>(n));
        bool goOn = true;
        QMetaObject::invokeMethod(
            m_relay.get(),
            [this, report, &goOn] { goOn = m_deliver(report.ReportID, report.Data, report.Size); },
            Qt::BlockingQueuedConnection);
        if (!goOn) break;
    }
    m_finished = true;
}
