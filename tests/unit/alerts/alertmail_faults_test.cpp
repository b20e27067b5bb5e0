// Misbehaving mail servers: each costs one failure row in the real event log, is cut off in time and
// spoils nothing for the next mail.
#include "alertmail_fixture.h"

#include "support/scripted_smtp_server.h"

#include <QDir>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

int openFds()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// What the client sent before giving up: its commands without the parting QUIT.
std::vector<std::string> beforeQuit(std::vector<std::string> commands)
{
    if (!commands.empty() && commands.back() == "QUIT") commands.pop_back();
    return commands;
}

} // namespace

class AlertMailFaults : public AlertMailTest
{
protected:
    void SetUp() override
    {
        AlertMailTest::SetUp();
        addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
        addRecipient(QStringLiteral("王五"), QStringLiteral("c@example.com"), 1);
        addRecipient(QStringLiteral("李四"), QStringLiteral("b@example.com"), 2);
        db.tEmails.setFilter(QStringLiteral("ETYPE=2"));
        // A row logged before the mail, beside the start row of Open.
        db.LogEvent(QStringLiteral("市电中断"));
        emailsBefore = storedEmails();
    }

    // The LOGFILES rows on disk, "ID EVENT", read through a connection of their own.
    QStringList storedEvents() const
    {
        Database other;
        other.open(DatabasePath(folder), QString::fromLatin1(kDatabasePassword));
        Statement s = other.prepare(QStringLiteral("SELECT ID, EVENT FROM LOGFILES ORDER BY ID"));
        QStringList out;
        while (s.step())
            out << s.value(0).toString() + QLatin1Char(' ') + s.value(1).toString();
        return out;
    }

    // The new rows since SetUp, without their IDs; the earlier rows must be there unchanged.
    QStringList newEvents() const
    {
        const QStringList now = storedEvents();
        EXPECT_EQ(now.mid(0, rowsBefore.size()), rowsBefore);
        QStringList out;
        for (const QString &row : now.mid(rowsBefore.size()))
            out << row.section(QLatin1Char(' '), 1);
        return out;
    }

    // Sends one alert against script, checks what a failure must leave behind
    // and returns what the server received.
    ScriptedSmtpServer::Session failOnce(const ScriptedSmtpServer::Script &script, const QString &text,
                                         const char *why)
    {
        std::vector<ScriptedSmtpServer::Session> sessions;
        rowsBefore = storedEvents();
        const int fds = openFds();
        {
            ScriptedSmtpServer server(script);
            smtp.Port = server.port();
            mail.SendAlertMail(text, 1);
            sessions = server.sessions();
        }
        EXPECT_EQ(newEvents(), QStringList{kSendFailed}) << why;
        EXPECT_FALSE(smtp.IsConnectionOpen()) << why;
        EXPECT_EQ(openFds(), fds) << why << ": a descriptor left open";
        EXPECT_EQ(db.tEmails.filter(), QStringLiteral("ETYPE=2")) << why;
        EXPECT_EQ(visibleEmails(), QStringList{QStringLiteral("b@example.com")}) << why;
        EXPECT_EQ(storedEmails(), emailsBefore) << why;
        EXPECT_EQ(sessions.size(), 1u) << why;
        return sessions.empty() ? ScriptedSmtpServer::Session() : sessions[0];
    }

    // The same client then delivers to a sound server, to the recipients of the event.
    void thenAGoodMailGoesThrough(const char *why)
    {
        rowsBefore = storedEvents();
        ScriptedSmtpServer server{ScriptedSmtpServer::Script()};
        smtp.Port = server.port();
        mail.SendAlertMail(QStringLiteral("市电恢复"), 1);
        EXPECT_EQ(newEvents(), QStringList{kSentOk}) << why;
        const std::vector<ScriptedSmtpServer::Session> sessions = server.sessions();
        ASSERT_EQ(sessions.size(), 1u) << why;
        const std::vector<std::string> &c = sessions[0].commands;
        std::vector<std::string> rcpts;
        std::copy_if(c.begin(), c.end(), std::back_inserter(rcpts),
                     [](const std::string &line) { return line.rfind("RCPT", 0) == 0; });
        EXPECT_EQ(rcpts, (std::vector<std::string>{"RCPT TO:<a@example.com>", "RCPT TO:<c@example.com>"}))
            << why;
        EXPECT_EQ(c.back(), "QUIT") << why;
        EXPECT_FALSE(sessions[0].data.empty()) << why;
    }

    QStringList rowsBefore;
    QStringList emailsBefore;
    // Logs into the real database rather than the fixture's fake.
    AlertMail mail{smtp, db, db.tEmails, db, clock, QLocale(QStringLiteral("zh_CN"))};
};

// The reply bound covers the whole reply, not the gap between its bytes: a
// 20-byte greeting at a byte a second would otherwise hold the alert 20 s.
TEST_F(AlertMailFaults, ServerDrippingOneByteASecondIsCutOffByTheReplyBound)
{
    ScriptedSmtpServer::Script script;
    script.drip = std::chrono::seconds(1);
    smtp.ReplyBound = std::chrono::milliseconds(1500);
    const auto started = Steady::now();
    const ScriptedSmtpServer::Session s = failOnce(script, QStringLiteral("市电中断"), "dripping greeting");
    EXPECT_LT(Steady::now() - started, std::chrono::seconds(8)) << "held by the drip";
    // Cut off inside the greeting: not a single command went out.
    EXPECT_TRUE(beforeQuit(s.commands).empty());
    thenAGoodMailGoesThrough("after the dripping server");
}

// A line far beyond the client's line limit is refused once the limit is
// passed, without reading (or keeping) the rest of it.
TEST_F(AlertMailFaults, TenMegabyteReplyLineIsRefused)
{
    const std::string huge(10 * 1024 * 1024, 'x');
    struct Row
    {
        const char *why;
        const char *verb; // empty: the greeting
        std::string reply;
        const char *lastSent; // the client's last command before it gave up
    };
    const Row rows[] = {
        {"10 MB greeting line", "", "220 " + huge + "\r\n", nullptr},
        {"10 MB continuation line of the HELO reply", "HELO", "250-" + huge + "\r\n250 OK\r\n", "HELO"},
        {"10 MB without any line end", "MAIL", "250 " + huge, "MAIL"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.why);
        ScriptedSmtpServer::Script script;
        if (*r.verb)
            script.replies[r.verb] = {r.reply};
        else
            script.greeting = r.reply;
        const ScriptedSmtpServer::Session s = failOnce(script, QStringLiteral("市电中断"), r.why);
        const std::vector<std::string> commands = beforeQuit(s.commands);
        if (r.lastSent) {
            ASSERT_FALSE(commands.empty());
            EXPECT_EQ(commands.back().substr(0, 4), r.lastSent);
        } else {
            EXPECT_TRUE(commands.empty());
        }
    }
    thenAGoodMailGoesThrough("after the 10 MB lines");
}

// The server resets the connection after part of the data: with a short mail
// the reset meets the client waiting for the reply; a long one (text in the
// subject and the body, several MB, more than the loopback buffers hold) is
// still being written when it comes.
TEST_F(AlertMailFaults, ConnectionResetMidDataIsOneFailure)
{
    struct Row
    {
        const char *why;
        QString text;
    };
    const Row rows[] = {
        {"short mail, reset while the client waits", QStringLiteral("市电中断")},
        {"4 MB mail, reset while the client writes", QString(4 * 1024 * 1024, QLatin1Char('w'))},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.why);
        ScriptedSmtpServer::Script script;
        script.resetAfterDataBytes = 100;
        const ScriptedSmtpServer::Session s = failOnce(script, r.text, r.why);
        // The reset came inside the data, before its end: the server never
        // saw the final dot.
        ASSERT_FALSE(s.commands.empty());
        EXPECT_EQ(s.commands.back(), "DATA");
        EXPECT_EQ(s.raw.find("\r\n.\r\n"), std::string::npos);
    }
    thenAGoodMailGoesThrough("after the resets");
}
