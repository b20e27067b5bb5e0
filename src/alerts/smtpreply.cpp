// SMTP reply reading over a byte buffer: line splitting with the length limit, multi-line grouping.
#include "alerts/smtpreply.h"

#include "alerts/smtperror.h"

namespace {

// Three leading digits, or 0 when the line does not start with them.
int replyCode(const QByteArray &line)
{
    if (line.size() < 3) return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9') return 0;
        code = code * 10 + (c - '0');
    }
    return code;
}

QString lineText(const QByteArray &line)
{
    return QString::fromLatin1(line.mid(4));
}

[[noreturn]] void tooLong(int maxLength)
{
    throw SmtpError(QStringLiteral("reply line longer than %1 bytes").arg(maxLength));
}

} // namespace

void SmtpLineSplitter::append(const char *data, qsizetype size)
{
    buffer_.append(data, size);
}

std::optional<QByteArray> SmtpLineSplitter::takeLine(int maxLength)
{
    const qsizetype lf = buffer_.indexOf('\n');
    if (lf >= 0) {
        QByteArray line = buffer_.left(lf);
        buffer_.remove(0, lf + 1);
        if (line.endsWith('\r')) line.chop(1);
        if (line.size() > maxLength) tooLong(maxLength);
        return line;
    }
    // a CR may still come before the LF; anything beyond is too long already
    if (buffer_.size() > qsizetype(maxLength) + 1) tooLong(maxLength);
    return std::nullopt;
}

bool SmtpReplyBuilder::addLine(const QByteArray &line)
{
    if (done_ || line.trimmed().isEmpty()) return done_;
    if (!started_) {
        started_ = true;
        reply_.code = replyCode(line);
        reply_.lines = {lineText(line)};
        if (line.size() > 3 && line.at(3) == '-')
            last_ = line.left(3).toUpper() + ' ';
        else
            done_ = true;
        return done_;
    }
    if (reply_.lines.size() >= kMaxLines)
        throw SmtpError(QStringLiteral("reply of more than %1 lines").arg(kMaxLines));
    reply_.lines.append(lineText(line));
    done_ = line.size() < 4 || line.left(4).toUpper() == last_;
    return done_;
}
