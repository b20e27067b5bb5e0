// Header and body bytes of an outgoing mail.
#include "alerts/smtpheader.h"

#include "lang/gb2312.h"

#include <QLocale>

#include <cerrno>
#include <iconv.h>

namespace {

constexpr int kMaxEncodedWord = 75;
constexpr int kFoldAt = 78;

bool isGb2312(const QByteArray &charset)
{
    return charset.compare("GB2312", Qt::CaseInsensitive) == 0;
}

bool isSpaceChar(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\n');
}

bool isAddressSpecial(char32_t c)
{
    static const QString specials = QStringLiteral("()<>@,;:\\\".[]");
    return c < 0x80 && specials.contains(QChar(static_cast<char16_t>(c)));
}

bool needsEncoding(const QString &word, bool displayName)
{
    for (char32_t c : word.toUcs4())
        if (c < 0x20 || c > 0x7E || (displayName && isAddressSpecial(c))) return true;
    return false;
}

// Splits text into code points, so no character (surrogate pair included) is cut.
QStringList codePoints(const QString &text)
{
    QStringList out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        out.append(text.mid(i, n));
        i += n;
    }
    return out;
}

QByteArray qEncode(const QByteArray &bytes, bool displayName)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == ' ') {
            out += '_';
        } else if (b < 0x20 || b > 0x7E || b == '=' || b == '?' || b == '_' ||
                   (displayName && isAddressSpecial(b))) {
            out += '=';
            out += hex[b >> 4];
            out += hex[b & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

QByteArray encodedWord(const QByteArray &bytes, const HeaderCharset &cs, bool displayName)
{
    const QByteArray payload = cs.encoding == 'Q' ? qEncode(bytes, displayName) : bytes.toBase64();
    return "=?" + cs.label + '?' + cs.encoding + '?' + payload + "?=";
}

// A run of words that need encoding, as one or more encoded words joined by
// CRLF TAB; each word is cut only between characters.
QByteArray encodeRun(const QString &run, const HeaderCharset &locale, bool displayName)
{
    HeaderCharset cs = locale;
    if (!encodeIn(cs.iconvName, run)) cs = bodyFallbackCharset();
    QList<QByteArray> words;
    QString chunk;
    QByteArray chunkWord;
    for (const QString &ch : codePoints(run)) {
        const QByteArray candidate =
            encodedWord(encodeIn(cs.iconvName, chunk + ch).value_or("?"), cs, displayName);
        if (candidate.size() > kMaxEncodedWord && !chunk.isEmpty()) {
            words.append(chunkWord);
            chunk = ch;
            chunkWord = encodedWord(encodeIn(cs.iconvName, chunk).value_or("?"), cs, displayName);
        } else {
            chunk += ch;
            chunkWord = candidate;
        }
    }
    if (!chunk.isEmpty()) words.append(chunkWord);
    return words.join("\r\n\t");
}

bool isFoldSpace(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimRight(QByteArray line)
{
    while (!line.isEmpty() && isFoldSpace(line.back()))
        line.chop(1);
    return line;
}

QByteArray trimLeft(const QByteArray &line)
{
    qsizetype i = 0;
    while (i < line.size() && isFoldSpace(line.at(i)))
        ++i;
    return line.mid(i);
}

// Where a long line may break: after a space, TAB or comma that is neither
// inside double quotes nor inside an encoded word (a Q word may hold commas,
// and a break there would tear the word apart).
QList<qsizetype> breakPoints(const QByteArray &line)
{
    QList<qsizetype> out;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
        } else if (c == '=' && i + 1 < line.size() && line.at(i + 1) == '?') {
            const qsizetype q1 = line.indexOf('?', i + 2);
            const qsizetype q2 = q1 < 0 ? -1 : line.indexOf('?', q1 + 1);
            const qsizetype end = q2 < 0 ? -1 : line.indexOf("?=", q2 + 1);
            if (end >= 0) {
                const QByteArray word = line.mid(i, end + 2 - i);
                if (!word.contains(' ') && !word.contains('\t')) {
                    i = end + 1;
                    continue;
                }
            }
        } else if (isFoldSpace(c) || c == ',') {
            out.append(i);
        }
    }
    return out;
}

QList<QByteArray> foldLine(QByteArray line)
{
    QList<QByteArray> out;
    while (line.size() > kFoldAt) {
        QByteArray head, rest;
        const QList<qsizetype> points = breakPoints(line);
        for (auto it = points.crbegin(); it != points.crend(); ++it) {
            const QByteArray h = trimRight(line.left(*it + 1));
            const QByteArray r = trimLeft(line.mid(*it + 1));
            if (h.size() <= kFoldAt && !trimLeft(h).isEmpty() && !r.isEmpty()) {
                head = h;
                rest = r;
                break;
            }
        }
        if (head.isEmpty()) break;
        out.append(head);
        line = ' ' + rest;
    }
    out.append(trimRight(line));
    return out;
}

const char *const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QByteArray priorityValue(MailPriority p)
{
    return QByteArray::number(static_cast<int>(p) + 1);
}

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

HeaderCharset headerCharsetForLocale(const QString &localeName)
{
    const QLocale loc(localeName);
    switch (loc.language()) {
    case QLocale::Chinese:
        if (loc.territory() == QLocale::China) return {"GB2312", 'B', "GB2312"};
        return {"Big5", 'B', "BIG5"};
    case QLocale::Japanese:
        return {"ISO-2022-JP", 'B', "ISO-2022-JP"};
    case QLocale::Korean:
        return {"EUC-KR", 'B', "EUC-KR"};
    default:
        return {"ISO-8859-1", 'Q', "ISO-8859-1"};
    }
}

QString systemLocaleName()
{
    return QLocale::system().name();
}

HeaderCharset bodyFallbackCharset()
{
    return {"GB2312", 'B', "GB2312"};
}

std::optional<QByteArray> encodeIn(const QByteArray &charset, const QString &text)
{
    if (isGb2312(charset)) return gb::encode(text);
    iconv_t cd = iconv_open(charset.constData(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 4 + 16, '\0');
    char *inp = in.data();
    size_t inleft = static_cast<size_t>(in.size());
    char *outp = out.data();
    size_t outleft = static_cast<size_t>(out.size());
    bool ok = iconv(cd, &inp, &inleft, &outp, &outleft) != static_cast<size_t>(-1);
    // a stateful charset (ISO-2022-JP) returns to ASCII at the end
    ok = ok && iconv(cd, nullptr, nullptr, &outp, &outleft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.truncate(outp - out.data());
    return out;
}

bool isSafeAddress(const QString &address)
{
    for (QChar c : address)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QLatin1Char('<') || c == QLatin1Char('>'))
            return false;
    return true;
}

QByteArray encodeHeaderText(const QString &text, const HeaderCharset &charset, bool displayName)
{
    const QString flat = oneLine(text);
    // (white space before, word) pairs; white space after the last word is kept
    struct Token
    {
        QString space, word;
    };
    QList<Token> tokens;
    QString trailing;
    for (qsizetype i = 0; i < flat.size();) {
        Token t;
        while (i < flat.size() && isSpaceChar(flat.at(i)))
            t.space += flat.at(i++);
        while (i < flat.size() && !isSpaceChar(flat.at(i)))
            t.word += flat.at(i++);
        if (t.word.isEmpty())
            trailing = t.space;
        else
            tokens.append(t);
    }
    QByteArray out;
    for (qsizetype i = 0; i < tokens.size();) {
        if (!needsEncoding(tokens[i].word, displayName)) {
            out += (tokens[i].space + tokens[i].word).toLatin1();
            ++i;
            continue;
        }
        out += tokens[i].space.toLatin1();
        QString run = tokens[i].word;
        for (++i; i < tokens.size() && needsEncoding(tokens[i].word, displayName); ++i)
            run += tokens[i].space + tokens[i].word;
        out += encodeRun(run, charset, displayName);
    }
    return out + trailing.toLatin1();
}

QByteArray formatAddress(const MailAddress &address, const HeaderCharset &charset)
{
    const QByteArray addr = gb::encode(address.address);
    const QString name = oneLine(address.name);
    if (name.isEmpty()) return addr;
    if (!needsEncoding(name, false)) {
        QByteArray quoted = name.toLatin1();
        quoted.replace("\\", "\\\\").replace("\"", "\\\"");
        return '"' + quoted + "\" <" + addr + '>';
    }
    return encodeHeaderText(name, charset, true) + " <" + addr + '>';
}

QByteArray foldField(const QByteArray &name, const QByteArray &value)
{
    QByteArray out;
    for (const QByteArray &physical : (name + ": " + value).split('\n')) {
        QByteArray line = physical;
        if (line.endsWith('\r')) line.chop(1);
        for (const QByteArray &l : foldLine(line))
            out += l + "\r\n";
    }
    return out;
}

QByteArray formatDate(std::time_t moment)
{
    std::tm tm{};
    localtime_r(&moment, &tm);
    const long offset = tm.tm_gmtoff / 60;
    const long absOffset = offset < 0 ? -offset : offset;
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(kWeekdays[tm.tm_wday]))
        .arg(tm.tm_mday)
        .arg(QLatin1String(kMonths[tm.tm_mon]))
        .arg(tm.tm_year + 1900)
        .arg(tm.tm_hour, 2, 10, QLatin1Char('0'))
        .arg(tm.tm_min, 2, 10, QLatin1Char('0'))
        .arg(tm.tm_sec, 2, 10, QLatin1Char('0'))
        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(absOffset / 60, 2, 10, QLatin1Char('0'))
        .arg(absOffset % 60, 2, 10, QLatin1Char('0'))
        .toLatin1();
}

QByteArray buildHeaderBlock(const MailMessage &message, const QString &mailAgent,
                            const HeaderCharset &charset, std::time_t now)
{
    QList<QByteArray> to;
    for (const MailAddress &a : message.Recipients)
        if (QByteArray f = formatAddress(a, charset); !f.isEmpty()) to.append(f);
    QByteArray contentType = oneLine(message.ContentType).toLatin1();
    if (!contentType.isEmpty() && !message.CharSet.isEmpty())
        contentType += ";\r\n\tcharset=\"" + oneLine(message.CharSet).toLatin1() + '"';
    const std::pair<const char *, QByteArray> fields[] = {
        {"From", formatAddress(message.From, charset)},
        {"Subject", encodeHeaderText(message.Subject, charset)},
        {"To", to.join(", ")},
        {"Content-Type", contentType},
        {"Disposition-Notification-To", formatAddress(message.ReceiptRecipient, charset)},
        {"Date", formatDate(message.Date.value_or(now))},
        {"X-Priority", priorityValue(message.Priority)},
        {"X-Library", "Kestrava"},
        {"X-Mailer", encodeHeaderText(mailAgent, charset)},
    };
    QByteArray out;
    for (const auto &[name, value] : fields)
        if (!value.isEmpty()) out += foldField(name, value);
    return out;
}

std::optional<QByteArray> buildBody(const MailMessage &message)
{
    const QByteArray charset = message.CharSet.isEmpty() ? QByteArray("GB2312") : message.CharSet.toLatin1();
    QByteArray out;
    for (const QString &entry : message.Body) {
        QString text = entry;
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            std::optional<QByteArray> bytes = encodeIn(charset, line);
            if (!bytes) return std::nullopt;
            if (bytes->startsWith('.')) out += '.';
            out += *bytes + "\r\n";
        }
    }
    return out;
}
