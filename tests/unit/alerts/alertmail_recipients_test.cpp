// The alert mail and the recipients' record set it shares with the settings dialog: filter, pending edits,
// mail off.
#include "alertmail_fixture.h"

#include "support/scripted_smtp_server.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> rcptCommands(const std::vector<ScriptedSmtpServer::Session> &sessions)
{
    std::vector<std::string> out;
    for (const ScriptedSmtpServer::Session &s : sessions)
        for (const std::string &c : s.commands)
            if (c.rfind("RCPT", 0) == 0) out.push_back(c);
    return out;
}

} // namespace

class AlertMailRecipients : public AlertMailTest
{
protected:
    void SetUp() override
    {
        AlertMailTest::SetUp();
        smtp.Port = server.port();
    }

    ScriptedSmtpServer server{ScriptedSmtpServer::Script()};
};

TEST_F(AlertMailRecipients, NoRecipientLogsTheAlertAndGivesTheDialogItsFilterBack)
{
    addRecipient(QStringLiteral("李四"), QStringLiteral("b@example.com"), 3);
    addRecipient(QStringLiteral("赵六"), QStringLiteral("d@example.com"), 4);
    addRecipient(QStringLiteral("钱七"), QStringLiteral("e@example.com"), 4);
    db.tEmails.setFilter(QStringLiteral("ETYPE=4")); // as the settings dialog may leave it

    alert.SendAlertMail(QStringLiteral("市电中断"), 1);

    EXPECT_EQ(log.lines, QStringList{QStringLiteral("警报市电中断无投递邮箱地址!")});
    EXPECT_TRUE(server.sessions().empty()) << "nothing may be sent";
    EXPECT_EQ(db.tEmails.filter(), QStringLiteral("ETYPE=4"));
    EXPECT_EQ(visibleEmails(),
              QStringList({QStringLiteral("d@example.com"), QStringLiteral("e@example.com")}));
}

// The dialog's row is stored before the recipients are read, so the mail
// goes to what the user typed; afterwards the dialog's grid shows the rows of
// its own filter, not the recipients of the mail (code 0 included).
class AlertMailPendingRow : public AlertMailRecipients
{
protected:
    void SetUp() override
    {
        AlertMailRecipients::SetUp();
        addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
        addRecipient(QStringLiteral("王五"), QStringLiteral("c@example.com"), 1);
        addRecipient(QStringLiteral("赵六"), QStringLiteral("d@example.com"), 4);
        db.tEmails.setFilter(QStringLiteral("ETYPE=1"));
        db.tEmails.first(); // the dialog's current row: c@example.com
    }

    void sendAndCheck(const std::vector<std::string> &rcpts, const QStringList &stored,
                      const QStringList &visible)
    {
        alert.SendAlertMail(QStringLiteral("市电中断"), 1);

        EXPECT_EQ(log.lines, QStringList{kSentOk});
        EXPECT_EQ(rcptCommands(server.sessions()), rcpts);
        EXPECT_EQ(db.tEmails.state(), RecordSet::State::Browse);
        EXPECT_EQ(storedEmails(), stored);
        EXPECT_EQ(db.tEmails.filter(), QStringLiteral("ETYPE=1"));
        EXPECT_EQ(visibleEmails(), visible);
    }
};

TEST_F(AlertMailPendingRow, EditedAddress)
{
    db.tEmails.edit();
    db.tEmails.setValue(QStringLiteral("EMAIL"), QStringLiteral("c2@example.com"));
    sendAndCheck(
        {"RCPT TO:<a@example.com>", "RCPT TO:<c2@example.com>"},
        {QStringLiteral("a@example.com"), QStringLiteral("c2@example.com"), QStringLiteral("d@example.com")},
        {QStringLiteral("c2@example.com")});
}

TEST_F(AlertMailPendingRow, RowBeingInserted)
{
    db.tEmails.append();
    db.tEmails.setValue(QStringLiteral("ENAME"), QStringLiteral("孙八"));
    db.tEmails.setValue(QStringLiteral("EMAIL"), QStringLiteral("f@example.com"));
    db.tEmails.setValue(QStringLiteral("ETYPE"), 1);
    sendAndCheck({"RCPT TO:<a@example.com>", "RCPT TO:<c@example.com>", "RCPT TO:<f@example.com>"},
                 {QStringLiteral("a@example.com"), QStringLiteral("c@example.com"),
                  QStringLiteral("d@example.com"), QStringLiteral("f@example.com")},
                 {QStringLiteral("c@example.com"), QStringLiteral("f@example.com")});
}

TEST_F(AlertMailRecipients, MailOffSendsNothingLogsNothingAndLeavesThePendingEdit)
{
    setSettings({{"bEMAIL", false}});
    addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
    db.tEmails.setFilter(QStringLiteral("ETYPE=0"));
    db.tEmails.edit();
    db.tEmails.setValue(QStringLiteral("EMAIL"), QStringLiteral("typed@example.com"));

    alert.SendAlertMail(QStringLiteral("市电中断"), 1);

    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_TRUE(server.sessions().empty());
    EXPECT_EQ(db.tEmails.state(), RecordSet::State::Edit);
    EXPECT_EQ(db.tEmails.filter(), QStringLiteral("ETYPE=0"));
    EXPECT_EQ(storedEmails(), QStringList{QStringLiteral("a@example.com")});
}

// A row that cannot be stored (its event code cleared) must not throw out of
// the alert, which would cost it the warning window; the user's row stays.
TEST_F(AlertMailRecipients, UnstorablePendingRowFailsTheMailAndStaysAsTyped)
{
    addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
    db.tEmails.setFilter(QStringLiteral("ETYPE=0"));
    db.tEmails.append();
    db.tEmails.setValue(QStringLiteral("EMAIL"), QStringLiteral("half@example.com"));
    db.tEmails.setValue(QStringLiteral("ETYPE"), QVariant());

    EXPECT_NO_THROW(alert.SendAlertMail(QStringLiteral("市电中断"), 1));

    EXPECT_EQ(log.lines, QStringList{kSendFailed});
    EXPECT_TRUE(server.sessions().empty());
    EXPECT_EQ(db.tEmails.state(), RecordSet::State::Insert);
    EXPECT_EQ(db.tEmails.asString(QStringLiteral("EMAIL")), QStringLiteral("half@example.com"));
    EXPECT_EQ(db.tEmails.filter(), QStringLiteral("ETYPE=0"));
    EXPECT_EQ(storedEmails(), QStringList{QStringLiteral("a@example.com")});
}
