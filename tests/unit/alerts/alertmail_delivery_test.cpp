// The alert mail against a real SMTP server (aiosmtpd on 127.0.0.1), read back by Python's mail parser.
#include "alertmail_fixture.h"

#include "lang/gb2312.h"
#include "support/smtp_test_server.h"

namespace {

QString header(const SmtpTestServer::Message &m, const char *name)
{
    return m.headers.value(QLatin1String(name)).toString();
}

QByteArray bodyOf(const SmtpTestServer::Message &m)
{
    const qsizetype end = m.data.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : m.data.mid(end + 4);
}

QByteArray gbLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines)
        out += gb::encode(line) + "\r\n";
    return out;
}

QStringList addresses(const char *a, const char *b = nullptr)
{
    QStringList out{QLatin1String(a)};
    if (b) out << QLatin1String(b);
    return out;
}

} // namespace

class AlertMailDelivery : public AlertMailTest
{
protected:
    void SetUp() override
    {
        AlertMailTest::SetUp();
        startServer(SmtpTestServer::Options());
    }

    void startServer(SmtpTestServer::Options options)
    {
        server = std::make_unique<SmtpTestServer>(options);
        ASSERT_TRUE(server->start()) << server->errorString().toStdString();
        smtp.Port = server->port();
    }

    std::unique_ptr<SmtpTestServer> server;
};

TEST_F(AlertMailDelivery, WholeMailReachesTheRecipientsOfItsEvent)
{
    addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
    addRecipient(QStringLiteral("李四"), QStringLiteral("b@example.com"), 3);
    addRecipient(QStringLiteral("王五"), QStringLiteral("c@example.com"), 1);
    alert.SendAlertMail(QStringLiteral("市电中断"), 1);

    QList<SmtpTestServer::Message> got = server->messages();
    ASSERT_EQ(got.size(), 1);
    const SmtpTestServer::Message &m = got[0];
    EXPECT_EQ(m.mailFrom, QStringLiteral("ups@example.com"));
    EXPECT_EQ(m.rcptTos, addresses("a@example.com", "c@example.com"));
    EXPECT_EQ(header(m, "Subject"), QStringLiteral("Kestrava:市电中断"));
    EXPECT_EQ(header(m, "From"), QStringLiteral("UPS 监控 <ups@example.com>"));
    EXPECT_EQ(header(m, "Disposition-Notification-To"), QStringLiteral("UPS 监控 <ups@example.com>"));
    EXPECT_EQ(header(m, "To"), QStringLiteral("a@example.com, c@example.com"));
    EXPECT_EQ(header(m, "content_type"), QStringLiteral("text/html"));
    EXPECT_EQ(header(m, "charset"), QStringLiteral("gb2312"));
    EXPECT_EQ(header(m, "X-Mailer"), QStringLiteral("Kestrava"));
    // Names keep their trailing separators; line 7 is the clock's moment in
    // the zh_CN short-date and long-time formats.
    EXPECT_EQ(bodyOf(m),
              gbLines({
                  QStringLiteral("亲爱的张三  王五  :<br>"),
                  QStringLiteral("　　您好!<br>"),
                  QStringLiteral("　　<b>UPS 监控</b>向您报告一个紧急事件：<br>"),
                  QStringLiteral("<br>"),
                  QStringLiteral("　　<font\tcolor=#ff0000><b>市电中断</b></font><br>"),
                  QStringLiteral("<br>"),
                  QStringLiteral("　　发生时间：<b>2024/1/5 CST 09:03:07</b><br>"),
                  QStringLiteral("　　<font\tcolor=#707070>这是系统自动发送的邮件，请慎重！</font><br>"),
              }));
    EXPECT_TRUE(m.auth.isEmpty());
    EXPECT_FALSE(m.esmtp) << "a client that never authenticated greets with HELO";
    EXPECT_EQ(log.lines, QStringList{kSentOk});
    EXPECT_FALSE(smtp.IsConnectionOpen());
}

TEST_F(AlertMailDelivery, EachEventCodeSelectsItsOwnRecipientsPlusThoseOfEveryEvent)
{
    addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
    addRecipient(QStringLiteral("李四"), QStringLiteral("b@example.com"), 3);
    addRecipient(QStringLiteral("王五"), QStringLiteral("c@example.com"), 1);
    // The same mailbox once for every event and once for mains restored.
    addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 2);
    struct Row
    {
        int eventType;
        QString text;
        QStringList rcpts;
    };
    const Row rows[] = {
        {1, QStringLiteral("市电中断"), addresses("a@example.com", "c@example.com")},
        {2, QStringLiteral("市电恢复"), addresses("a@example.com", "a@example.com")},
        {3, QStringLiteral("电池电压低"), addresses("a@example.com", "b@example.com")},
        {4, QStringLiteral("电池恢复"), addresses("a@example.com")},
    };
    for (const Row &r : rows)
        alert.SendAlertMail(r.text, r.eventType);

    const QList<SmtpTestServer::Message> got = server->messages();
    ASSERT_EQ(got.size(), std::size(rows));
    for (qsizetype i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].rcptTos, rows[i].rcpts) << "event " << rows[i].eventType;
        EXPECT_EQ(header(got[i], "Subject"), QStringLiteral("Kestrava:") + rows[i].text);
    }
    EXPECT_EQ(log.lines, QStringList(std::size(rows), kSentOk));
}

TEST_F(AlertMailDelivery, AuthenticatesOnlyWhenSslIsOnAndTheServerOffersLogin)
{
    addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
    struct Row
    {
        const char *why;
        bool ssl;
        bool offerLogin;
        QString password;
        QString auth; // mechanism the session authenticated with
        QString logged;
    };
    const Row rows[] = {
        {"bSSL off: no AUTH although the server offers LOGIN", false, true, QStringLiteral("secret"),
         QString(), kSentOk},
        {"bSSL on, LOGIN offered", true, true, QStringLiteral("secret"), QStringLiteral("LOGIN"), kSentOk},
        {"bSSL on, only PLAIN offered: sent without AUTH", true, false, QStringLiteral("secret"), QString(),
         kSentOk},
        {"a refused password fails the mail", true, true, QStringLiteral("wrong"), QString(), kSendFailed},
    };
    for (const Row &r : rows) {
        SmtpTestServer::Options options;
        options.offerLogin = r.offerLogin;
        startServer(options);
        setSettings({{"bSSL", r.ssl}, {"sSenderPassword", r.password}});
        SmtpClient client; // fresh per row: the greeting switch is not carried over
        client.Port = server->port();
        client.ReplyBound = std::chrono::milliseconds(5000);
        FakeEventLog rowLog;
        AlertMail(client, db, db.tEmails, rowLog, clock).SendAlertMail(QStringLiteral("市电中断"), 1);

        EXPECT_EQ(rowLog.lines, QStringList{r.logged}) << r.why;
        const QList<SmtpTestServer::Message> got = server->messages();
        if (r.logged == kSendFailed) {
            EXPECT_TRUE(got.isEmpty()) << r.why;
            continue;
        }
        ASSERT_EQ(got.size(), 1) << r.why;
        EXPECT_EQ(got[0].auth, r.auth) << r.why;
        const QList<QJsonObject> attempts = server->authAttempts();
        if (r.auth.isEmpty()) {
            EXPECT_TRUE(attempts.isEmpty()) << r.why;
        } else {
            ASSERT_EQ(attempts.size(), 1) << r.why;
            EXPECT_EQ(attempts[0].value(QLatin1String("login")).toString(), QStringLiteral("alert")) << r.why;
        }
    }
}

TEST_F(AlertMailDelivery, AfterOneAuthenticatedMailLaterMailsGreetWithEhlo)
{
    addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
    alert.SendAlertMail(QStringLiteral("市电中断"), 1);
    setSettings({{"bSSL", true}});
    alert.SendAlertMail(QStringLiteral("电池电压低"), 3);
    setSettings({{"bSSL", false}});
    alert.SendAlertMail(QStringLiteral("市电恢复"), 2);

    const QList<SmtpTestServer::Message> got = server->messages();
    ASSERT_EQ(got.size(), 3);
    EXPECT_FALSE(got[0].esmtp);
    EXPECT_TRUE(got[1].esmtp);
    EXPECT_EQ(got[1].auth, QStringLiteral("LOGIN"));
    EXPECT_TRUE(got[2].esmtp) << "the client given to the sender keeps its greeting switch";
    EXPECT_TRUE(got[2].auth.isEmpty());
    EXPECT_EQ(log.lines, QStringList(3, kSentOk));
}

TEST_F(AlertMailDelivery, EmptySenderNameGivesTheBareAddressAndEmptyBoldText)
{
    setSettings({{"sSenderName", QString()}});
    addRecipient(QStringLiteral("张三"), QStringLiteral("a@example.com"), 0);
    alert.SendAlertMail(QStringLiteral("市电中断"), 1);

    const QList<SmtpTestServer::Message> got = server->messages();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(header(got[0], "From"), QStringLiteral("ups@example.com"));
    EXPECT_EQ(header(got[0], "Disposition-Notification-To"), QStringLiteral("ups@example.com"));
    EXPECT_TRUE(got[0].data.startsWith("From: ups@example.com\r\n")) << got[0].data.left(80).toStdString();
    EXPECT_TRUE(
        bodyOf(got[0]).contains(gb::encode(QStringLiteral("　　<b></b>向您报告一个紧急事件：<br>\r\n"))));
    EXPECT_EQ(log.lines, QStringList{kSentOk});
}
