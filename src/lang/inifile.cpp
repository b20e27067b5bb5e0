// INI reading and writing with the rules of the platform's profile strings.
#include "lang/inifile.h"

#include "lang/gb2312.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>
#include <utility>

namespace {

constexpr int kMaxValueBytes = 2047;
const QByteArray kUtf8Bom("\xEF\xBB\xBF");

bool isBlank(QChar c)
{
    // Only ASCII blanks: the ideographic space U+3000 that starts the mail
    // lines is part of the text.
    return c == u' ' || c == u'\t';
}

QString trimBlanks(const QString &s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s.at(b)))
        ++b;
    while (e > b && isBlank(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}

bool isQuoted(const QString &s)
{
    return s.size() >= 2 && (s.front() == u'"' || s.front() == u'\'') && s.back() == s.front();
}

QString valueOf(const QString &raw)
{
    QString v = trimBlanks(raw);
    if (isQuoted(v)) v = v.mid(1, v.size() - 2);
    // A GB2312 character takes at most two bytes, so up to 1023 characters
    // always fit; only longer values need the byte-exact cut.
    if (v.size() > kMaxValueBytes / 2) {
        if (v.size() > kMaxValueBytes) {
            v.truncate(kMaxValueBytes);
            if (v.back().isHighSurrogate()) v.chop(1);
        }
        v = gb::leftBytes(v, kMaxValueBytes);
    }
    return v;
}

bool hasLineBreak(const QString &s)
{
    return s.contains(u'\n') || s.contains(u'\r');
}

int hexDigit(char16_t c, int base)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (base == 16 && c >= u'a' && c <= u'f') return 10 + (c - u'a');
    if (base == 16 && c >= u'A' && c <= u'F') return 10 + (c - u'A');
    return -1;
}

// Parses the leading number of text: decimal, or hex after "0x"/"$".
bool parseInteger(const QString &text, int &out)
{
    const QString s = trimBlanks(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s.at(i) == u'-' || s.at(i) == u'+')) negative = s.at(i++) == u'-';
    int base = 10;
    if (s.mid(i, 2).compare(u"0x", Qt::CaseInsensitive) == 0) {
        base = 16;
        i += 2;
    } else if (i < s.size() && s.at(i) == u'$') {
        base = 16;
        ++i;
    }
    const long long limit = static_cast<long long>(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
    long long value = 0;
    int digits = 0;
    for (int d; i < s.size() && (d = hexDigit(s.at(i).unicode(), base)) >= 0; ++i, ++digits) {
        value = value * base + d;
        if (value > limit) return false;
    }
    if (digits == 0) return false;
    out = static_cast<int>(negative ? -value : value);
    return true;
}

} // namespace

IniWriteError::IniWriteError(const QString &path)
    : std::runtime_error(("Unable to write to " + path).toStdString()), path_(path)
{
}

IniFile::IniFile(QString path) : path_(std::move(path))
{
    reload();
}

void IniFile::reload()
{
    bytes_.clear();
    QFile f(path_);
    if (!path_.isEmpty() && f.open(QIODevice::ReadOnly)) bytes_ = f.readAll();
    parse();
}

QString IniFile::decodeBytes(const QByteArray &bytes) const
{
    return utf8_ ? QString::fromUtf8(bytes) : gb::decode(bytes);
}

QByteArray IniFile::encodeText(const QString &text) const
{
    return utf8_ ? text.toUtf8() : gb::encode(text);
}

QByteArray IniFile::lineEnd() const
{
    // Follow the file's own style; a new file gets the Linux one.
    const qsizetype nl = bytes_.indexOf('\n');
    return (nl > 0 && bytes_.at(nl - 1) == '\r') ? QByteArray("\r\n") : QByteArray("\n");
}

void IniFile::parse()
{
    lines_.clear();
    sections_.clear();
    byName_.clear();
    utf8_ = bytes_.startsWith(kUtf8Bom);
    qsizetype pos = utf8_ ? kUtf8Bom.size() : 0;
    while (pos < bytes_.size()) {
        const qsizetype nl = bytes_.indexOf('\n', pos);
        const qsizetype stop = nl < 0 ? bytes_.size() : nl;
        qsizetype end = stop;
        if (end > pos && bytes_.at(end - 1) == '\r') --end;
        lines_.push_back({pos, end, nl < 0 ? bytes_.size() : nl + 1});
        pos = lines_.back().next;
    }

    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
        const Line &ln = lines_[static_cast<size_t>(i)];
        // The bytes "[", "]", ";" and "=" never occur inside a two-byte
        // character of GB2312, so the line could be split on bytes too; it is
        // decoded first for simplicity.
        const QString text = trimBlanks(decodeBytes(bytes_.mid(ln.begin, ln.end - ln.begin)));
        if (text.isEmpty()) continue;
        if (text.front() == u'[') {
            qsizetype close = text.indexOf(u']');
            if (close < 0) close = text.size();
            sections_.push_back({trimBlanks(text.mid(1, close - 1)), i, {}, {}});
            const QString folded = sections_.back().name.toCaseFolded();
            if (!byName_.contains(folded)) byName_.insert(folded, sections_.size() - 1);
            continue;
        }
        if (sections_.empty()) continue; // keys before the first header belong to no section
        Section &sec = sections_.back();
        sec.lastLine = i;
        if (text.front() == u';') continue;
        const qsizetype eq = text.indexOf(u'=');
        if (eq < 0) continue;
        const QString key = trimBlanks(text.left(eq));
        const QString folded = key.toCaseFolded();
        if (key.isEmpty() || sec.byKey.contains(folded)) continue;
        sec.byKey.insert(folded, sec.entries.size());
        sec.entries.push_back({key, valueOf(text.mid(eq + 1)), i});
    }
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    const auto it = byName_.constFind(name.toCaseFolded());
    return it == byName_.cend() ? nullptr : &sections_[*it];
}

const IniFile::Entry *IniFile::findEntry(const Section &section, const QString &key)
{
    const auto it = section.byKey.constFind(key.toCaseFolded());
    return it == section.byKey.cend() ? nullptr : &section.entries[*it];
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const Section *s = findSection(section);
    const Entry *e = s ? findEntry(*s, key) : nullptr;
    return e ? e->value : def;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    const Section *s = findSection(section);
    const Entry *e = s ? findEntry(*s, key) : nullptr;
    int value = def;
    if (e && parseInteger(e->value, value)) return value;
    return def;
}

QStringList IniFile::sectionKeys(const QString &section) const
{
    QStringList keys;
    if (const Section *s = findSection(section))
        for (const Entry &e : s->entries)
            keys << e.key;
    return keys;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString k = trimBlanks(key);
    const QString sec = trimBlanks(section);
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
        throw std::invalid_argument("INI names and values cannot hold line breaks");
    if (k.isEmpty() || k.contains(u'=') || k.front() == u'[' || k.front() == u';' || sec.contains(u']'))
        throw std::invalid_argument("not a writable INI name");

    reload();
    const QString shown = (value != trimBlanks(value) || isQuoted(value)) ? u'"' + value + u'"' : value;
    const QByteArray encodedValue = encodeText(shown);
    const QByteArray eol = lineEnd();

    QByteArray out;
    const Section *s = findSection(sec);
    if (const Entry *e = s ? findEntry(*s, k) : nullptr) {
        // Keep the key as spelled, with its blanks, up to and including "=".
        const Line &ln = lines_[static_cast<size_t>(e->line)];
        const qsizetype eq = bytes_.indexOf('=', ln.begin);
        out = bytes_.left(eq + 1) + encodedValue + bytes_.mid(ln.end);
    } else if (s) {
        const Line &last = lines_[static_cast<size_t>(s->lastLine)];
        const bool unterminated = last.next == last.end; // last line of a file without a final line end
        out = bytes_.left(last.next) + (unterminated ? eol : QByteArray()) + encodeText(k) + '=' +
              encodedValue + eol + bytes_.mid(last.next);
    } else {
        out = bytes_;
        if (!out.isEmpty() && !out.endsWith('\n')) out += eol;
        out += '[' + encodeText(sec) + ']' + eol + encodeText(k) + '=' + encodedValue + eol;
    }

    // The new content goes to a temporary file beside the old one and is
    // renamed over it, so a crash leaves either the old or the new file.
    // Where the folder refuses new files but the file itself is writable,
    // the file is written in place.
    // A read-only file stays unchanged, as the folder's rename would not stop it.
    const QFileInfo info(path_);
    QSaveFile f(path_);
    f.setDirectWriteFallback(true);
    if (path_.isEmpty() || (info.exists() && !info.isWritable()) || !f.open(QIODevice::WriteOnly) ||
        f.write(out) != out.size() || !f.commit())
        throw IniWriteError(path_);
    bytes_ = out;
    parse();
}
