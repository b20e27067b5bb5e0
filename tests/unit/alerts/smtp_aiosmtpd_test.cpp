// The SMTP client against a real server (aiosmtpd on 127.0.0.1), read back by Python's mail parser.
#include "alerts/smtpclient.h"

#include "lang/gb2312.h"
#include "support/smtp_test_server.h"

#include <gtest/gtest.h>

namespace {

MailMessage alertMessage(const QString &subject)
{
    MailMessage m;
    m.From = {QStringLiteral("UPS 监控"), QStringLiteral("ups@example.com")};
    m.ReceiptRecipient = m.From;
    m.setRecipients(QStringLiteral("a@example.com, 张三 <b@example.com>, "));
    m.Subject = subject;
    m.Body = {QStringLiteral("亲爱的张三:<br>"), QStringLiteral("."),
              QStringLiteral("　　<b>市电中断</b><br>")};
    return m;
}

void point(SmtpClient &client, const SmtpTestServer &server)
{
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = server.port();
    client.Username = QStringLiteral("alert");
    client.Password = QStringLiteral("secret");
    client.ReplyBound = std::chrono::milliseconds(5000);
}

void send(SmtpClient &client, const MailMessage &m)
{
    client.OpenConnection();
    client.SubmitMessage(m);
    client.CloseConnection();
}

QString header(const SmtpTestServer::Message &m, const char *name)
{
    return m.headers.value(QLatin1String(name)).toString();
}

} // namespace

TEST(SmtpRealServer, WholeMessageReadsBackWithSubjectAndBodyIntact)
{
    SmtpTestServer server;
    ASSERT_TRUE(server.start()) << server.errorString().toStdString();
    struct Row
    {
        const char *why;
        QString locale;
        QString subject;
    };
    const Row rows[] = {
        {"Chinese locale", QStringLiteral("zh_CN"), QStringLiteral("Kestrava:市电中断")},
        {"a Latin locale: Chinese still travels as GB2312", QStringLiteral("en_US"),
         QStringLiteral("Kestrava:市电中断")},
        {"a subject of three encoded words", QStringLiteral("zh_CN"),
         QStringLiteral("Kestrava:") + QString(21, QChar(0x5E02)) + QString(21, QChar(0x7535))},
    };
    for (const Row &r : rows) {
        SmtpClient client;
        point(client, server);
        client.LocaleName = r.locale;
        send(client, alertMessage(r.subject));
    }

    const QList<SmtpTestServer::Message> got = server.messages();
    ASSERT_EQ(got.size(), std::size(rows));
    const QByteArray body = gb::encode(QStringLiteral("亲爱的张三:<br>\r\n.\r\n　　<b>市电中断</b><br>\r\n"));
    for (qsizetype i = 0; i < got.size(); ++i) {
        const SmtpTestServer::Message &m = got[i];
        const char *why = rows[i].why;
        EXPECT_EQ(m.mailFrom, QStringLiteral("ups@example.com")) << why;
        EXPECT_EQ(m.rcptTos, QStringList({QStringLiteral("a@example.com"), QStringLiteral("b@example.com")}))
            << why;
        EXPECT_EQ(header(m, "Subject"), rows[i].subject) << why;
        EXPECT_EQ(header(m, "To"), QStringLiteral("a@example.com, 张三 <b@example.com>")) << why;
        EXPECT_EQ(header(m, "From"), QStringLiteral("UPS 监控 <ups@example.com>")) << why;
        EXPECT_EQ(header(m, "Disposition-Notification-To"), header(m, "From")) << why;
        EXPECT_EQ(header(m, "content_type"), QStringLiteral("text/html")) << why;
        EXPECT_EQ(header(m, "charset"), QStringLiteral("gb2312")) << why;
        EXPECT_EQ(header(m, "X-Mailer"), QStringLiteral("Kestrava")) << why;
        const qsizetype split = m.data.indexOf("\r\n\r\n");
        ASSERT_GE(split, 0) << why;
        EXPECT_EQ(m.data.mid(split + 4), body) << why << ": 8-bit GB2312, the dot line restored";
        EXPECT_FALSE(m.esmtp) << why;
        EXPECT_TRUE(m.auth.isEmpty()) << why;
    }
    EXPECT_TRUE(server.authAttempts().isEmpty());
}

TEST(SmtpRealServer, AuthLoginOnlyWhenAskedForAndOffered)
{
    struct Row
    {
        const char *why;
        SmtpAuthType auth;
        bool offerLogin;
        bool wantEsmtp;
        const char *wantAuth;
    };
    const Row rows[] = {
        {"asked for and offered", atLogin, true, true, "LOGIN"},
        {"not asked for", atNone, true, false, ""},
        {"asked for but only PLAIN offered", atLogin, false, true, ""},
    };
    for (const Row &r : rows) {
        SmtpTestServer::Options options;
        options.offerLogin = r.offerLogin;
        SmtpTestServer server(options);
        ASSERT_TRUE(server.start()) << server.errorString().toStdString();
        SmtpClient client;
        point(client, server);
        client.SetAuthenticationType(r.auth);
        EXPECT_NO_THROW(send(client, alertMessage(QStringLiteral("Kestrava:test")))) << r.why;

        const auto got = server.messages();
        ASSERT_EQ(got.size(), 1) << r.why;
        EXPECT_EQ(got[0].esmtp, r.wantEsmtp) << r.why;
        EXPECT_EQ(got[0].auth, QLatin1String(r.wantAuth)) << r.why;
        const auto attempts = server.authAttempts();
        EXPECT_EQ(attempts.size(), *r.wantAuth ? 1 : 0) << r.why;
        for (const QJsonObject &a : attempts) {
            EXPECT_EQ(a.value(QStringLiteral("login")).toString(), QStringLiteral("alert")) << r.why;
            EXPECT_TRUE(a.value(QStringLiteral("ok")).toBool()) << r.why;
        }
    }
}

TEST(SmtpRealServer, WrongPasswordFailsTheSendBeforeMailFrom)
{
    SmtpTestServer server;
    ASSERT_TRUE(server.start()) << server.errorString().toStdString();
    SmtpClient client;
    point(client, server);
    client.Password = QStringLiteral("wrong");
    client.SetAuthenticationType(atLogin);
    client.OpenConnection();
    try {
        client.SubmitMessage(alertMessage(QStringLiteral("Kestrava:test")));
        ADD_FAILURE() << "a refused password was taken for a sent mail";
    } catch (const SmtpError &e) {
        EXPECT_EQ(e.code(), 535);
    }
    EXPECT_FALSE(client.IsAuthenticated());
    EXPECT_TRUE(client.IsConnectionOpen()) << "left for the caller to close";
    client.CloseConnection();
    EXPECT_TRUE(server.messages().isEmpty());
    const auto attempts = server.authAttempts();
    ASSERT_EQ(attempts.size(), 1);
    EXPECT_FALSE(attempts[0].value(QStringLiteral("ok")).toBool());
}
