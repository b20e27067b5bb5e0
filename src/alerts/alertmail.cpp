// The alert mail: recipients by event code from tEmails, the GB2312 HTML message, the outcome in the event
// log.
#include "alerts/alertmail.h"

#include "alerts/mailmessage.h"
#include "alerts/smtpclient.h"
#include "lang/messages.h"
#include "platform/clock.h"
#include "store/database.h"
#include "store/eventlog.h"
#include "store/recordset.h"
#include "store/settingsrow.h"

#include <exception>

AlertMail::AlertMail(SmtpClient &smtp, const SettingsRow &settings, RecordSet &tEmails, EventLog &log,
                     const Clock &clock, QLocale locale)
    : smtp_(smtp), settings_(settings), tEmails_(tEmails), log_(log), clock_(clock),
      locale_(std::move(locale))
{
}

// Runs on the record set the settings dialog may be showing, so whatever
// happens the dialog gets its own filter back, with the rows that filter shows.
AlertMail::Recipients AlertMail::SelectRecipients(int eventType)
{
    const QString remembered = tEmails_.filter();
    Recipients r;
    try {
        tEmails_.setFilter(QStringLiteral("ETYPE=0 OR ETYPE=%1").arg(eventType));
        tEmails_.requery();
        for (tEmails_.first(); !tEmails_.eof(); tEmails_.next()) {
            r.names += tEmails_.asString(QStringLiteral("ENAME")) + QStringLiteral("  ");
            r.addresses += tEmails_.asString(QStringLiteral("EMAIL")) + QStringLiteral(", ");
            r.any = true;
        }
    } catch (...) {
        if (tEmails_.filter() != remembered) tEmails_.setFilter(remembered);
        throw;
    }
    // Setting the filter reads the rows again: the dialog's grid shows
    // what its filter text says, not the recipients of this mail.
    tEmails_.setFilter(remembered);
    return r;
}

QString AlertMail::BuildDateTime() const
{
    const QDateTime now = clock_.Now().toLocalTime();
    return locale_.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale_.toString(now.time(), QLocale::LongFormat);
}

void AlertMail::SendAlertMail(const QString &text, int eventType)
{
    if (!settings_.GetBool("bEMAIL")) return;
    const MessageCatalogue &msg = Msg();

    // A row the user is still typing in the settings dialog may not store
    // (a required column left empty). That must not cost the alert its
    // warning window: the mail counts as failed and the row stays as typed.
    Recipients to;
    try {
        if (tEmails_.state() != RecordSet::State::Browse) tEmails_.post();
        to = SelectRecipients(eventType);
    } catch (const StoreError &) {
        log_.LogEvent(msg.msgSendMailErr);
        return;
    }
    if (!to.any) {
        log_.LogEvent(FormatPattern(msg.msgNoEmailAddress, {text}));
        return;
    }

    const QString senderName = settings_.GetText("sSenderName");
    MailMessage message;
    message.CharSet = QStringLiteral("gb2312");
    message.ContentType = QStringLiteral("text/html");
    message.Encoding = meMIME;
    message.From = parseAddress(settings_.GetText("sSenderEmail"));
    message.From.name = senderName;
    message.ReceiptRecipient = message.From;
    message.setRecipients(to.addresses);
    message.Subject = QStringLiteral("Kestrava:") + text;
    message.Body = {
        FormatPattern(msg.msgEmailBodyLine1, {to.names}),
        FormatPattern(msg.msgEmailBodyLine2, {}),
        FormatPattern(msg.msgEmailBodyLine3, {senderName}),
        FormatPattern(msg.msgEmailBodyLine4, {}),
        FormatPattern(msg.msgEmailBodyLine5, {text}),
        FormatPattern(msg.msgEmailBodyLine6, {}),
        FormatPattern(msg.msgEmailBodyLine7, {BuildDateTime()}),
        FormatPattern(msg.msgEmailBodyLine8, {}),
    };

    smtp_.SetAuthenticationType(settings_.GetBool("bSSL") ? atLogin : atNone);
    smtp_.Host = settings_.GetText("sSenderServer");
    smtp_.Username = settings_.GetText("sSenderCount");
    smtp_.Password = settings_.GetText("sSenderPassword");

    // The outcome is logged outside the guard, so a failing log line is not
    // taken for a failed mail (and logged a second time as one).
    bool sent = false;
    try {
        smtp_.OpenConnection();
        smtp_.SubmitMessage(message);
        smtp_.CloseConnection();
        sent = true;
    } catch (const std::exception &) {
        // The user sees only the log line; the reason stays with the client.
        if (smtp_.IsConnectionOpen()) smtp_.CloseConnection();
    }
    log_.LogEvent(sent ? msg.msgSendMailOK : msg.msgSendMailErr);
}
