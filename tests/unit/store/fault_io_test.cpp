// The store when the file is busy, the disk is full, and the modes of the files it creates.
#include "store_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

qint64 eventId(Database &db, const QString &text)
{
    Statement s = db.prepare(QStringLiteral("SELECT ID FROM LOGFILES WHERE EVENT = ?1"));
    s.bind(1, text);
    return s.step() ? s.value(0).toLongLong() : -1;
}

QString integrity(Database &db)
{
    Statement s = db.prepare(QStringLiteral("PRAGMA integrity_check"));
    return s.step() ? s.value(0).toString() : QStringLiteral("no result");
}

unsigned modeOf(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return st.st_mode & 0777;
}

// Lowers the largest file this process may write, with SIGXFSZ ignored so a
// write past it fails with EFBIG as on a full disk; both are restored after.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &savedAction_);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lower = saved_;
        lower.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::sigaction(SIGXFSZ, &savedAction_, nullptr);
    }
    bool ok() const { return ok_; }

private:
    rlimit saved_ = {};
    struct sigaction savedAction_ = {};
    bool ok_ = false;
};

} // namespace

TEST_F(StoreTest, EventLoggedWhileAnotherProcessHoldsTheFileWaitsAndIsKept)
{
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // another process: a second connection that holds the write lock for 2 s
        int rc = 0;
        try {
            Database other;
            openOther(other);
            other.exec(QStringLiteral("BEGIN EXCLUSIVE"));
            other.exec(QStringLiteral("INSERT INTO LOGFILES(EVENT) VALUES('held by the other process')"));
            if (::write(ready[1], "x", 1) != 1) rc = 4;
            ::usleep(2000 * 1000);
            other.exec(QStringLiteral("COMMIT"));
        } catch (...) {
            rc = 3;
        }
        ::_exit(rc);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the other process did not take the lock";
    ::close(ready[0]);

    AppDatabase db;
    ASSERT_NO_THROW(db.Open(folder, QStringLiteral("start while locked")));
    ASSERT_NO_THROW(db.LogEvent(QStringLiteral("logged while locked")));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    // both of our rows are there, after the other process's row: we waited for its commit
    const qint64 theirs = eventId(db.conn, QStringLiteral("held by the other process"));
    ASSERT_GT(theirs, 0);
    EXPECT_GT(eventId(db.conn, QStringLiteral("start while locked")), theirs);
    EXPECT_GT(eventId(db.conn, QStringLiteral("logged while locked")),
              eventId(db.conn, QStringLiteral("start while locked")));
}

TEST_F(StoreTest, FullDiskIsAStoreErrorThatLosesAndCorruptsNothing)
{
    AppDatabase db;
    db.Open(folder, QStringLiteral("start"));
    for (int i = 0; i < 5; ++i)
        db.LogEvent(QStringLiteral("before %1").arg(i));

    const qint64 largest =
        std::max(QFileInfo(path()).size(), QFileInfo(path() + QStringLiteral("-wal")).size());
    const QString big(4000, QLatin1Char('x'));
    int logged = 0;
    bool raised = false;
    {
        FileSizeLimit limit(static_cast<rlim_t>(largest + 64 * 1024));
        ASSERT_TRUE(limit.ok());
        for (; logged < 500 && !raised; ++logged) {
            try {
                db.LogEvent(big + QString::number(logged));
            } catch (const StoreError &) {
                raised = true;
            }
        }
    }
    ASSERT_TRUE(raised) << "no write failed within " << logged << " events";

    // with room again the same connection goes on logging
    EXPECT_NO_THROW(db.LogEvent(QStringLiteral("after")));
    db.Close();

    Database check;
    openOther(check);
    EXPECT_EQ(integrity(check), QStringLiteral("ok"));
    for (int i = 0; i < 5; ++i)
        EXPECT_GT(eventId(check, QStringLiteral("before %1").arg(i)), 0) << i;
    for (int i = 0; i + 1 < logged; ++i)
        EXPECT_GT(eventId(check, big + QString::number(i)), 0) << "event " << i << " returned but is lost";
    EXPECT_EQ(eventId(check, big + QString::number(logged - 1)), -1) << "the refused event is not half there";
    EXPECT_GT(eventId(check, QStringLiteral("after")), 0);
}

TEST_F(StoreTest, DatabaseAndTheFilesBesideItAreForTheOwnerOnlyWhateverTheUmask)
{
    // a user whose umask lets everybody read what they create
    const mode_t savedMask = ::umask(0);
    const QString file = dir.path() + QStringLiteral("/open/Kestrava.mdb");
    try {
        WriteDefaultDatabase(file, QString());
    } catch (...) {
        ::umask(savedMask);
        throw;
    }
    AppDatabase db;
    db.Open(dir.path() + QStringLiteral("/open"), QStringLiteral("start"));
    db.LogEvent(QStringLiteral("an event"));
    ::umask(savedMask);

    // the log and the mail password are in all of them
    EXPECT_EQ(modeOf(file), 0600u);
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString companion = file + QLatin1String(suffix);
        ASSERT_TRUE(QFileInfo::exists(companion)) << suffix;
        EXPECT_EQ(modeOf(companion), 0600u) << suffix;
    }
}
