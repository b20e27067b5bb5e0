// The scripted SMTP peer: a listening socket on 127.0.0.1 served by one thread.
#include "scripted_smtp_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
// However the test goes, the server thread ends by itself after this.
constexpr auto kLifetime = std::chrono::seconds(15);
constexpr auto kDrain = std::chrono::seconds(1);

const std::map<std::string, std::vector<std::string>> kDefaults = {
    {"EHLO", {"250-scripted\r\n250 HELP\r\n"}},
    {"HELO", {"250 scripted\r\n"}},
    {"RSET", {"250 OK\r\n"}},
    {"AUTH", {"334 VXNlcm5hbWU6\r\n"}},
    {"AUTH-USER", {"334 UGFzc3dvcmQ6\r\n"}},
    {"AUTH-PASS", {"235 authenticated\r\n"}},
    {"MAIL", {"250 sender OK\r\n"}},
    {"RCPT", {"250 recipient OK\r\n"}},
    {"DATA", {"354 go ahead\r\n"}},
    {".", {"250 queued\r\n"}},
    {"QUIT", {"221 bye\r\n"}},
};

std::string verbOf(const std::string &line)
{
    std::string verb;
    for (char c : line) {
        if (c == ' ' || c == ':') break;
        verb += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return verb;
}

} // namespace

ScriptedSmtpServer::ScriptedSmtpServer(Script script) : script_(std::move(script))
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        ::listen(listenFd_, 4) == 0 &&
        ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port_ = ntohs(addr.sin_port);
    thread_ = std::thread(&ScriptedSmtpServer::run, this);
}

ScriptedSmtpServer::~ScriptedSmtpServer()
{
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(listenFd_);
}

std::vector<ScriptedSmtpServer::Session> ScriptedSmtpServer::sessions()
{
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    return sessions_;
}

quint16 ScriptedSmtpServer::closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

std::string ScriptedSmtpServer::replyFor(const std::string &verb)
{
    auto it = script_.replies.find(verb);
    const std::vector<std::string> *list = nullptr;
    if (it != script_.replies.end())
        list = &it->second;
    else if (auto d = kDefaults.find(verb); d != kDefaults.end())
        list = &d->second;
    if (!list || list->empty()) return "500 unknown command\r\n";
    const int n = uses_[verb]++;
    return (*list)[std::min<size_t>(static_cast<size_t>(n), list->size() - 1)];
}

bool ScriptedSmtpServer::sendAll(int fd, const std::string &bytes, Clock::time_point end)
{
    const size_t step = script_.drip.count() > 0 ? 1 : bytes.size();
    for (size_t sent = 0; sent < bytes.size();) {
        if (stop_ || Clock::now() > end) return false;
        const ssize_t n =
            ::send(fd, bytes.data() + sent, std::min(step, bytes.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            // A client that does not read must not hold the thread past its end.
            pollfd p{fd, POLLOUT, 0};
            (void)::poll(&p, 1, 50);
            continue;
        }
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
        for (auto pause = script_.drip; pause.count() > 0 && !stop_ && Clock::now() < end;) {
            const auto slice = std::min(pause, std::chrono::milliseconds(50));
            std::this_thread::sleep_for(slice);
            pause -= slice;
        }
    }
    return true;
}

void ScriptedSmtpServer::run()
{
    const auto end = Clock::now() + kLifetime;
    for (int served = 0; served < script_.connections && port_ != 0;) {
        if (stop_ || Clock::now() > end) return;
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        Session session;
        serve(fd, session);
        ::close(fd);
        {
            std::lock_guard lock(mutex_);
            sessions_.push_back(std::move(session));
        }
        ++served;
    }
}

void ScriptedSmtpServer::serve(int fd, Session &session)
{
    const auto end = Clock::now() + kLifetime;
    if (!script_.silent) sendAll(fd, script_.greeting, end);
    enum { Commands, AuthUser, AuthPass, Data } state = Commands;
    std::string pending;
    size_t dataStart = 0; // where the data begins in session.raw
    // Counted in bytes up to `upTo` in session.raw, not lines: a long data line is cut through too.
    const auto resetDue = [&](size_t upTo) {
        return state == Data && script_.resetAfterDataBytes >= 0 &&
               upTo - dataStart >= static_cast<size_t>(script_.resetAfterDataBytes);
    };
    const auto reset = [fd] {
        // The caller's close then sends RST instead of FIN.
        const linger abort{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    };
    auto lastInput = Clock::now();
    for (;;) {
        if (Clock::now() > end || (stop_ && Clock::now() - lastInput > kDrain)) return;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buf[4096];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;
        lastInput = Clock::now();
        session.raw.append(buf, static_cast<size_t>(n));
        if (script_.silent) continue;
        pending.append(buf, static_cast<size_t>(n));
        for (size_t lf; (lf = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, lf + 1);
            pending.erase(0, lf + 1);
            if (resetDue(session.raw.size() - pending.size())) return reset();
            if (state == Data) {
                if (line == ".\r\n") {
                    state = Commands;
                    sendAll(fd, replyFor("."), end);
                } else {
                    session.data += line;
                }
                continue;
            }
            line.erase(line.find_last_not_of("\r\n") + 1);
            session.commands.push_back(line);
            std::string reply;
            if (state == AuthUser) {
                reply = replyFor("AUTH-USER");
                state = reply.rfind("334", 0) == 0 ? AuthPass : Commands;
            } else if (state == AuthPass) {
                reply = replyFor("AUTH-PASS");
                state = Commands;
            } else {
                const std::string verb = verbOf(line);
                reply = replyFor(verb);
                if (verb == "AUTH" && reply.rfind("334", 0) == 0)
                    state = AuthUser;
                else if (verb == "DATA" && reply.rfind("354", 0) == 0) {
                    state = Data;
                    dataStart = session.raw.size() - pending.size();
                }
            }
            sendAll(fd, reply, end);
        }
        if (resetDue(session.raw.size())) return reset();
    }
}
