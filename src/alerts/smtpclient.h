// SMTP submission client: one connection per mail, optional AUTH LOGIN, bounded waits.
#pragma once

#include "alerts/mailmessage.h"
#include "alerts/smtperror.h"
#include "alerts/smtpreply.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <initializer_list>
#include <memory>

class SmtpSocket;

enum SmtpAuthType { atNone, atLogin };

class SmtpClient
{
public:
    SmtpClient();
    ~SmtpClient();
    SmtpClient(const SmtpClient &) = delete;
    SmtpClient &operator=(const SmtpClient &) = delete;

    // Settings without side effects; read when a connection or a mail needs them.
    QString Host;
    quint16 Port = 25;
    QString Username;
    QString Password;
    QString HeloName; // empty: the local host name
    QString MailAgent = QStringLiteral("Kestrava");
    int MaxLineLength = 16384;
    // Picks the charset label of encoded words (zh_CN, ja_JP, ...).
    QString LocaleName;
    // Resolving plus connecting, and each reply (or write), may take this long.
    std::chrono::milliseconds ConnectBound{10000};
    std::chrono::milliseconds ReplyBound{20000};

    // Coupled switches: atLogin turns UseEhlo on; UseEhlo off turns
    // authentication off. Both keep their value from one mail to the next.
    SmtpAuthType AuthenticationType() const { return authType_; }
    void SetAuthenticationType(SmtpAuthType type);
    bool UseEhlo() const { return useEhlo_; }
    void SetUseEhlo(bool on);

    // Connects and greets (220, then EHLO or HELO). On failure the connection
    // is closed again and SmtpError is thrown.
    void OpenConnection();
    // RSET, AUTH LOGIN once per connection when asked for and offered, MAIL,
    // RCPT for each recipient, DATA, header, body, ".". Throws SmtpError; the
    // connection is then left open for the caller to close.
    void SubmitMessage(const MailMessage &message);
    // QUIT without waiting for the reply, then close; nothing when closed.
    void CloseConnection();
    bool IsConnectionOpen() const;

    // Schemes of the last EHLO reply (upper case, no duplicates).
    const QStringList &AuthSchemes() const { return authSchemes_; }
    bool IsAuthenticated() const { return authenticated_; }

private:
    SmtpReply readReply(std::initializer_list<int> expected, const char *what);
    SmtpReply command(const QByteArray &line, std::initializer_list<int> expected, const char *what);
    void collectSchemes(const SmtpReply &ehlo);

    std::unique_ptr<SmtpSocket> socket_;
    SmtpAuthType authType_ = atNone;
    bool useEhlo_ = false;
    bool authenticated_ = false;
    QStringList authSchemes_;
};
