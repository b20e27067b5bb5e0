// GB2312 conversion through glibc iconv (predictable errors, see DESIGN.md).
#include "lang/gb2312.h"

#include <cerrno>
#include <iconv.h>

namespace gb {
namespace {

// Runs one conversion of in through cd; empty when it stops at an error.
QByteArray convert(iconv_t cd, const QByteArray &in)
{
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    QByteArray copy = in;
    char out[8];
    char *inp = copy.data();
    size_t inleft = static_cast<size_t>(copy.size());
    char *outp = out;
    size_t outleft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inp, &inleft, &outp, &outleft) == static_cast<size_t>(-1) || inleft != 0) return {};
    return QByteArray(out, static_cast<int>(outp - out));
}

// Encodes one character (one code point) to GB2312; empty if it has none.
// The code is the one decode() reads back as this character: text is read as
// GB18030, whose two-byte codes in the GB2312 area are GB2312's own, except
// that glibc's strict table puts U+2015 and U+30FB on A1AA and A1A4 where
// GB18030 (and Windows) have U+2014 and U+00B7. Taking GB18030's code and
// checking that it is a GB2312 code keeps "——" and "·" intact.
QByteArray encodeOne(const QString &ch)
{
    static thread_local iconv_t toGb18030 = iconv_open("GB18030", "UTF-8");
    static thread_local iconv_t fromGb2312 = iconv_open("UTF-8", "GB2312");
    const QByteArray code = convert(toGb18030, ch.toUtf8());
    if (code.size() != 2 || convert(fromGb2312, code).isEmpty()) return {};
    return code;
}

template <typename F> void forEachChar(const QString &text, F f)
{
    for (qsizetype i = 0; i < text.size();) {
        // a lone surrogate is a character of its own, never paired with what follows
        const qsizetype n =
            (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        f(text.mid(i, n));
        i += n;
    }
}

QByteArray encodeChar(const QString &ch)
{
    if (ch.size() == 1 && ch.at(0).unicode() < 0x80)
        return QByteArray(1, static_cast<char>(ch.at(0).unicode()));
    QByteArray b = encodeOne(ch);
    return b.isEmpty() ? QByteArray("?") : b;
}

} // namespace

QByteArray encode(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    forEachChar(text, [&](const QString &ch) { out += encodeChar(ch); });
    return out;
}

QString decode(const QByteArray &bytes)
{
    static thread_local iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) return QString::fromLatin1(bytes);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    QByteArray in = bytes;
    QByteArray out;
    char *inp = in.data();
    size_t inleft = static_cast<size_t>(in.size());
    char buf[4096];
    while (inleft > 0) {
        char *outp = buf;
        size_t outleft = sizeof buf;
        size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
        out.append(buf, static_cast<int>(outp - buf));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (truncated at the end): replace one byte, go on
            out.append("\xEF\xBF\xBD");
            ++inp;
            --inleft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return QString::fromUtf8(out);
}

bool representable(const QString &text)
{
    bool ok = true;
    forEachChar(text, [&](const QString &ch) {
        if (ok && !(ch.size() == 1 && ch.at(0).unicode() < 0x80) && encodeOne(ch).isEmpty()) ok = false;
    });
    return ok;
}

int byteLength(const QString &text)
{
    return static_cast<int>(encode(text).size());
}

QString leftBytes(const QString &text, int maxBytes)
{
    QString out;
    int used = 0;
    bool full = false;
    forEachChar(text, [&](const QString &ch) {
        if (full) return;
        int n = static_cast<int>(encodeChar(ch).size());
        if (used + n > maxBytes) {
            full = true;
            return;
        }
        used += n;
        out += ch;
    });
    return out;
}

QString dropLastBytes(const QString &text, int n)
{
    int total = byteLength(text);
    return leftBytes(text, total - n);
}

} // namespace gb
