// A real SMTP server (aiosmtpd) for tests, run as a child process on 127.0.0.1.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class SmtpTestServer
{
public:
    struct Options
    {
        QString user = QStringLiteral("alert");
        QString password = QStringLiteral("secret");
        bool offerLogin = true; // false: the EHLO reply offers AUTH PLAIN only
        int lifetimeSeconds = 60;
        quint16 port = 0; // 0: a free one
    };

    struct Message
    {
        QString mailFrom;
        QStringList rcptTos;
        QByteArray data; // the DATA bytes as received, dot-stuffing undone
        QString helo;
        bool esmtp = false; // greeted with EHLO
        QString auth;       // mechanism that authenticated the session, or empty
        // From, To, Subject, Disposition-Notification-To, Date, X-Mailer as
        // Python's e-mail package decodes them (encoded words too), and the
        // parsed content type as "content_type" and "charset"
        QJsonObject headers;
    };

    SmtpTestServer();
    explicit SmtpTestServer(Options options);
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer &) = delete;
    SmtpTestServer &operator=(const SmtpTestServer &) = delete;

    // Starts the server and waits (at most 10 s) until it listens.
    bool start();
    quint16 port() const { return port_; }
    QString errorString() const { return error_; }

    // What the server has accepted so far; complete for every mail whose final
    // "." the client has seen answered.
    QList<Message> messages() const;
    // Every AUTH attempt: {"mechanism", "login", "ok"}.
    QList<QJsonObject> authAttempts() const;

    void stop();

private:
    QList<QJsonObject> records(const QString &event) const;

    Options options_;
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};
