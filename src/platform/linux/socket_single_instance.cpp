// The single-instance lock as an abstract-namespace Unix socket that also carries "show" requests.
#include "platform/linux/socket_single_instance.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr char kShow[] = "show";
constexpr qsizetype kShowLength = sizeof(kShow) - 1;
// Enough for several starts at once; a flood beyond it is simply refused.
constexpr size_t kMaxPeers = 8;

QByteArray AbstractAddress(const QString &name)
{
    QByteArray a(1, '\0');
    a += name.toUtf8();
    a += '-';
    a += QByteArray::number(static_cast<qulonglong>(getuid()));
    return a;
}

// Fills `sa` with the abstract address (leading NUL, no terminator) and
// returns the length that names exactly those bytes.
socklen_t FillAddress(sockaddr_un &sa, const QByteArray &address)
{
    std::memset(&sa, 0, sizeof sa);
    sa.sun_family = AF_UNIX;
    const size_t n = std::min(static_cast<size_t>(address.size()), sizeof sa.sun_path);
    std::memcpy(sa.sun_path, address.constData(), n);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + n);
}

bool SameUser(int fd)
{
    ucred cred{};
    socklen_t len = sizeof cred;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == getuid();
}

} // namespace

struct SocketSingleInstance::Peer
{
    QSocketNotifier *notifier = nullptr; // a child of the instance
    QByteArray received;
};

SocketSingleInstance::SocketSingleInstance(const QString &name, QObject *parent)
    : SingleInstance(parent), address_(AbstractAddress(name))
{
}

SocketSingleInstance::~SocketSingleInstance()
{
    while (!peers_.empty())
        DropPeer(peers_.begin()->first);
    if (listenFd_ >= 0) ::close(listenFd_);
}

bool SocketSingleInstance::TryAcquire()
{
    if (listenFd_ >= 0) return true;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return true; // no lock can be made: run unguarded rather than not at all
    sockaddr_un sa;
    const socklen_t len = FillAddress(sa, address_);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&sa), len) != 0) {
        const int err = errno;
        ::close(fd);
        return err != EADDRINUSE;
    }
    if (::listen(fd, static_cast<int>(kMaxPeers)) != 0) {
        // Bound but deaf: the name is still ours, only "show" cannot arrive.
        listenFd_ = fd;
        return true;
    }
    listenFd_ = fd;
    listenNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(listenNotifier_, &QSocketNotifier::activated, this, &SocketSingleInstance::AcceptPending);
    return true;
}

void SocketSingleInstance::AcceptPending()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return; // EAGAIN: nothing more waiting
        }
        // Abstract sockets have no file permissions: only our own user may
        // raise our window.
        if (peers_.size() >= kMaxPeers || !SameUser(fd)) {
            ::close(fd);
            continue;
        }
        auto peer = std::make_unique<Peer>();
        peer->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(peer->notifier, &QSocketNotifier::activated, this, [this, fd] { ReadPeer(fd); });
        peers_.emplace(fd, std::move(peer));
        ReadPeer(fd); // the request may be there already
    }
}

void SocketSingleInstance::ReadPeer(int fd)
{
    auto it = peers_.find(fd);
    if (it == peers_.end()) return;
    Peer &peer = *it->second;
    char buf[16];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return; // wait for the rest
        if (n <= 0) {
            DropPeer(fd); // closed before a whole request, or failed
            return;
        }
        peer.received.append(buf, n);
        if (!QByteArray(kShow).startsWith(peer.received)) {
            DropPeer(fd); // not our protocol
            return;
        }
        if (peer.received.size() == kShowLength) {
            DropPeer(fd);
            emit showRequested();
            return;
        }
    }
}

void SocketSingleInstance::DropPeer(int fd)
{
    auto it = peers_.find(fd);
    if (it == peers_.end()) return;
    // This may run inside the notifier's own signal: retire it, do not delete it here.
    it->second->notifier->setEnabled(false);
    it->second->notifier->deleteLater();
    peers_.erase(it);
    ::close(fd);
}

bool SocketSingleInstance::SendShow(const QString &name)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un sa;
    const socklen_t len = FillAddress(sa, AbstractAddress(name));
    bool sent = false;
    // Non-blocking: a holder whose backlog is full refuses instead of
    // stalling the sender.
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&sa), len) == 0 && SameUser(fd)) {
        ssize_t n;
        do
            n = ::send(fd, kShow, kShowLength, MSG_NOSIGNAL);
        while (n < 0 && errno == EINTR);
        sent = n == kShowLength;
    }
    ::close(fd);
    return sent;
}
