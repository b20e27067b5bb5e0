// POSIX socket calls behind SmtpSocket: bounded resolve, non-blocking connect, poll.
#include "alerts/linux/smtpsocket.h"

#include "alerts/smtperror.h"

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = SmtpSocket::Clock;

// What a name lookup hands back. Shared with the lookup thread, so a lookup
// that outlives its bound is abandoned, not waited for: the thread frees it.
struct Lookup
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int rc = 0;
    addrinfo *result = nullptr;

    ~Lookup()
    {
        if (result) freeaddrinfo(result);
    }
};

struct Endpoint
{
    int family, type, protocol;
    sockaddr_storage addr;
    socklen_t len;
};

std::vector<Endpoint> resolve(const QString &host, quint16 port, Clock::time_point deadline)
{
    auto lookup = std::make_shared<Lookup>();
    const std::string name = host.toStdString();
    const std::string service = std::to_string(port);
    std::thread worker;
    try {
        worker = std::thread([lookup, name, service] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo *res = nullptr;
            const int rc = getaddrinfo(name.c_str(), service.c_str(), &hints, &res);
            std::lock_guard lock(lookup->mutex);
            lookup->rc = rc;
            lookup->result = rc == 0 ? res : nullptr;
            lookup->finished = true;
            lookup->done.notify_all();
        });
    } catch (const std::system_error &e) {
        throw SmtpError(QStringLiteral("cannot resolve %1: %2").arg(host, QString::fromLocal8Bit(e.what())));
    }
    worker.detach();

    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, deadline, [&] { return lookup->finished; }))
        throw SmtpError(QStringLiteral("timed out resolving %1").arg(host));
    if (lookup->rc != 0)
        throw SmtpError(QStringLiteral("cannot resolve %1: %2")
                            .arg(host, QString::fromLocal8Bit(gai_strerror(lookup->rc))));
    std::vector<Endpoint> out;
    for (const addrinfo *ai = lookup->result; ai; ai = ai->ai_next) {
        Endpoint e{
            ai->ai_family, ai->ai_socktype, ai->ai_protocol, {}, static_cast<socklen_t>(ai->ai_addrlen)};
        std::memcpy(&e.addr, ai->ai_addr, ai->ai_addrlen);
        out.push_back(e);
    }
    return out;
}

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// Waits for events on fd until the deadline; false when it passes.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, remainingMs(deadline));
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return true; // the following call reports the error
    }
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

SmtpSocket::~SmtpSocket()
{
    close();
}

void SmtpSocket::connect(const QString &host, quint16 port, std::chrono::milliseconds bound)
{
    close();
    const auto deadline = Clock::now() + bound;
    int lastError = ECONNREFUSED;
    for (const Endpoint &e : resolve(host, port, deadline)) {
        const int fd = ::socket(e.family, e.type | SOCK_NONBLOCK | SOCK_CLOEXEC, e.protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int err = 0;
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&e.addr), e.len) != 0) {
            err = errno;
            if (err == EINPROGRESS || err == EINTR) {
                if (!waitFor(fd, POLLOUT, deadline)) {
                    ::close(fd);
                    throw SmtpError(QStringLiteral("timed out connecting to %1:%2").arg(host).arg(port));
                }
                socklen_t len = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            }
        }
        if (err == 0) {
            fd_ = fd;
            return;
        }
        ::close(fd);
        lastError = err;
    }
    throw SmtpError(
        QStringLiteral("cannot connect to %1:%2: %3").arg(host).arg(port).arg(errnoText(lastError)));
}

QByteArray SmtpSocket::readLine(int maxLength, Clock::time_point deadline)
{
    if (fd_ < 0) throw SmtpError(QStringLiteral("not connected"));
    for (;;) {
        if (std::optional<QByteArray> line = buffer_.takeLine(maxLength)) return *std::move(line);
        if (!waitFor(fd_, POLLIN, deadline))
            throw SmtpError(QStringLiteral("timed out waiting for the server's reply"));
        char chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n == 0) throw SmtpError(QStringLiteral("connection closed by the server"));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            throw SmtpError(QStringLiteral("socket error: %1").arg(errnoText(errno)));
        }
        buffer_.append(chunk, static_cast<qsizetype>(n));
    }
}

void SmtpSocket::write(const QByteArray &bytes, Clock::time_point deadline)
{
    if (fd_ < 0) throw SmtpError(QStringLiteral("not connected"));
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd_, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n >= 0) {
            sent += n;
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            throw SmtpError(QStringLiteral("socket error: %1").arg(errnoText(errno)));
        if (!waitFor(fd_, POLLOUT, deadline))
            throw SmtpError(QStringLiteral("timed out sending to the server"));
    }
}

void SmtpSocket::writeNoWait(const QByteArray &bytes)
{
    if (fd_ >= 0)
        (void)::send(fd_, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void SmtpSocket::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.clear();
}

QString SmtpSocket::localHostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return QStringLiteral("localhost");
    return QString::fromLocal8Bit(name);
}
