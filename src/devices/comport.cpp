// TComPort on Linux: exclusive open, 9600 8N1 raw, TIOCMGET/TIOCMBIS/TIOCMBIC, and a TIOCMIWAIT watcher.
#include "devices/comport.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

struct TComPort::Watch
{
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::mutex mutex;
    std::condition_variable cv;
};

namespace {

constexpr int kWatchedLines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
// How often lines are read where the driver cannot wait for a change.
constexpr auto kPollInterval = 50ms;
// How often a stop request is repeated: a signal that lands just before the
// watcher enters its wait is lost, the next one is not.
constexpr auto kStopRepeat = 50ms;

// Ends a blocking wait of the watcher. Installed without SA_RESTART so the
// interrupted ioctl returns EINTR instead of being restarted.
int stopSignal()
{
    return SIGRTMIN + 4;
}

void onStopSignal(int) {}

void installStopSignal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(stopSignal(), &action, nullptr);
    });
}

// A device that went away while open (unplugged USB adapter, hung-up tty).
bool deviceGone(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}

bool readLines(int fd, int &bits)
{
    for (;;) {
        if (::ioctl(fd, TIOCMGET, &bits) == 0) return true;
        if (errno != EINTR) return false;
    }
}

ModemLineSet toLineSet(int bits)
{
    ModemLineSet lines;
    if (bits & TIOCM_CTS) lines |= ModemLine::CTS;
    if (bits & TIOCM_DSR) lines |= ModemLine::DSR;
    if (bits & TIOCM_RNG) lines |= ModemLine::Ring;
    if (bits & TIOCM_CD) lines |= ModemLine::RLSD;
    return lines;
}

[[noreturn]] void failOpen(int error, int fd1 = -1, int fd2 = -1)
{
    if (fd1 >= 0) ::close(fd1);
    if (fd2 >= 0) ::close(fd2);
    throw EComPort(EComPort::OpenFailed, error);
}

// O_NONBLOCK so a modem-control open does not wait for carrier (cleared after);
// O_CLOEXEC so a program started later does not inherit the port and its lock.
int openNode(const QByteArray &path)
{
    return ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

bool clearNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

} // namespace

TComPort::TComPort(QObject *parent) : SerialPort(parent) {}

TComPort::~TComPort()
{
    try {
        ClosePort();
    } catch (const EComPort &) {
        // the port is closed even when the purge failed; nobody is left to tell
    }
}

QString TComPort::DevicePath(const QString &port)
{
    if (port.startsWith(QLatin1Char('/'))) return port;
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(port);
    if (match.hasMatch()) return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
    return QStringLiteral("/dev/") + port;
}

void TComPort::OpenPort()
{
    if (Connected()) return;
    Q_EMIT OnBeforeOpen();

    const QByteArray path = QFile::encodeName(DevicePath(Port()));
    const int fd = openNode(path);
    if (fd < 0) failOpen(errno);
    struct stat info = {};
    if (::fstat(fd, &info) != 0) failOpen(errno, fd);
    if (!S_ISCHR(info.st_mode)) failOpen(ENOTTY, fd);
    // flock keeps out other instances and programs that lock; TIOCEXCL keeps
    // out every later open() of the tty (except by root).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) failOpen(errno == EWOULDBLOCK ? EBUSY : errno, fd);
    const int waitFd = openNode(path);
    if (waitFd < 0) failOpen(errno, fd);
    if (::ioctl(fd, TIOCEXCL) != 0) failOpen(errno, fd, waitFd);
    if (!clearNonBlocking(fd) || !clearNonBlocking(waitFd)) failOpen(errno, fd, waitFd);

    m_fd = fd;
    m_waitFd = waitFd;
    setConnectedState(true);
    const unsigned session = ++m_session;
    try {
        applyPortSettings();
    } catch (...) {
        closeDescriptors();
        setConnectedState(false);
        throw;
    }

    Q_EMIT OnAfterOpen();
    // Each announcement reads the lines anew, as a change would. A handler may
    // close (or close and reopen) the port: then this open has nothing left to do.
    const auto stillThisSession = [&] { return Connected() && m_session == session && !m_closing; };
    int announced = 0;
    try {
        const std::pair<ModemLine, void (SerialPort::*)(bool)> order[] = {
            {ModemLine::CTS, &SerialPort::OnCTSChange},
            {ModemLine::DSR, &SerialPort::OnDSRChange},
            {ModemLine::RLSD, &SerialPort::OnRLSDChange},
        };
        const int bitOf[] = {TIOCM_CTS, TIOCM_DSR, TIOCM_CD};
        for (int i = 0; i < 3; ++i) {
            const bool on = ModemLines().testFlag(order[i].first);
            if (on) announced |= bitOf[i];
            Q_EMIT(this->*order[i].second)(on);
            if (!stillThisSession()) return;
        }
    } catch (const EComPort &) {
        // A port whose lines cannot be read is of no use to the link: leave it
        // closed, as after any other failed open.
        closeDescriptors();
        setConnectedState(false);
        throw;
    }

    try {
        startWatcher(announced);
    } catch (...) {
        closeDescriptors();
        setConnectedState(false);
        throw;
    }
}

void TComPort::applyPortSettings()
{
    const auto fail = [](int error) { throw EComPort(EComPort::SetStateFailed, error); };
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) fail(errno);
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    tio.c_cc[VMIN] = 0; // reads never wait (no data is read anyway)
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0) fail(errno);
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) fail(errno);
    // tcsetattr succeeds when any part was taken: check that all of it was.
    termios now{};
    if (::tcgetattr(m_fd, &now) != 0) fail(errno);
    constexpr tcflag_t kFixed = CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL | CLOCAL | CREAD;
    if ((now.c_cflag & kFixed) != (CS8 | CLOCAL | CREAD) || ::cfgetospeed(&now) != B9600 ||
        (now.c_iflag & (IXON | IXOFF)) != 0)
        fail(EINVAL);
    // DTR and RTS control "enable": applying the setting raises both lines.
    int both = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(m_fd, TIOCMBIS, &both) != 0) fail(errno);
}

void TComPort::ClosePort()
{
    if (!Connected() || m_closing) return;
    m_closing = true;
    // The watcher is stopped first, so no late change can follow the close
    // announcements below.
    stopWatcher();
    Q_EMIT OnCTSChange(false);
    Q_EMIT OnDSRChange(false);
    Q_EMIT OnRLSDChange(false);
    Q_EMIT OnBeforeClose();

    // Same as tcflush(TCIOFLUSH), through the driver's ioctl path. A device
    // that is gone has nothing left to purge; any other failure is reported
    // once the port is closed, so a failed purge never leaves a half-open port.
    int purgeError = 0;
    if (::ioctl(m_fd, TCFLSH, TCIOFLUSH) != 0 && !deviceGone(errno)) purgeError = errno;
    closeDescriptors();
    setConnectedState(false);
    m_closing = false;
    Q_EMIT OnAfterClose();
    if (purgeError != 0) throw EComPort(EComPort::PurgeFailed, purgeError);
}

ModemLineSet TComPort::ModemLines()
{
    int bits = 0;
    if (!readLines(m_fd, bits)) throw EComPort(EComPort::ModemStatusFailed, errno);
    return toLineSet(bits);
}

void TComPort::DriveDtr(bool on)
{
    drive(TIOCM_DTR, on);
}

void TComPort::DriveRts(bool on)
{
    drive(TIOCM_RTS, on);
}

void TComPort::drive(int line, bool on)
{
    if (::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &line) != 0) throw EComPort(EComPort::EscapeFailed, errno);
}

void TComPort::closeDescriptors()
{
    if (m_waitFd >= 0) ::close(m_waitFd);
    if (m_fd >= 0) ::close(m_fd);
    m_fd = m_waitFd = -1;
}

void TComPort::startWatcher(int announcedLines)
{
    installStopSignal();
    auto watch = std::make_shared<Watch>();
    m_thread = std::thread(&TComPort::watchLines, this, watch, m_fd, m_waitFd, announcedLines);
    m_watch = std::move(watch);
}

void TComPort::stopWatcher()
{
    if (!m_thread.joinable()) return;
    const std::shared_ptr<Watch> watch = std::move(m_watch);
    {
        std::lock_guard lock(watch->mutex);
        watch->stop = true;
    }
    watch->cv.notify_all();

    if (m_inHandOver == watch.get()) {
        // Called from a handler of this watcher's own hand-over: the watcher is
        // parked in that hand-over until we return, and leaves at once after it
        // without touching the port or its descriptors. It cannot be waited for
        // here, so let it finish on its own.
        m_thread.detach();
        return;
    }

    // Keep handing over while waiting: a watcher in the middle of a hand-over
    // can only finish it, and see the stop request, if this thread runs it.
    const pthread_t thread = m_thread.native_handle();
    pthread_kill(thread, stopSignal());
    auto lastKick = std::chrono::steady_clock::now();
    while (!watch->done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::unique_lock lock(watch->mutex);
        if (watch->cv.wait_for(lock, 5ms, [&] { return watch->done.load(); })) break;
        lock.unlock();
        const auto now = std::chrono::steady_clock::now();
        if (now - lastKick >= kStopRepeat) {
            pthread_kill(thread, stopSignal());
            lastKick = now;
        }
    }
    m_thread.join();
}

void TComPort::deliver(const std::shared_ptr<Watch> &watch, int changed, int lines)
{
    Watch *const outer = m_inHandOver;
    m_inHandOver = watch.get();
    struct Restore
    {
        Watch *&slot;
        Watch *value;
        ~Restore() { slot = value; }
    } restore{m_inHandOver, outer};

    const std::pair<int, void (SerialPort::*)(bool)> order[] = {
        {TIOCM_CTS, &SerialPort::OnCTSChange},
        {TIOCM_DSR, &SerialPort::OnDSRChange},
        {TIOCM_CD, &SerialPort::OnRLSDChange},
    };
    for (const auto &[bit, signal] : order) {
        if (watch->stop) // a handler closed the port
            return;
        if (changed & bit) Q_EMIT(this->*signal)((lines & bit) != 0);
    }
}

void TComPort::watchLines(TComPort *port, std::shared_ptr<Watch> watch, int lineFd, int waitFd,
                          int announcedLines)
{
    int announced = announcedLines & kWatchedLines;
    bool polling = false;
    bool lost = false;
    while (!watch->stop) {
        // Read after every wake-up, and again after every hand-over: a change
        // that falls between two waits is seen here instead of being lost.
        int lines = 0;
        if (!readLines(lineFd, lines)) {
            lost = true; // the lines cannot be read any more: no further changes are reported
            break;
        }
        lines &= kWatchedLines;
        if (const int changed = lines ^ announced) {
            if (watch->stop) break;
            QMetaObject::invokeMethod(
                port, [port, watch, changed, lines] { port->deliver(watch, changed, lines); },
                Qt::BlockingQueuedConnection);
            announced = lines;
            continue;
        }
        if (polling) {
            std::unique_lock lock(watch->mutex);
            watch->cv.wait_for(lock, kPollInterval, [&] { return watch->stop.load(); });
            continue;
        }
        if (::ioctl(waitFd, TIOCMIWAIT, kWatchedLines) == 0 || errno == EINTR) continue;
        if (errno == ENOTTY || errno == EINVAL) {
            polling = true; // the driver cannot wait for a change
            continue;
        }
        lost = true; // the wait failed (device gone): stop watching rather than spin
        break;
    }
    // Said once, so the link can show the UPS as lost instead of its last
    // states; a close that is stopping the watcher meanwhile wins.
    if (lost && !watch->stop)
        QMetaObject::invokeMethod(
            port,
            [port, watch] {
                if (!watch->stop) Q_EMIT port->OnDeviceLost();
            },
            Qt::BlockingQueuedConnection);
    {
        std::lock_guard lock(watch->mutex);
        watch->done = true;
    }
    watch->cv.notify_all();
}
