// Failed alert mails: one failure line in the event log, nothing else, and the connection closed.
#include "alertmail_fixture.h"

#include "support/scripted_smtp_server.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

bool sent(const ScriptedSmtpServer::Session &s, const std::string &prefix)
{
    return std::any_of(s.commands.begin(), s.commands.end(),
                       [&](const std::string &c) { return c.rfind(prefix, 0) == 0; });
}

} // namespace

class AlertMailFailures : public AlertMailTest
{
protected:
    void SetUp() override
    {
        AlertMailTest::SetUp();
        addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
        addRecipient(QStringLiteral("王五"), QStringLiteral("c@example.com"), 1);
        db.tEmails.setFilter(QStringLiteral("ETYPE=1"));
    }

    // After any failure: exactly one failure line, the client closed and the
    // dialog's filter in force again.
    void expectOneFailure(const char *why)
    {
        EXPECT_EQ(log.lines, QStringList{kSendFailed}) << why;
        EXPECT_FALSE(smtp.IsConnectionOpen()) << why;
        EXPECT_EQ(db.tEmails.filter(), QStringLiteral("ETYPE=1")) << why;
        EXPECT_EQ(visibleEmails(), QStringList{QStringLiteral("c@example.com")}) << why;
    }
};

TEST_F(AlertMailFailures, RefusalEndsTheExchangeBeforeDataAndQuitsPolitely)
{
    struct Row
    {
        const char *why;
        ScriptedSmtpServer::Script script;
        const char *notSent; // a command that must not follow the refusal, if any
    };
    const auto refusing = [](const char *verb, const char *reply) {
        ScriptedSmtpServer::Script s;
        s.replies[verb] = {reply};
        return s;
    };
    const auto greeting = [] {
        ScriptedSmtpServer::Script s;
        s.greeting = "554 no service\r\n";
        return s;
    };
    const Row rows[] = {
        {"the second recipient refused: nobody gets the mail",
         [] {
             ScriptedSmtpServer::Script s;
             s.replies["RCPT"] = {"250 OK\r\n", "550 no such user\r\n"};
             return s;
         }(),
         "DATA"},
        {"MAIL FROM refused by a server that wants authentication",
         refusing("MAIL", "530 authentication required\r\n"), "RCPT"},
        {"HELO refused", refusing("HELO", "501 who are you\r\n"), "MAIL"},
        {"greeting refused", greeting(), "HELO"},
        {"the message refused after its data", refusing(".", "554 rejected\r\n"), nullptr},
    };
    for (const Row &r : rows) {
        log.lines.clear();
        ScriptedSmtpServer server(r.script);
        smtp.Port = server.port();

        alert.SendAlertMail(QStringLiteral("市电中断"), 1);

        expectOneFailure(r.why);
        const std::vector<ScriptedSmtpServer::Session> sessions = server.sessions();
        ASSERT_EQ(sessions.size(), 1u) << r.why;
        const ScriptedSmtpServer::Session &s = sessions[0];
        ASSERT_FALSE(s.commands.empty()) << r.why;
        EXPECT_EQ(s.commands.back(), "QUIT") << r.why;
        if (r.notSent) {
            EXPECT_FALSE(sent(s, r.notSent)) << r.why;
        }
    }
}

TEST_F(AlertMailFailures, ServerDownIsOneFailureLine)
{
    smtp.Port = ScriptedSmtpServer::closedPort();
    alert.SendAlertMail(QStringLiteral("市电中断"), 1);
    expectOneFailure("connection refused");
}

TEST_F(AlertMailFailures, SilentServerIsOneFailureLineOnceTheWaitRunsOut)
{
    ScriptedSmtpServer::Script script;
    script.silent = true;
    ScriptedSmtpServer server(script);
    smtp.Port = server.port();
    smtp.ReplyBound = std::chrono::milliseconds(300);
    alert.SendAlertMail(QStringLiteral("市电中断"), 1);
    expectOneFailure("no greeting");
}

// A line break inside a stored address must not reach the dialogue as a
// command of its own: the mail is refused before MAIL FROM.
TEST_F(AlertMailFailures, AddressWithLineBreakIsRefusedWithoutReachingTheServer)
{
    db.tEmails.setFilter(QString());
    db.tEmails.first();
    db.tEmails.edit();
    db.tEmails.setValue(QStringLiteral("EMAIL"), QStringLiteral("a@example.com\r\nRCPT TO:evil@example.com"));
    db.tEmails.post();
    db.tEmails.setFilter(QStringLiteral("ETYPE=1"));
    ScriptedSmtpServer server{ScriptedSmtpServer::Script()};
    smtp.Port = server.port();

    alert.SendAlertMail(QStringLiteral("市电中断"), 1);

    expectOneFailure("CR LF in an address");
    for (const ScriptedSmtpServer::Session &s : server.sessions()) {
        EXPECT_FALSE(sent(s, "MAIL"));
        EXPECT_FALSE(sent(s, "RCPT"));
        EXPECT_EQ(s.raw.find("evil"), std::string::npos);
    }
}
