// Turning the bytes an SMTP server sends into lines and replies, independent of the socket.
#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

// A server reply: the three-digit code and the text of each line.
struct SmtpReply
{
    int code = 0;
    QStringList lines;
};

// Collects received bytes and hands them out line by line.
class SmtpLineSplitter
{
public:
    void append(const char *data, qsizetype size);
    // The next whole line, without its LF and a CR just before it; nothing
    // while no LF has arrived. Throws SmtpError for a line longer than
    // maxLength, also before its LF has come.
    std::optional<QByteArray> takeLine(int maxLength);
    void clear() { buffer_.clear(); }

private:
    QByteArray buffer_;
};

// Groups the lines of one reply: blank lines are skipped; "ddd-" continues
// the reply until a line that starts with the code and a space, or one
// shorter than four characters.
class SmtpReplyBuilder
{
public:
    // More lines than any real server sends in one reply: a peer that keeps
    // sending continuation lines is cut off instead of filling the memory.
    static constexpr int kMaxLines = 1000;

    // Takes the next line; true once the reply is complete. Throws SmtpError
    // when the reply grows beyond kMaxLines lines.
    bool addLine(const QByteArray &line);
    const SmtpReply &reply() const { return reply_; }

private:
    SmtpReply reply_;
    QByteArray last_; // the upper-cased "ddd " that ends a multi-line reply
    bool started_ = false;
    bool done_ = false;
};
