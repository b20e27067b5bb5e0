// The SMTP dialogue against a scripted peer: exact bytes, reply reading, failures, bounds.
#include "alerts/linux/smtpsocket.h"
#include "alerts/smtpclient.h"

#include "support/scripted_smtp_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <functional>

namespace {

using Commands = std::vector<std::string>;
using Replies = std::map<std::string, std::vector<std::string>>;

const std::string kOfferLogin = "250-scripted\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n";
// "alert" and "secret" in Base64
const std::string kUser = "YWxlcnQ=";
const std::string kPass = "c2VjcmV0";

MailMessage simpleMessage()
{
    MailMessage m;
    m.From = {QStringLiteral("UPS"), QStringLiteral("ups@example.com")};
    m.ReceiptRecipient = m.From;
    m.setRecipients(QStringLiteral("a@example.com, "));
    m.Subject = QStringLiteral("Kestrava:test");
    m.Body = {QStringLiteral("body")};
    return m;
}

void configure(SmtpClient &c, quint16 port)
{
    c.Host = QStringLiteral("127.0.0.1");
    c.Port = port;
    c.HeloName = QStringLiteral("client.test");
    c.Username = QStringLiteral("alert");
    c.Password = QStringLiteral("secret");
    c.ReplyBound = std::chrono::milliseconds(2000);
}

struct Outcome
{
    Commands commands;
    std::string data;
    int error = -1; // -1: no error, else the SmtpError's code
    bool openAfterError = false;
};

// One mail the way the alert sender does it: open, submit, close; on an error
// close if still open.
Outcome sendOne(ScriptedSmtpServer::Script script, const std::function<void(SmtpClient &)> &setUp,
                const MailMessage &message = simpleMessage())
{
    ScriptedSmtpServer server(std::move(script));
    SmtpClient client;
    configure(client, server.port());
    setUp(client);
    Outcome out;
    try {
        client.OpenConnection();
        client.SubmitMessage(message);
        client.CloseConnection();
    } catch (const SmtpError &e) {
        out.error = e.code();
        out.openAfterError = client.IsConnectionOpen();
        if (client.IsConnectionOpen()) client.CloseConnection();
    }
    const auto sessions = server.sessions();
    if (!sessions.empty()) {
        out.commands = sessions[0].commands;
        out.data = sessions[0].data;
    }
    return out;
}

// The Date field is local time: pin the zone for the test's duration.
struct ScopedTimeZone
{
    explicit ScopedTimeZone(const char *tz) : saved(qgetenv("TZ")), had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", tz);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (had)
            qputenv("TZ", saved);
        else
            qunsetenv("TZ");
        tzset();
    }
    QByteArray saved;
    bool had;
};

} // namespace

TEST(SmtpClient, WritesTheExactDialogueHeaderAndBody)
{
    const ScopedTimeZone shanghai("Asia/Shanghai");
    ScriptedSmtpServer server({});
    SmtpClient client;
    configure(client, server.port());
    client.HeloName.clear(); // the local host name greets
    client.LocaleName = QStringLiteral("zh_CN");

    MailMessage m;
    m.From = {QStringLiteral("UPS Monitor"), QStringLiteral("ups@example.com")};
    m.ReceiptRecipient = m.From;
    m.setRecipients(QStringLiteral("a@example.com, 张三 <b@example.com>, "));
    m.Subject = QStringLiteral("Kestrava:市电中断");
    m.Body = {QStringLiteral("<b>市电</b>"), QStringLiteral("."), QStringLiteral(".x")};
    m.Date = 1709618589; // Tue, 5 Mar 2024 14:03:09 in Shanghai

    client.OpenConnection();
    client.SubmitMessage(m);
    client.CloseConnection();
    EXPECT_FALSE(client.IsConnectionOpen());

    const auto sessions = server.sessions();
    ASSERT_EQ(sessions.size(), 1u);
    const Commands want = {"HELO " + SmtpSocket::localHostName().toStdString(),
                           "RSET",
                           "MAIL FROM:<ups@example.com>",
                           "RCPT TO:<a@example.com>",
                           "RCPT TO:<b@example.com>",
                           "DATA",
                           "QUIT"};
    EXPECT_EQ(sessions[0].commands, want);
    const QByteArray subject = QByteArray("Kestrava:\xCA\xD0\xB5\xE7\xD6\xD0\xB6\xCF").toBase64();
    const QByteArray zhang = QByteArray("\xD5\xC5\xC8\xFD").toBase64();
    const QByteArray data = "From: \"UPS Monitor\" <ups@example.com>\r\n"
                            "Subject: =?GB2312?B?" +
                            subject +
                            "?=\r\n"
                            "To: a@example.com, =?GB2312?B?" +
                            zhang +
                            "?= <b@example.com>\r\n"
                            "Content-Type: text/html;\r\n"
                            "\tcharset=\"gb2312\"\r\n"
                            "Disposition-Notification-To: \"UPS Monitor\" <ups@example.com>\r\n"
                            "Date: Tue, 5 Mar 2024 14:03:09 +0800\r\n"
                            "X-Priority: 3\r\n"
                            "X-Library: Kestrava\r\n"
                            "X-Mailer: Kestrava\r\n"
                            "\r\n"
                            "<b>\xCA\xD0\xB5\xE7</b>\r\n"
                            "..\r\n"
                            "..x\r\n";
    EXPECT_EQ(sessions[0].data, data.toStdString());
}

TEST(SmtpClient, DialogueFollowsTheRepliesAndTheSwitches)
{
    const auto none = [](SmtpClient &) {};
    const auto ehlo = [](SmtpClient &c) { c.SetUseEhlo(true); };
    const auto login = [](SmtpClient &c) { c.SetAuthenticationType(atLogin); };
    const auto quick = [](SmtpClient &c) { c.ReplyBound = std::chrono::milliseconds(300); };
    const Commands mail = {"RSET", "MAIL FROM:<ups@example.com>", "RCPT TO:<a@example.com>", "DATA", "QUIT"};
    auto with = [](Commands head, const Commands &tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    struct Row
    {
        const char *why;
        Replies replies;
        std::string greeting;
        std::function<void(SmtpClient &)> setUp;
        Commands want;
        int error;
        bool openAfterError = false;
    };
    const std::string greet = "220 scripted ready\r\n";
    const Row rows[] = {
        {"HELO by default", {}, greet, none, with({"HELO client.test"}, mail), -1},
        {"EHLO answered 500 falls back to HELO",
         {{"EHLO", {"500 what\r\n"}}},
         greet,
         ehlo,
         with({"EHLO client.test", "HELO client.test"}, mail),
         -1},
        {"schemes offered as AUTH=LOGIN",
         {{"EHLO", {"250-scripted\r\n250-AUTH=LOGIN\r\n250 HELP\r\n"}}},
         greet,
         login,
         with({"EHLO client.test", "RSET", "AUTH LOGIN", kUser, kPass},
              Commands(mail.begin() + 1, mail.end())),
         -1},
        {"schemes in lower case over two lines",
         {{"EHLO", {"250-scripted\r\n250-auth plain\r\n250-Auth cram-md5 login\r\n250 HELP\r\n"}}},
         greet,
         login,
         with({"EHLO client.test", "RSET", "AUTH LOGIN", kUser, kPass},
              Commands(mail.begin() + 1, mail.end())),
         -1},
        {"LOGIN not offered: no AUTH, MAIL follows RSET",
         {{"EHLO", {"250-scripted\r\n250-AUTH PLAIN CRAM-MD5\r\n250 HELP\r\n"}}},
         greet,
         login,
         with({"EHLO client.test"}, mail),
         -1},
        {"a line shorter than four characters ends a reply",
         {{"EHLO", {"250-scripted\r\n250-AUTH LOGIN\r\n250\r\n"}}},
         greet,
         login,
         with({"EHLO client.test", "RSET", "AUTH LOGIN", kUser, kPass},
              Commands(mail.begin() + 1, mail.end())),
         -1},
        {"multi-line greeting with blank and bare-LF lines",
         {},
         "220-first\n\r\n  \r\n220-second\r\n220 ready\r\n",
         none,
         with({"HELO client.test"}, mail),
         -1},
        {"RSET takes any reply",
         {{"RSET", {"502 not here\r\n"}}},
         greet,
         none,
         with({"HELO client.test"}, mail),
         -1},
        {"greeting other than 220 closes", {}, "554 go away\r\n", none, {"QUIT"}, 554},
        {"HELO refused closes",
         {{"HELO", {"501 bad name\r\n"}}},
         greet,
         none,
         {"HELO client.test", "QUIT"},
         501},
        {"refused password: no MAIL FROM",
         {{"EHLO", {kOfferLogin}}, {"AUTH-PASS", {"535 bad credentials\r\n"}}},
         greet,
         login,
         {"EHLO client.test", "RSET", "AUTH LOGIN", kUser, kPass, "QUIT"},
         535,
         true},
        {"refused MAIL FROM",
         {{"MAIL", {"530 authentication required\r\n"}}},
         greet,
         none,
         {"HELO client.test", "RSET", "MAIL FROM:<ups@example.com>", "QUIT"},
         530,
         true},
        {"refused DATA",
         {{"DATA", {"554 no\r\n"}}},
         greet,
         none,
         with({"HELO client.test"}, mail),
         554,
         true},
        {"refused message",
         {{".", {"552 too big\r\n"}}},
         greet,
         none,
         with({"HELO client.test"}, mail),
         552,
         true},
        {"no reply to the message: time-out",
         {{".", {""}}},
         greet,
         quick,
         with({"HELO client.test"}, mail),
         0,
         true},
        {"server closes instead of answering",
         {{"MAIL", {""}}},
         greet,
         quick,
         {"HELO client.test", "RSET", "MAIL FROM:<ups@example.com>", "QUIT"},
         0,
         true},
    };
    for (const Row &r : rows) {
        ScriptedSmtpServer::Script script;
        script.replies = r.replies;
        script.greeting = r.greeting;
        const Outcome out = sendOne(script, r.setUp);
        EXPECT_EQ(out.commands, r.want) << r.why;
        EXPECT_EQ(out.error, r.error) << r.why;
        EXPECT_EQ(out.openAfterError, r.openAfterError) << r.why;
    }
}

TEST(SmtpClient, RefusedRecipientEndsTheSendBeforeData)
{
    MailMessage m = simpleMessage();
    m.setRecipients(QStringLiteral("a@example.com, nobody@example.com, c@example.com"));
    ScriptedSmtpServer::Script script;
    script.replies = {{"RCPT", {"250 ok\r\n", "550 no such user\r\n", "250 ok\r\n"}}};
    const Outcome out = sendOne(
        script, [](SmtpClient &) {}, m);
    EXPECT_EQ(out.error, 550);
    const Commands want = {"HELO client.test",
                           "RSET",
                           "MAIL FROM:<ups@example.com>",
                           "RCPT TO:<a@example.com>",
                           "RCPT TO:<nobody@example.com>",
                           "QUIT"};
    EXPECT_EQ(out.commands, want);
    EXPECT_TRUE(out.data.empty());
}

TEST(SmtpClient, ReplyLinesUpToTheLimitOnly)
{
    struct Row
    {
        int length;
        bool accepted;
    };
    for (const Row r : {Row{16384, true}, Row{16385, false}, Row{20000, false}}) {
        ScriptedSmtpServer::Script script;
        script.greeting = "220 " + std::string(static_cast<size_t>(r.length - 4), 'x') + "\r\n";
        ScriptedSmtpServer server(script);
        SmtpClient client;
        configure(client, server.port());
        if (r.accepted) {
            EXPECT_NO_THROW(client.OpenConnection()) << r.length;
            EXPECT_TRUE(client.IsConnectionOpen()) << r.length;
        } else {
            EXPECT_THROW(client.OpenConnection(), SmtpError) << r.length;
            EXPECT_FALSE(client.IsConnectionOpen()) << r.length;
        }
        client.CloseConnection();
    }
}

TEST(SmtpClient, ServerThatNeverAnswersIsAFailedSendWithinTheBound)
{
    ScriptedSmtpServer::Script script;
    script.silent = true;
    ScriptedSmtpServer server(script);
    SmtpClient client;
    configure(client, server.port());
    client.ReplyBound = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.OpenConnection(), SmtpError);
    // well below the server's own lifetime: the client gave up by itself
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(client.IsConnectionOpen());
}

TEST(SmtpClient, UnreachableServers)
{
    struct Row
    {
        const char *why;
        QString host;
        quint16 port;
    };
    const Row rows[] = {
        {"connection refused", QStringLiteral("127.0.0.1"), ScriptedSmtpServer::closedPort()},
        {"name that cannot be resolved", QStringLiteral("mail.kestrava-test.invalid"), 25},
    };
    for (const Row &r : rows) {
        SmtpClient client;
        client.Host = r.host;
        client.Port = r.port;
        client.ConnectBound = std::chrono::milliseconds(2000);
        try {
            client.OpenConnection();
            ADD_FAILURE() << r.why << ": connected";
        } catch (const SmtpError &e) {
            EXPECT_EQ(e.code(), 0) << r.why;
        }
        EXPECT_FALSE(client.IsConnectionOpen()) << r.why;
        EXPECT_NO_THROW(client.CloseConnection()) << r.why;
    }
}

TEST(SmtpClient, LineBreaksInAddressesAndHeaderTextsInjectNothing)
{
    const QString evil = QStringLiteral("a@example.com>\r\nRCPT TO:<victim@evil.test");
    MailMessage badTo = simpleMessage();
    badTo.Recipients.append({QString(), evil});
    MailMessage badFrom = simpleMessage();
    badFrom.From.address = QStringLiteral("ups@example.com\nRCPT TO:<victim@evil.test>");
    MailMessage badReceipt = simpleMessage();
    badReceipt.ReceiptRecipient.address = QStringLiteral("ups@example.com\r\nBcc: victim@evil.test");

    ScriptedSmtpServer server({});
    SmtpClient client;
    configure(client, server.port());
    client.OpenConnection();
    for (const MailMessage *m : {&badTo, &badFrom, &badReceipt})
        EXPECT_THROW(client.SubmitMessage(*m), SmtpError);
    EXPECT_TRUE(client.IsConnectionOpen());

    // header texts with line breaks stay on their line
    MailMessage good = simpleMessage();
    good.Subject = QStringLiteral("Alert\r\nBcc: victim@evil.test");
    good.From.name = QStringLiteral("Ops\nX-Evil: 1");
    client.SubmitMessage(good);
    client.CloseConnection();

    const auto sessions = server.sessions();
    ASSERT_EQ(sessions.size(), 1u);
    const Commands want = {"HELO client.test",        "RSET", "MAIL FROM:<ups@example.com>",
                           "RCPT TO:<a@example.com>", "DATA", "QUIT"};
    EXPECT_EQ(sessions[0].commands, want) << "nothing is sent for a refused message";
    const std::string &raw = sessions[0].raw;
    EXPECT_EQ(raw.find("victim"), raw.rfind("victim")) << "the one place is the subject line";
    const QByteArray data = QByteArray::fromStdString(sessions[0].data);
    EXPECT_TRUE(data.contains("\r\nSubject: Alert  Bcc: victim@evil.test\r\n"));
    EXPECT_TRUE(data.startsWith("From: \"Ops X-Evil: 1\" <ups@example.com>\r\n"));
    EXPECT_FALSE(data.contains("\nBcc:"));
    EXPECT_FALSE(data.contains("\nX-Evil:"));
}

TEST(SmtpClient, UseEhloAndAuthenticationStayCoupledAcrossMails)
{
    SmtpClient client;
    EXPECT_EQ(client.AuthenticationType(), atNone);
    EXPECT_FALSE(client.UseEhlo());

    ScriptedSmtpServer::Script script;
    script.connections = 4;
    script.replies = {{"EHLO", {kOfferLogin}}};
    ScriptedSmtpServer server(script);
    configure(client, server.port());
    auto mail = [&](SmtpAuthType type) {
        client.SetAuthenticationType(type);
        client.OpenConnection();
        client.SubmitMessage(simpleMessage());
        client.CloseConnection();
    };
    mail(atNone);  // HELO
    mail(atLogin); // turns EHLO on, authenticates
    EXPECT_TRUE(client.UseEhlo());
    mail(atNone); // EHLO stays, no AUTH
    EXPECT_TRUE(client.UseEhlo());
    client.SetUseEhlo(false); // turns authentication off as well
    EXPECT_EQ(client.AuthenticationType(), atNone);
    mail(atNone);

    const auto sessions = server.sessions();
    ASSERT_EQ(sessions.size(), 4u);
    const std::string greetings[] = {"HELO client.test", "EHLO client.test", "EHLO client.test",
                                     "HELO client.test"};
    const bool authenticated[] = {false, true, false, false};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(sessions[i].commands.front(), greetings[i]) << "mail " << i + 1;
        const auto &cmds = sessions[i].commands;
        EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "AUTH LOGIN"), authenticated[i] ? 1 : 0)
            << "mail " << i + 1;
    }
}

TEST(SmtpClient, AuthenticatesOncePerConnection)
{
    ScriptedSmtpServer::Script script;
    script.replies = {{"EHLO", {kOfferLogin}}};
    ScriptedSmtpServer server(script);
    SmtpClient client;
    configure(client, server.port());
    client.SetAuthenticationType(atLogin);
    client.OpenConnection();
    EXPECT_EQ(client.AuthSchemes(), QStringList({QStringLiteral("LOGIN"), QStringLiteral("PLAIN")}));
    client.SubmitMessage(simpleMessage());
    EXPECT_TRUE(client.IsAuthenticated());
    client.SubmitMessage(simpleMessage());
    client.CloseConnection();
    EXPECT_FALSE(client.IsAuthenticated());

    const auto sessions = server.sessions();
    ASSERT_EQ(sessions.size(), 1u);
    const Commands want = {"EHLO client.test",
                           "RSET",
                           "AUTH LOGIN",
                           kUser,
                           kPass,
                           "MAIL FROM:<ups@example.com>",
                           "RCPT TO:<a@example.com>",
                           "DATA",
                           "RSET",
                           "MAIL FROM:<ups@example.com>",
                           "RCPT TO:<a@example.com>",
                           "DATA",
                           "QUIT"};
    EXPECT_EQ(sessions[0].commands, want);
}
