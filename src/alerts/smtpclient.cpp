// The SMTP dialogue: reply reading, greeting, submission, closing.
#include "alerts/smtpclient.h"

#include "alerts/linux/smtpsocket.h"
#include "alerts/smtpheader.h"
#include "lang/gb2312.h"

#include <algorithm>
#include <ctime>

namespace {

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

SmtpClient::SmtpClient() : LocaleName(systemLocaleName())
{
    SetAuthenticationType(atNone);
    SetUseEhlo(false);
}

SmtpClient::~SmtpClient()
{
    CloseConnection();
}

void SmtpClient::SetAuthenticationType(SmtpAuthType type)
{
    authType_ = type;
    if (type == atLogin) useEhlo_ = true;
}

void SmtpClient::SetUseEhlo(bool on)
{
    useEhlo_ = on;
    if (!on) authType_ = atNone;
}

bool SmtpClient::IsConnectionOpen() const
{
    return socket_ && socket_->isOpen();
}

SmtpReply SmtpClient::readReply(std::initializer_list<int> expected, const char *what)
{
    const auto deadline = SmtpSocket::Clock::now() + ReplyBound;
    SmtpReplyBuilder builder;
    while (!builder.addLine(socket_->readLine(MaxLineLength, deadline))) {
    }
    const SmtpReply &reply = builder.reply();
    if (expected.size() > 0 && std::find(expected.begin(), expected.end(), reply.code) == expected.end()) {
        const QString text = reply.lines.join(QLatin1Char('\n'));
        throw SmtpError(QStringLiteral("unexpected reply to %1: %2 %3")
                            .arg(QLatin1String(what))
                            .arg(reply.code)
                            .arg(text),
                        reply.code, text);
    }
    return reply;
}

SmtpReply SmtpClient::command(const QByteArray &line, std::initializer_list<int> expected, const char *what)
{
    socket_->write(line + "\r\n", SmtpSocket::Clock::now() + ReplyBound);
    return readReply(expected, what);
}

void SmtpClient::collectSchemes(const SmtpReply &ehlo)
{
    for (const QString &text : ehlo.lines) {
        const QString upper = text.toUpper();
        if (!upper.startsWith(QLatin1String("AUTH ")) && !upper.startsWith(QLatin1String("AUTH="))) continue;
        QString rest = upper.mid(4);
        rest.replace(QLatin1Char('='), QLatin1Char(' '));
        for (const QString &word : rest.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            if (!authSchemes_.contains(word)) authSchemes_.append(word);
    }
}

void SmtpClient::OpenConnection()
{
    CloseConnection();
    authSchemes_.clear();
    socket_ = std::make_unique<SmtpSocket>();
    try {
        socket_->connect(Host, Port, ConnectBound);
        readReply({220}, "the greeting");
        authSchemes_.clear();
        const QByteArray name =
            gb::encode(oneLine(HeloName.isEmpty() ? SmtpSocket::localHostName() : HeloName));
        if (useEhlo_) {
            const SmtpReply ehlo = command("EHLO " + name, {}, "EHLO");
            if (ehlo.code == 250) {
                collectSchemes(ehlo);
                return;
            }
        }
        command("HELO " + name, {250}, "HELO");
    } catch (...) {
        CloseConnection();
        throw;
    }
}

void SmtpClient::SubmitMessage(const MailMessage &message)
{
    if (!IsConnectionOpen()) throw SmtpError(QStringLiteral("not connected"));
    // Everything that can be refused is refused before the first byte goes out.
    QList<MailAddress> checked{message.From, message.ReceiptRecipient};
    checked += message.Recipients;
    for (const MailAddress &a : checked)
        if (!isSafeAddress(a.address))
            throw SmtpError(QStringLiteral("address refused (control character or angle bracket): %1")
                                .arg(oneLine(a.address)));
    const std::optional<QByteArray> body = buildBody(message);
    if (!body)
        throw SmtpError(QStringLiteral("the body cannot be written in charset %1").arg(message.CharSet));
    const QByteArray header =
        buildHeaderBlock(message, MailAgent, headerCharsetForLocale(LocaleName), std::time(nullptr));

    command("RSET", {}, "RSET");
    if (authType_ == atLogin && authSchemes_.contains(QLatin1String("LOGIN")) && !authenticated_) {
        command("AUTH LOGIN", {334}, "AUTH LOGIN");
        command(gb::encode(Username).toBase64(), {334}, "the user name");
        command(gb::encode(Password).toBase64(), {235}, "the password");
        authenticated_ = true;
    }
    command("MAIL FROM:<" + gb::encode(message.From.address) + '>', {250}, "MAIL FROM");
    for (const MailAddress &r : message.Recipients)
        command("RCPT TO:<" + gb::encode(r.address) + '>', {250, 251}, "RCPT TO");
    command("DATA", {354}, "DATA");
    socket_->write(header + "\r\n" + *body, SmtpSocket::Clock::now() + ReplyBound);
    command(".", {250}, "the message");
}

void SmtpClient::CloseConnection()
{
    if (IsConnectionOpen()) {
        socket_->writeNoWait("QUIT\r\n");
        socket_->close();
    }
    authenticated_ = false;
}
