// Reading of address texts into mail addresses.
#include "alerts/mailmessage.h"

namespace {

// A quoted display name loses its quotes and the backslashes that escape.
QString unquoteName(const QString &raw)
{
    QString name = raw.trimmed();
    if (name.size() < 2 || !name.startsWith(QLatin1Char('"')) || !name.endsWith(QLatin1Char('"')))
        return name;
    QString out;
    for (qsizetype i = 1; i + 1 < name.size(); ++i) {
        if (name.at(i) == QLatin1Char('\\') && i + 2 < name.size()) ++i;
        out += name.at(i);
    }
    return out;
}

} // namespace

MailAddress parseAddress(const QString &text)
{
    const QString piece = text.trimmed();
    const qsizetype open = piece.lastIndexOf(QLatin1Char('<'));
    const qsizetype close = piece.lastIndexOf(QLatin1Char('>'));
    if (open < 0 || close < open) return {QString(), piece};
    return {unquoteName(piece.left(open)), piece.mid(open + 1, close - open - 1).trimmed()};
}

QList<MailAddress> parseAddressList(const QString &text)
{
    QList<MailAddress> out;
    auto take = [&](const QString &piece) {
        const QString p = piece.trimmed();
        if (p.isEmpty() || p == QLatin1String("<>")) return;
        out.append(parseAddress(p));
    };
    bool quoted = false;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\'))
                ++i;
            else if (c == QLatin1Char('"'))
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')') && depth > 0) {
            --depth;
        } else if (c == QLatin1Char(',') && depth == 0) {
            take(text.mid(start, i - start));
            start = i + 1;
        }
    }
    take(text.mid(start));
    return out;
}
