// The event log under SIGKILL at random moments: the file stays intact and every returned LogEvent is kept.
#include "store_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <random>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What the child reports after each LogEvent that returned.
struct Logged
{
    std::int64_t id;
    std::int32_t run;
    std::int32_t index;
};

QString stormText(int run, int index)
{
    return QStringLiteral("storm %1 %2").arg(run).arg(index);
}

// The child: opens the program folder's database and logs until it is killed.
[[noreturn]] void logStorm(const QString &folder, int run, int out)
{
    try {
        AppDatabase db;
        db.Open(folder, QStringLiteral("start %1").arg(run));
        for (int i = 0; i < 1000000; ++i) {
            db.LogEvent(stormText(run, i));
            const Logged rec{db.conn.lastInsertRowId(), run, i};
            if (::write(out, &rec, sizeof rec) != sizeof rec) ::_exit(4);
        }
    } catch (...) {
        ::_exit(3);
    }
    ::_exit(0);
}

bool waitReadable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

} // namespace

TEST_F(StoreTest, EventsWhoseLogEventReturnedSurviveKillsAtRandomMoments)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> anyMoment(0, 100);  // ms after the start: in the open or in the storm
    std::uniform_int_distribution<int> stormMoment(0, 25); // ms after the first logged event

    std::map<std::int64_t, QString> logged;
    int failedChildren = 0;
    constexpr int kRuns = 50;
    for (int run = 0; run < kRuns; ++run) {
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            logStorm(folder, run, fds[1]);
        }
        ::close(fds[1]);
        // half the kills at any moment (also inside the open), half inside the storm
        if (run % 2 == 0)
            ::usleep(static_cast<useconds_t>(anyMoment(rng)) * 1000);
        else if (waitReadable(fds[0], 10000))
            ::usleep(static_cast<useconds_t>(stormMoment(rng)) * 1000);
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        if (!(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)) ++failedChildren;

        Logged rec;
        while (::read(fds[0], &rec, sizeof rec) == sizeof rec)
            logged[rec.id] = stormText(rec.run, rec.index);
        ::close(fds[0]);
    }
    EXPECT_EQ(failedChildren, 0) << "a child ended by itself instead of being killed";
    // the kills did land in the middle of logging, not only before it
    ASSERT_GT(logged.size(), std::size_t(kRuns));

    Database db;
    openOther(db);
    Statement check = db.prepare(QStringLiteral("PRAGMA integrity_check"));
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.value(0).toString(), QStringLiteral("ok"));

    Statement row = db.prepare(QStringLiteral("SELECT EVENT FROM LOGFILES WHERE ID = ?1"));
    int missing = 0;
    for (const auto &[id, text] : logged) {
        row.reset();
        row.bind(1, QVariant(qint64(id)));
        if (!row.step() || row.value(0).toString() != text) {
            if (++missing <= 5) ADD_FAILURE() << "event " << id << " (" << text.toStdString() << ") is lost";
        }
    }
    EXPECT_EQ(missing, 0) << "of " << logged.size() << " logged events";
}
