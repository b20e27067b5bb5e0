// SocketSingleInstance: the lock across processes, its release by the kernel, and the "show" request.
#include "platform/linux/socket_single_instance.h"
#include "wait_for.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <ostream>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr char kHolderEnv[] = "KESTRAVA_TEST_LOCK_HOLDER";

// Tests run in parallel: each gets a name no other test process uses.
QString UniqueName()
{
    static int n = 0;
    return QStringLiteral("KestravaTest-%1-%2").arg(getpid()).arg(++n);
}

// A raw client of the lock's socket, written from the address alone, so the
// test also pins the address down: "\0<name>-<uid>".
int ConnectRaw(const QString &name, uid_t uid)
{
    const QByteArray address = '\0' + name.toUtf8() + '-' + QByteArray::number(uid);
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    std::memcpy(sa.sun_path, address.constData(), static_cast<size_t>(address.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto len =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + static_cast<size_t>(address.size()));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr *>(&sa), len) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The child side of the cross-process test: hold the lock, say so, report
// each show request, and end by itself if nobody kills it.
[[noreturn]] void RunHolder(const QString &name)
{
    SocketSingleInstance lock(name);
    if (!lock.TryAcquire()) ::_exit(2);
    QObject::connect(&lock, &SingleInstance::showRequested, [] {
        std::fputs("\nshown\n", stdout);
        std::fflush(stdout);
    });
    QTimer::singleShot(20000, [] { ::_exit(3); });
    std::fputs("\nready\n", stdout);
    std::fflush(stdout);
    QCoreApplication::exec();
    ::_exit(4);
}

// Reads the child's output until a line equal to `word` appears.
bool WaitForLine(QProcess &child, const QByteArray &word)
{
    QByteArray seen;
    return WaitFor([&] {
        seen += child.readAllStandardOutput();
        return seen.split('\n').contains(word);
    });
}

TEST(SingleInstance, HolderInAnotherProcessBlocksUntilKilled)
{
    if (qEnvironmentVariableIsSet(kHolderEnv)) RunHolder(qEnvironmentVariable(kHolderEnv));

    const QString name = UniqueName();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kHolderEnv, name);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=SingleInstance.HolderInAnotherProcessBlocksUntilKilled")});
    ASSERT_TRUE(child.waitForStarted(5000));
    ASSERT_TRUE(WaitForLine(child, "ready")) << child.readAllStandardError().toStdString();

    SocketSingleInstance second(name);
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_TRUE(SocketSingleInstance::SendShow(name));
    EXPECT_TRUE(WaitForLine(child, "shown"));

    // SIGKILL: no destructor, no clean-up of ours runs in the holder.
    const pid_t pid = static_cast<pid_t>(child.processId());
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ASSERT_TRUE(child.waitForFinished(5000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    SocketSingleInstance next(name);
    EXPECT_TRUE(next.TryAcquire());
}

TEST(SingleInstance, LockIsPerNameAndFreedWithItsHolder)
{
    const QString name = UniqueName();
    auto first = std::make_unique<SocketSingleInstance>(name);
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_TRUE(first->TryAcquire()) << "asking again while holding is still holding";

    SocketSingleInstance same(name);
    EXPECT_FALSE(same.TryAcquire());
    SocketSingleInstance other(UniqueName());
    EXPECT_TRUE(other.TryAcquire());

    first.reset();
    EXPECT_TRUE(same.TryAcquire());
}

TEST(SingleInstance, SendShowWithoutHolderFails)
{
    EXPECT_FALSE(SocketSingleInstance::SendShow(UniqueName()));
}

struct Payload
{
    const char *name;
    const char *why;
    std::vector<QByteArray> writes; // each one written separately
    int shows;                      // requests this alone should raise
};

// Names the case in test listings (the default prints raw bytes).
void PrintTo(const Payload &c, std::ostream *os)
{
    *os << c.name;
}

class SingleInstancePayload : public ::testing::TestWithParam<Payload>
{
};

// Every payload is followed by a proper request on a second connection; once
// that one has arrived, the payload (accepted first) has been dealt with.
TEST_P(SingleInstancePayload, OnlyAWholeShowRaisesTheWindow)
{
    const Payload p = GetParam();
    const QString name = UniqueName();
    SocketSingleInstance lock(name);
    ASSERT_TRUE(lock.TryAcquire());
    int shows = 0;
    QObject::connect(&lock, &SingleInstance::showRequested, [&] { ++shows; });

    const int fd = ConnectRaw(name, getuid());
    ASSERT_GE(fd, 0);
    for (const QByteArray &w : p.writes) {
        ASSERT_EQ(::send(fd, w.constData(), static_cast<size_t>(w.size()), MSG_NOSIGNAL), w.size());
        Settle(30); // let the holder see the pieces apart
    }
    ::close(fd);

    ASSERT_TRUE(SocketSingleInstance::SendShow(name));
    ASSERT_TRUE(WaitFor([&] { return shows >= p.shows + 1; })) << p.why;
    Settle(100);
    EXPECT_EQ(shows, p.shows + 1) << p.why;
}

INSTANTIATE_TEST_SUITE_P(Requests, SingleInstancePayload,
                         ::testing::Values(Payload{"Whole", "the request itself", {"show"}, 1},
                                           Payload{"Split", "the request in two pieces", {"sh", "ow"}, 1},
                                           Payload{"Empty", "connect and close without a word", {}, 0},
                                           Payload{"OtherWord", "another word", {"shoe"}, 0},
                                           Payload{"CutShort", "a request cut short", {"sho"}, 0},
                                           Payload{"Junk", "oversized junk", {QByteArray(4096, 'x')}, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SingleInstance, IgnoresShowFromAnotherUser)
{
    if (getuid() != 0) GTEST_SKIP() << "needs root to send as another user";
    const QString name = UniqueName();
    SocketSingleInstance lock(name);
    ASSERT_TRUE(lock.TryAcquire());
    int shows = 0;
    QObject::connect(&lock, &SingleInstance::showRequested, [&] { ++shows; });

    // Everything the child needs is prepared here: after fork it only makes
    // system calls.
    const uid_t owner = getuid();
    const QByteArray address = '\0' + name.toUtf8() + '-' + QByteArray::number(owner);
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    std::memcpy(sa.sun_path, address.constData(), static_cast<size_t>(address.size()));
    const auto len =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + static_cast<size_t>(address.size()));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr *>(&sa), len) != 0) ::_exit(11);
        ::_exit(::write(fd, "show", 4) == 4 ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the other user's client could not send";

    ASSERT_TRUE(SocketSingleInstance::SendShow(name));
    ASSERT_TRUE(WaitFor([&] { return shows >= 1; }));
    Settle(100);
    EXPECT_EQ(shows, 1);
}

} // namespace
