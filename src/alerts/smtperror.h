// The one error of the SMTP client: what went wrong, and the server's reply if any.
#pragma once

#include <QString>

#include <stdexcept>

class SmtpError : public std::runtime_error
{
public:
    // code 0: no reply was involved (connect, resolve, socket, time-out, refused input)
    explicit SmtpError(const QString &what, int code = 0, const QString &replyText = QString())
        : std::runtime_error(what.toStdString()), code_(code), replyText_(replyText)
    {
    }

    int code() const { return code_; }
    const QString &replyText() const { return replyText_; }

private:
    int code_;
    QString replyText_;
};
