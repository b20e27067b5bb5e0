// TCP connection for the SMTP client on POSIX sockets: every wait is bounded.
#pragma once

#include "alerts/smtpreply.h"

#include <QByteArray>
#include <QString>

#include <chrono>

class SmtpSocket
{
public:
    using Clock = std::chrono::steady_clock;

    SmtpSocket() = default;
    ~SmtpSocket();
    SmtpSocket(const SmtpSocket &) = delete;
    SmtpSocket &operator=(const SmtpSocket &) = delete;

    // Resolves host and connects, both within bound; throws SmtpError.
    void connect(const QString &host, quint16 port, std::chrono::milliseconds bound);

    // One line up to LF, without the LF and a CR before it. Throws SmtpError on
    // a line longer than maxLength, a closed connection, a socket error or when
    // the deadline passes.
    QByteArray readLine(int maxLength, Clock::time_point deadline);

    // All of bytes, or SmtpError.
    void write(const QByteArray &bytes, Clock::time_point deadline);

    // What the socket takes at once; errors are ignored (a parting QUIT).
    void writeNoWait(const QByteArray &bytes);

    void close();
    bool isOpen() const { return fd_ >= 0; }

    // The local host name as the system reports it, for the greeting.
    static QString localHostName();

private:
    int fd_ = -1;
    SmtpLineSplitter buffer_;
};
