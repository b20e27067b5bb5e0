// The application database: opening, the event log and the log viewer's statements.
#include "store_fixture.h"

#include "lang/messages.h"

#include <QDateTime>

#include <ctime>

namespace {

class AppDatabaseTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        app.Open(folder, QStringLiteral("监控系统启动."));
    }

    struct Row
    {
        qint64 id;
        QString time;
        QString event;
    };

    std::vector<Row> logRows(const QString &sql = QStringLiteral("select * from logfiles order by ID"))
    {
        RecordSet rs(app.conn);
        rs.openSql(sql);
        std::vector<Row> rows;
        for (; !rs.eof(); rs.next())
            rows.push_back({rs.value(QStringLiteral("ID")).toLongLong(), rs.asString(QStringLiteral("ETIME")),
                            rs.asString(QStringLiteral("EVENT"))});
        return rows;
    }

    // Puts a row at a chosen time, as the program never does, to test time ranges.
    void logAt(const char *time, const char *event)
    {
        Statement s = app.conn.prepare(QStringLiteral("INSERT INTO LOGFILES(ETIME, EVENT) VALUES(?1, ?2)"));
        s.bind(1, QLatin1String(time));
        s.bind(2, QLatin1String(event));
        s.step();
    }

    AppDatabase app;
};

} // namespace

TEST_F(AppDatabaseTest, OpeningLogsTheStartLineAndOpensTheTables)
{
    EXPECT_TRUE(app.isOpen());
    for (RecordSet *rs : {&app.tImgLst, &app.tSet, &app.tCloseFiles, &app.tEmails})
        EXPECT_TRUE(rs->isOpen());
    EXPECT_FALSE(app.vLogFiles.isOpen());
    EXPECT_EQ(app.vLogFiles.sql(), QStringLiteral("select * from logfiles"));
    EXPECT_EQ(app.tEmails.filter(), QString());
    const auto rows = logRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].event, QStringLiteral("监控系统启动."));

    // Opening again first closes, then logs the catalogue's start line.
    app.tEmails.setFilter(QStringLiteral("ETYPE=2"));
    app.Open(folder);
    EXPECT_EQ(app.tEmails.filter(), QString());
    const auto again = logRows();
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1].event, Msg().msgMonStart);
}

TEST_F(AppDatabaseTest, EventIdsGrowInCallOrderAlsoAfterDeletes)
{
    app.LogEvent(QStringLiteral("a"));
    app.LogEvent(QStringLiteral("b"));
    const qint64 highest = logRows().back().id;
    app.conn.exec(QStringLiteral("DELETE FROM LOGFILES WHERE ID=%1").arg(highest));
    app.LogEvent(QStringLiteral("c"));
    EXPECT_GT(logRows().back().id, highest) << "a deleted ID is not handed out again";
    app.conn.exec(QStringLiteral("DELETE FROM LOGFILES"));
    app.LogEvent(QStringLiteral("d"));
    const auto rows = logRows(QStringLiteral("select * from logfiles order by ID desc"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_GT(rows[0].id, highest + 1);

    app.LogEvent(QStringLiteral("e"));
    const auto newestFirst = logRows(QStringLiteral("select * from logfiles order by ID desc"));
    ASSERT_EQ(newestFirst.size(), 2u);
    EXPECT_EQ(newestFirst[0].event, QStringLiteral("e"));
    EXPECT_EQ(newestFirst[1].event, QStringLiteral("d"));
}

TEST_F(AppDatabaseTest, EventTimeIsTheLocalTimeOfInsertion)
{
    // A zone eight hours from UTC, so a UTC time cannot pass for a local one.
    struct ZoneGuard
    {
        QByteArray old = qgetenv("TZ");
        ZoneGuard()
        {
            qputenv("TZ", "Asia/Shanghai");
            tzset();
        }
        ~ZoneGuard()
        {
            old.isNull() ? qunsetenv("TZ") : qputenv("TZ", old);
            tzset();
        }
    } zone;
    const QDateTime before = QDateTime::currentDateTime();
    app.LogEvent(QString());
    const auto row = logRows().back();
    EXPECT_EQ(row.event, QString()) << "an empty event is a row with an empty text";
    const QDateTime stored = QDateTime::fromString(row.time, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    ASSERT_TRUE(stored.isValid()) << row.time.toStdString();
    EXPECT_LE(std::abs(before.secsTo(stored)), 5) << row.time.toStdString();
}

TEST_F(AppDatabaseTest, AnyTextIsStoredExactly)
{
    QString big;
    while (big.size() < 64 * 1024)
        big += QStringLiteral("市电断电 \"quoted\" 'single' \\ back\r\n");
    const QString texts[] = {
        QStringLiteral("say \"hello\""),
        QStringLiteral("it's"),
        QStringLiteral("C:\\Program Files\\UPS\\"),
        QStringLiteral("line one\nline two\r\nline three\r"),
        QString(),
        QStringLiteral("\"); DELETE FROM LOGFILES; --"),
        QStringLiteral("%s %d %n"),
        QStringLiteral("UPS 电池电压低 🔋"),
        big,
    };
    for (const QString &text : texts)
        app.LogEvent(text);
    const auto rows = logRows();
    ASSERT_EQ(rows.size(), std::size(texts) + 1);
    for (size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(rows[i + 1].event, texts[i]) << i;
}

TEST_F(AppDatabaseTest, LoggingWithTheConnectionClosedDoesNothing)
{
    app.Close();
    EXPECT_FALSE(app.isOpen());
    EXPECT_NO_THROW(app.LogEvent(QStringLiteral("lost")));
    Database other;
    openOther(other);
    EXPECT_EQ(count(other, QStringLiteral("SELECT count(*) FROM LOGFILES")), 1);
}

TEST_F(AppDatabaseTest, AFailingLogStatementReachesTheCaller)
{
    app.conn.exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE INSERT ON LOGFILES BEGIN SELECT RAISE(ABORT, 'full'); END"));
    EXPECT_THROW(app.LogEvent(QStringLiteral("x")), StoreError);
}

TEST_F(AppDatabaseTest, SettingsReadersSeeTheDialogsEditUntilCancel)
{
    const SettingsRow &settings = app;
    app.tSet.edit();
    app.tSet.setValue(QStringLiteral("bEMAIL"), true);
    app.tSet.setValue(QStringLiteral("sSenderServer"), QStringLiteral("mail.example.org"));
    EXPECT_TRUE(settings.GetBool("bEMAIL"));
    EXPECT_EQ(settings.GetText("sSenderServer"), QStringLiteral("mail.example.org"));
    app.tSet.cancel();
    EXPECT_FALSE(settings.GetBool("bEMAIL"));
    EXPECT_EQ(settings.GetText("sSenderServer"), QString());
    EXPECT_EQ(settings.GetInt("iBatTimer"), 30);
}

// The statements the event-log viewer builds: CR LF line ends, double-quoted
// date-time texts read back by CVDate.
TEST_F(AppDatabaseTest, ViewerStatementListsAndClearsExactlyTheRowsInRange)
{
    app.conn.exec(QStringLiteral("DELETE FROM LOGFILES"));
    logAt("2009-01-06 23:59:59", "before");
    logAt("2009-01-07 00:00:00", "at start");
    logAt("2009-01-07 12:30:00", "noon");
    logAt("2009-01-07 23:59:59", "at end");
    logAt("2009-01-08 00:00:00", "after");

    const QString ranged =
        QStringLiteral("SELECT * FROM LOGFILES\r\n WHERE \r\nETIME >= CVDate(\"2009-01-07\")\r\n"
                       " AND \r\nETIME <= CVDate(\"2009-01-07 23:59:59\")\r\n ORDER BY ID DESC\r\n");
    app.vLogFiles.setSql(ranged);
    app.vLogFiles.open();
    QStringList listed;
    for (; !app.vLogFiles.eof(); app.vLogFiles.next())
        listed.append(app.vLogFiles.asString(QStringLiteral("EVENT")));
    EXPECT_EQ(listed, QStringList({"at end", "noon", "at start"}));

    const QString endOnly = QStringLiteral("SELECT * FROM LOGFILES\r\n WHERE \r\nETIME <= "
                                           "CVDate(\"2009-01-07 12:30\")\r\n ORDER BY ID DESC\r\n");
    app.vLogFiles.setSql(endOnly);
    app.vLogFiles.open();
    EXPECT_EQ(app.vLogFiles.recordCount(), 3);

    // Clear: delete the current row until the list is empty, while the program
    // keeps logging; only the listed rows go.
    app.vLogFiles.setSql(ranged);
    app.vLogFiles.open();
    app.LogEvent(QStringLiteral("logged while the viewer is open"));
    while (!app.vLogFiles.isEmpty())
        app.vLogFiles.deleteCurrent();
    QStringList left;
    for (const auto &row : logRows())
        left.append(row.event);
    EXPECT_EQ(left, QStringList({"before", "after", "logged while the viewer is open"}));

    // A text CVDate cannot read matches nothing and deletes nothing.
    app.vLogFiles.setSql(QStringLiteral("SELECT * FROM LOGFILES WHERE ETIME >= CVDate(\"yesterday\")"));
    app.vLogFiles.open();
    EXPECT_TRUE(app.vLogFiles.isEmpty());
}
