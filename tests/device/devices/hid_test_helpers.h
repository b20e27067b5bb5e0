// Helpers shared by the hidraw tests: event pumping, counts of threads and descriptors, recorded
// announcements.
#pragma once

#include "devices/hiddevice.h"
#include "devices/linux/hidreadthread.h"
#include "emulated_hid_ups.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <functional>
#include <vector>

namespace hid_test {

inline bool pumpUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

inline void pumpFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

inline int countEntries(const char *dir)
{
    return static_cast<int>(QDir(dir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}
inline int threadCount()
{
    return countEntries("/proc/self/task");
}
// Threads that read a hidraw node. The emulation starts and ends threads of
// its own at any time, so whether a reader runs is counted by name.
inline int readerThreadCount()
{
    int n = 0;
    for (const QString &tid :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == THidDeviceReadThread::kThreadName)
            ++n;
    }
    return n;
}
// Descriptors of the process, leaving out the pty masters the testbed opens
// for every emulated node and keeps after the node is removed: the code under
// test only ever opens the nodes themselves (the pty's other side).
inline int fdCount()
{
    int n = 0;
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd"))
                                   .entryInfoList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System))
        if (fd.symLinkTarget() != QLatin1String("/dev/ptmx")) ++n;
    return n;
}

struct Report
{
    uint8_t id;
    HidBytes data;
    bool onUiThread;
};

// What the controller announced, in order, with the product text read in the handler.
struct Announcements
{
    std::vector<HidDevice *> arrived;
    std::vector<QString> arrivedProducts;
    std::vector<HidDevice *> removed;
    std::vector<bool> removedWhilePlugged;

    void Attach(HidDeviceController &c)
    {
        c.OnArrival = [this](HidDevice *d) {
            arrived.push_back(d);
            arrivedProducts.push_back(d->ProductText());
        };
        c.OnRemoval = [this](HidDevice *d) {
            removed.push_back(d);
            removedWhilePlugged.push_back(d->IsPluggedIn());
        };
    }
};

inline HidDataHandler recordInto(std::vector<Report> &reports)
{
    return [&reports](HidDevice *, uint8_t id, const uint8_t *data, int size) {
        reports.push_back({id, HidBytes(data, data + size), QThread::currentThread() == qApp->thread()});
    };
}

inline HidDevice *findByProduct(const Announcements &a, const QString &product)
{
    for (std::size_t i = 0; i < a.arrived.size(); ++i)
        if (a.arrivedProducts[i] == product) return a.arrived[i];
    return nullptr;
}

} // namespace hid_test
