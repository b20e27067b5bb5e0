// The encrypted connection: opening and its failures, sharing the file, the schema, CVDate.
#include "store_fixture.h"

#include "store/cvdate.h"

#include <QFileInfo>

#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

struct OpenFailure
{
    const char *why;
    std::function<void(const QString &path)> damage; // makes the file at path unusable
    const char *password;
};

void dropTable(const QString &path, const char *table)
{
    Database db;
    db.open(path, QString::fromLatin1(kDatabasePassword));
    db.exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table)));
}

void fillLog(const QString &path, int rows)
{
    Database db;
    db.open(path, QString::fromLatin1(kDatabasePassword));
    db.exec(QStringLiteral("BEGIN"));
    Statement insert = db.prepare(QStringLiteral("INSERT INTO LOGFILES(EVENT) VALUES(?1)"));
    for (int i = 0; i < rows; ++i) {
        insert.reset();
        insert.bind(1, QString(200, QChar(u'日')) + QString::number(i));
        insert.step();
    }
    db.exec(QStringLiteral("COMMIT"));
}

void truncateTo(const QString &path, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.resize(size));
}

const OpenFailure kOpenFailures[] = {
    {"missing file", [](const QString &path) { QFile::remove(path); }, kDatabasePassword},
    {"wrong password", [](const QString &) {}, "wqpz@4817"},
    {"no password", [](const QString &) {}, ""},
    {"not a database",
     [](const QString &path) {
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
         file.write(QByteArray(8192, 'x'));
     },
     kDatabasePassword},
    {"truncated inside the first page", [](const QString &path) { truncateTo(path, 700); },
     kDatabasePassword},
    {"truncated by one byte",
     [](const QString &path) {
         fillLog(path, 400);
         truncateTo(path, QFileInfo(path).size() - 1);
     },
     kDatabasePassword},
    {"truncated at a page boundary",
     [](const QString &path) {
         fillLog(path, 400);
         truncateTo(path, QFileInfo(path).size() * 6 / 10 / 4096 * 4096);
     },
     kDatabasePassword},
    {"missing Settings", [](const QString &path) { dropTable(path, "Settings"); }, kDatabasePassword},
    {"missing Emails", [](const QString &path) { dropTable(path, "Emails"); }, kDatabasePassword},
    {"missing LOGFILES", [](const QString &path) { dropTable(path, "LOGFILES"); }, kDatabasePassword},
    {"missing CloseFiles", [](const QString &path) { dropTable(path, "CloseFiles"); }, kDatabasePassword},
    {"missing imglst", [](const QString &path) { dropTable(path, "imglst"); }, kDatabasePassword},
};

void PrintTo(const OpenFailure &failure, std::ostream *os)
{
    *os << failure.why;
}

class OpenFailureTest : public StoreTest, public ::testing::WithParamInterface<OpenFailure>
{
};

} // namespace

TEST_P(OpenFailureTest, IsOneStoreErrorAndLeavesEverythingClosed)
{
    const OpenFailure &c = GetParam();
    c.damage(path());
    const bool existed = QFile::exists(path());

    Database db;
    EXPECT_THROW(db.open(path(), QString::fromUtf8(c.password)), StoreError);
    EXPECT_FALSE(db.isOpen());
    EXPECT_FALSE(db.lastError().isEmpty());
    EXPECT_EQ(QFile::exists(path()), existed) << "opening must never create the file";

    // The whole opening sequence of the program fails the same way, with nothing
    // left open and nothing logged.
    AppDatabase app;
    if (QString::fromUtf8(c.password) == QLatin1String(kDatabasePassword)) {
        EXPECT_THROW(app.Open(folder, QStringLiteral("start")), StoreError);
        EXPECT_FALSE(app.isOpen());
        EXPECT_FALSE(app.tImgLst.isOpen());
        EXPECT_FALSE(app.tSet.isOpen());
        EXPECT_FALSE(app.tCloseFiles.isOpen());
        EXPECT_FALSE(app.tEmails.isOpen());
        EXPECT_NO_THROW(app.LogEvent(QStringLiteral("after a failed open")));
    }
}

INSTANTIATE_TEST_SUITE_P(Store, OpenFailureTest, ::testing::ValuesIn(kOpenFailures),
                         [](const ::testing::TestParamInfo<OpenFailure> &info) {
                             std::string name;
                             for (const char *p = info.param.why; *p; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                             return name;
                         });

TEST_F(StoreTest, AFailedReopenClosesWhatWasOpen)
{
    AppDatabase app;
    app.Open(folder, QStringLiteral("start"));
    ASSERT_TRUE(app.tSet.isOpen());
    dropTable(path(), "CloseFiles");
    EXPECT_THROW(app.Open(folder, QStringLiteral("start")), StoreError);
    EXPECT_FALSE(app.isOpen());
    EXPECT_FALSE(app.tSet.isOpen());
    EXPECT_THROW(app.tSet.asInt(QStringLiteral("iACTimer")), StoreError);
}

TEST_F(StoreTest, ASecondConnectionWritingMeanwhileIsWaitedFor)
{
    AppDatabase app;
    app.Open(folder, QStringLiteral("start"));

    // Another connection holds the write lock when we log; it lets go shortly.
    std::atomic<bool> locked{false};
    std::string otherError;
    std::thread other([&] {
        try {
            Database second;
            openOther(second);
            second.exec(QStringLiteral("BEGIN IMMEDIATE"));
            second.exec(QStringLiteral("INSERT INTO LOGFILES(EVENT) VALUES('from the other connection')"));
            locked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            second.exec(QStringLiteral("COMMIT"));
        } catch (const StoreError &e) {
            otherError = e.what();
            locked = true;
        }
    });
    while (!locked)
        std::this_thread::yield();
    EXPECT_NO_THROW(app.LogEvent(QStringLiteral("while the other one writes")));
    other.join();
    EXPECT_EQ(otherError, "");
    EXPECT_EQ(count(app.conn, QStringLiteral("SELECT count(*) FROM LOGFILES")), 3);
}

TEST_F(StoreTest, TheSqlcipherShellWritesWhileWeHoldTheFile)
{
    AppDatabase app;
    app.Open(folder, QStringLiteral("start"));
    QString script =
        QStringLiteral("PRAGMA key='%1';\n.timeout 5000\n").arg(QLatin1String(kDatabasePassword));
    for (int i = 0; i < 150; ++i)
        script += QStringLiteral("INSERT INTO LOGFILES(EVENT) VALUES('shell %1');\n").arg(i);
    script += QStringLiteral("SELECT 'done';\n");

    QProcess shell;
    shell.start(QStringLiteral("/usr/bin/sqlcipher"), {path()});
    ASSERT_TRUE(shell.waitForStarted(10000));
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    // Keep writing from before the shell's first insert until after its last.
    int ours = 0;
    // The program logs as a monitor does, in bursts with pauses between them;
    // a loop that never lets go of the file is not an overlap a user meets.
    while (!shell.waitForFinished(2) && ours < 3000) {
        ASSERT_NO_THROW(app.LogEvent(QStringLiteral("program %1").arg(ours)));
        ++ours;
    }
    if (shell.state() != QProcess::NotRunning) {
        ASSERT_TRUE(shell.waitForFinished(15000));
    }
    const QString err = QString::fromUtf8(shell.readAllStandardError());
    EXPECT_EQ(shell.exitCode(), 0) << err.toStdString();
    EXPECT_FALSE(err.contains(QLatin1String("locked"))) << err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(shell.readAllStandardOutput()).contains(QLatin1String("done")));
    EXPECT_EQ(count(app.conn, QStringLiteral("SELECT count(*) FROM LOGFILES")), 1 + 150 + ours);
}

TEST_F(StoreTest, ConnectionSyncsEveryCommitToDisk)
{
    Database db;
    openOther(db);
    EXPECT_EQ(count(db, QStringLiteral("PRAGMA synchronous")), 2) << "FULL";
    Statement mode = db.prepare(QStringLiteral("PRAGMA journal_mode"));
    ASSERT_TRUE(mode.step());
    EXPECT_EQ(mode.value(0).toString(), QStringLiteral("wal"));
}

TEST_F(StoreTest, CreatedFileIsPrivateAndNeverOverwritten)
{
    const QString fresh = folder + QStringLiteral("fresh.mdb");
    Database db;
    db.create(fresh, QStringLiteral("pw"));
    CreateSchema(db);
    db.close();
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_THROW(db.create(fresh, QStringLiteral("pw")), StoreError);
    EXPECT_NO_THROW(db.open(fresh, QStringLiteral("pw")));
}

TEST_F(StoreTest, SchemaHasTheColumnsTheProgramReads)
{
    Database db;
    openOther(db);
    const std::pair<const char *, QStringList> tables[] = {
        {"Settings",
         {"bSysNoClose:INTEGER", "bSysNoTB:INTEGER",   "bSysStayOnTop:INTEGER", "sCOM:TEXT",
          "shidDevName:TEXT",    "bEMAIL:INTEGER",     "sSenderName:TEXT",      "sSenderEmail:TEXT",
          "sSenderServer:TEXT",  "sSenderCount:TEXT",  "sSenderPassword:TEXT",  "bSSL:INTEGER",
          "bShutWinOS:INTEGER",  "bAutoSave:INTEGER",  "bExecuteApp:INTEGER",   "sExecuteApp:TEXT",
          "bShutUPS:INTEGER",    "iACTimer:INTEGER",   "iBatTimer:INTEGER",     "iAppTimer:INTEGER",
          "bWarning:INTEGER",    "iWarnTimer:INTEGER", "sACOff:TEXT",           "sACOn:TEXT",
          "sBatDown:TEXT",       "sBatUp:TEXT"}},
        {"Emails", {"ENAME:TEXT", "EMAIL:TEXT", "ETYPE:INTEGER"}},
        {"LOGFILES", {"ID:INTEGER", "ETIME:DATETIME", "EVENT:TEXT"}},
        {"CloseFiles", {"pathfilename:TEXT", "filename:TEXT"}},
        {"imglst", {"IMGID:INTEGER", "imgdat:BLOB"}},
    };
    for (const auto &[table, expected] : tables) {
        Statement info = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(table)));
        QStringList columns;
        while (info.step())
            columns.append(info.value(1).toString() + QLatin1Char(':') + info.value(2).toString());
        EXPECT_EQ(columns, expected) << table;
    }
}

TEST_F(StoreTest, PrepareRefusesASecondStatement)
{
    Database db;
    openOther(db);
    EXPECT_THROW(db.prepare(QStringLiteral("SELECT 1; DELETE FROM LOGFILES")), StoreError);
    EXPECT_NO_THROW(db.prepare(QStringLiteral("SELECT 1;\r\n")));
    EXPECT_THROW(db.exec(QStringLiteral("SELECT nothing FROM nowhere")), StoreError);
    EXPECT_TRUE(db.lastError().contains(QLatin1String("nowhere")));
}

// ---- CVDate ----

TEST(CVDate, NormalisesTheProgramsDateTimeTexts)
{
    const std::pair<const char *, const char *> cases[] = {
        {"2009-01-07 23:59:59", "2009-01-07 23:59:59"},
        {"2009-01-07", "2009-01-07 00:00:00"}, // midnight: the time is left out
        {"2009-01-07 08:05", "2009-01-07 08:05:00"},
        {"2009-1-7 8:05:09", "2009-01-07 08:05:09"}, // one-digit fields
        {"  2024-02-29 12:00:00 ", "2024-02-29 12:00:00"},
        {"2000-02-29", "2000-02-29 00:00:00"}, // divisible by 400: a leap year
    };
    for (const auto &[in, out] : cases) {
        const auto got = NormaliseDateTime(in);
        ASSERT_TRUE(got.has_value()) << in;
        EXPECT_EQ(*got, out) << in;
    }
}

TEST(CVDate, RefusesAnythingElse)
{
    const char *const cases[] = {
        "",
        " ",
        "garbage",
        "2009-13-01",
        "2009-00-10",
        "2009-02-29",
        "1900-02-29",
        "2009-04-31",
        "2009-01-07 24:00:00",
        "2009-01-07 23:60",
        "2009-01-07 23:59:60",
        "2009-01-07 23",
        "2009-01-07 23:5",
        "20090107",
        "09-01-07",
        "12009-01-07",
        "2009-01-07T00:00:00",
        "2009-01-07 00:00:00 x",
        "2009-01-07 00:00:00.5",
        "0000-01-01",
        "-2009-01-07",
        "2009/01/07",
        "2009-001-07",
    };
    for (const char *in : cases)
        EXPECT_FALSE(NormaliseDateTime(in).has_value()) << '"' << in << '"';
    EXPECT_FALSE(NormaliseDateTime(std::string(1 << 20, '9')).has_value());
    EXPECT_FALSE(NormaliseDateTime(std::string_view("2009-01-07\0 00:00", 16)).has_value());
}

TEST_F(StoreTest, CVDateInSqlGivesTextOrNull)
{
    Database db;
    openOther(db);
    Statement s = db.prepare(QStringLiteral(
        "SELECT CVDate('2009-01-07'), CVDate(\"2009-01-07 23:59:59\"), CVDate('x'), CVDate(NULL), CVDate(42),"
        " CVDate(x'C328FFFE'), CVDate(zeroblob(100000)), CVDate(?1)"));
    s.bind(1, QString(300000, QLatin1Char('2')));
    ASSERT_TRUE(s.step());
    EXPECT_EQ(s.value(0), QVariant(QStringLiteral("2009-01-07 00:00:00")));
    EXPECT_EQ(s.value(1), QVariant(QStringLiteral("2009-01-07 23:59:59")));
    for (int c = 2; c < 8; ++c)
        EXPECT_TRUE(s.value(c).isNull()) << c;
}
