// The alert mail: picks the recipients of one power event, builds the HTML message and sends it.
#pragma once

#include <QLocale>
#include <QString>

class Clock;
class EventLog;
class RecordSet;
class SettingsRow;
class SmtpClient;

// Everything it uses belongs to the caller: the SMTP client in particular is
// the warning window's, so its greeting switch (EHLO once a mail has used
// authentication) carries over from one mail to the next.
class AlertMail
{
public:
    // tEmails is the recipients' record set, shared with the settings dialog;
    // locale gives the date and time formats of the body.
    AlertMail(SmtpClient &smtp, const SettingsRow &settings, RecordSet &tEmails, EventLog &log,
              const Clock &clock, QLocale locale = QLocale::system());

    // Mails text to the recipients of eventType (and of every event, code 0)
    // and logs the outcome. Never throws for a failed mail; only a failing
    // event log itself raises. tEmails keeps its filter text (and shows the
    // rows of it); a pending edit of it is stored first.
    void SendAlertMail(const QString &text, int eventType);

private:
    struct Recipients
    {
        QString names;     // each ENAME followed by two spaces
        QString addresses; // each EMAIL followed by ", "
        bool any = false;
    };

    Recipients SelectRecipients(int eventType);
    QString BuildDateTime() const;

    SmtpClient &smtp_;
    const SettingsRow &settings_;
    RecordSet &tEmails_;
    EventLog &log_;
    const Clock &clock_;
    QLocale locale_;
};
