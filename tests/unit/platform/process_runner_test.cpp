// SpawnProcessRunner with small shell scripts: exit codes, unstartable paths, and the bounded wait.
#include "platform/linux/spawn_process_runner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <ostream>

#include <cerrno>
#include <sys/wait.h>

using namespace std::chrono_literals;

namespace {

// Writes `body` as a /bin/sh script at `path`, executable unless told otherwise.
QString WriteScript(const QString &path, const QByteArray &body, bool executable = true)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write("#!/bin/sh\n" + body + "\n");
    f.close();
    QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
    if (executable) perms |= QFile::ExeOwner;
    f.setPermissions(perms);
    return path;
}

// No child of ours is left, running or as a zombie.
bool NoChildrenLeft()
{
    int status;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

// A process that has ended: gone, or a zombie waiting for whoever adopted it.
bool HasEnded(const QByteArray &pid)
{
    QFile stat("/proc/" + pid + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close >= 0 && line.mid(close + 2, 1) == "Z";
}

struct ExitCase
{
    const char *name;
    const char *why;
    const char *relativePath; // under the temp dir; nullptr: no script written
    QByteArray body;
    bool executable;
    quint32 expected;
};

// Names the case in test listings (the default prints raw bytes).
void PrintTo(const ExitCase &c, std::ostream *os)
{
    *os << c.name;
}

class RunAndWaitExit : public ::testing::TestWithParam<ExitCase>
{
};

TEST_P(RunAndWaitExit, ReturnsTheExitCodeOrZero)
{
    const ExitCase c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(c.relativePath ? c.relativePath : "missing/SHUTSAVE.EXE");
    if (c.relativePath) {
        ASSERT_FALSE(WriteScript(path, c.body, c.executable).isEmpty());
    }

    SpawnProcessRunner runner;
    // A long bound: a case that waited at all would show up as a hang.
    EXPECT_EQ(runner.RunAndWait(path, 0, 60s), c.expected) << c.why;
    EXPECT_TRUE(NoChildrenLeft()) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunAndWaitExit,
    ::testing::Values(
        ExitCase{"ExitCode", "the program's own exit code", "SHUTSAVE.EXE", "exit 3", true, 3},
        ExitCase{"PathWithSpaces", "the whole text is the path, spaces and all, and no arguments are passed",
                 "Program Files/run me", "exit $(( $# + 5 ))", true, 5},
        ExitCase{"Missing", "a path that does not exist cannot be started", nullptr, "", true, 0},
        ExitCase{"NotExecutable", "a file without execute permission cannot be started", "SHUTSAVE.EXE",
                 "exit 3", false, 0},
        ExitCase{"Signalled", "ended by a signal: 128 plus its number", "SHUTSAVE.EXE", "kill -INT $$", true,
                 130}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RunAndWait, EmptyCommandLineIsNotStarted)
{
    SpawnProcessRunner runner;
    EXPECT_EQ(runner.RunAndWait(QString(), 0, 60s), 0u);
}

struct HangCase
{
    const char *name;
    const char *why;
    QByteArray body;
    quint32 expected;
};

// Names the case in test listings (the default prints raw bytes).
void PrintTo(const HangCase &c, std::ostream *os)
{
    *os << c.name;
}

class RunAndWaitTimeout : public ::testing::TestWithParam<HangCase>
{
};

// The script starts a child of its own and waits for it: after the bound
// the wait gives up, and neither the script nor its child survives. The
// child sleeps 30 s (forever here, yet bounded should a fault leave it
// behind) and keeps off our stdout, so a survivor fails the test instead
// of holding the test runner's pipe open.
TEST_P(RunAndWaitTimeout, GivesUpAndEndsTheWholeGroup)
{
    const HangCase c = GetParam();
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("child.pid");
    const QString path =
        WriteScript(dir.filePath("SHUTSAVE.EXE"),
                    c.body + "\nsleep 30 >/dev/null 2>&1 &\necho $! > '" + pidFile.toUtf8() + "'\nwait");
    ASSERT_FALSE(path.isEmpty());

    SpawnProcessRunner runner;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(runner.RunAndWait(path, 0, 300ms), c.expected) << c.why;
    EXPECT_GE(t.elapsed(), 300);

    EXPECT_TRUE(NoChildrenLeft());
    QFile f(pidFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray grandchild = f.readAll().trimmed();
    ASSERT_FALSE(grandchild.isEmpty());
    // The kill is immediate; the adopter may take a moment to reap.
    for (int i = 0; i < 100 && !HasEnded(grandchild); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(HasEnded(grandchild)) << "the script's own child outlived the wait";
}

INSTANTIATE_TEST_SUITE_P(Cases, RunAndWaitTimeout,
                         ::testing::Values(HangCase{"Terminated", "ends on SIGTERM", "", 128 + SIGTERM},
                                           HangCase{"Killed", "ignores SIGTERM, so SIGKILL follows",
                                                    "trap '' TERM", 128 + SIGKILL}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
