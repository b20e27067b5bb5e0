// Running a program with posix_spawn and a bounded wait for its end.
#include "platform/linux/spawn_process_runner.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr auto kTermGrace = std::chrono::milliseconds(1000);

quint32 ExitCode(int status)
{
    if (WIFEXITED(status)) return static_cast<quint32>(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return 128u + static_cast<quint32>(WTERMSIG(status));
    return 0;
}

// Waits for `pid` until `deadline`; true with `status` filled once it ended.
bool WaitUntil(pid_t pid, Clock::time_point deadline, int &status)
{
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 && errno != EINTR) {
            status = 0; // not our child any more: nothing to wait for
            return true;
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(kPollInterval, deadline - Clock::now()));
    }
}

struct SpawnSetup
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup &) = delete;
    SpawnSetup &operator=(const SpawnSetup &) = delete;
};

Clock::time_point DeadlineAfter(std::chrono::milliseconds timeout)
{
    const auto now = Clock::now();
    if (timeout > std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now))
        return Clock::time_point::max();
    return now + timeout;
}

} // namespace

quint32 SpawnProcessRunner::RunAndWait(const QString &commandLine, int showState,
                                       std::chrono::milliseconds timeout)
{
    Q_UNUSED(showState); // nothing here has a window to show or hide
    if (commandLine.isEmpty()) return 0;
    // The whole text is the executable's path: a folder with spaces in its
    // name must not split it.
    const QByteArray path = QFile::encodeName(commandLine);

    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    posix_spawnattr_setpgroup(&setup.attr, 0);
    // Signals we ignore or block must not stay so in the child.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &all);
    posix_spawnattr_setflags(&setup.attr,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char *argv[] = {const_cast<char *>(path.constData()), nullptr};
    pid_t pid = -1;
    // glibc reports a failed exec through the return value, so a missing or
    // non-executable file ends here without any wait.
    if (posix_spawn(&pid, path.constData(), &setup.actions, &setup.attr, argv, environ) != 0) return 0;

    int status = 0;
    if (WaitUntil(pid, DeadlineAfter(timeout), status)) return ExitCode(status);

    // The group is addressed, not the pid: a script's own children go too.
    ::kill(-pid, SIGTERM);
    const bool ended = WaitUntil(pid, DeadlineAfter(kTermGrace), status);
    ::kill(-pid, SIGKILL); // whatever ignored SIGTERM, leader or not
    if (!ended) WaitUntil(pid, Clock::time_point::max(), status);
    return ExitCode(status);
}
