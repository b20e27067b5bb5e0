// One mail as the alert sender fills it: addresses, subject, HTML body lines.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <ctime>
#include <optional>

struct MailAddress
{
    QString name;    // display name, may be empty
    QString address; // the mailbox, without angle brackets

    bool operator==(const MailAddress &) const = default;
};

enum MessageEncoding { meMIME };

enum MailPriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

// Reads a comma-separated address list. Commas inside double quotes or
// parentheses do not split; each piece is a bare address or a display name
// followed by an address in angle brackets; empty pieces and "<>" drop out, so
// a trailing ", " adds no recipient.
QList<MailAddress> parseAddressList(const QString &text);

// Reads one address: "a@b", "Name <a@b>" or "\"Name\" <a@b>".
MailAddress parseAddress(const QString &text);

struct MailMessage
{
    QString CharSet = QStringLiteral("gb2312");
    QString ContentType = QStringLiteral("text/html");
    MessageEncoding Encoding = meMIME;
    MailAddress From;
    MailAddress ReceiptRecipient; // Disposition-Notification-To
    QList<MailAddress> Recipients;
    QString Subject;
    QStringList Body;
    MailPriority Priority = mpNormal;
    // Unset: the Date field carries the moment of sending.
    std::optional<std::time_t> Date;

    void setRecipients(const QString &addressText) { Recipients = parseAddressList(addressText); }
};
