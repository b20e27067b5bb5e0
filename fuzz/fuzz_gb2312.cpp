// GB2312 at the edges: decode arbitrary bytes, cut by bytes, and round-trip what GB2312 can hold.
#include "fuzz_check.h"
#include "lang/gb2312.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

namespace {

int codePoints(const QString &s)
{
    int n = 0;
    for (qsizetype i = 0; i < s.size(); ++i, ++n)
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) ++i;
    return n;
}

// Every byte is ASCII or part of a pair in the GB2312 area.
bool isGb2312(const QByteArray &b)
{
    for (qsizetype i = 0; i < b.size(); ++i) {
        const auto c = static_cast<unsigned char>(b.at(i));
        if (c < 0x80) continue;
        if (i + 1 >= b.size()) return false;
        const auto t = static_cast<unsigned char>(b.at(++i));
        if (c < 0xA1 || c > 0xF7 || t < 0xA1 || t > 0xFE) return false;
    }
    return true;
}

void checkCuts(const QString &text, int limit)
{
    const QString left = gb::leftBytes(text, limit);
    FUZZ_CHECK(text.startsWith(left));
    FUZZ_CHECK(gb::byteLength(left) <= (limit < 0 ? 0 : limit));
    if (left.size() < text.size()) {
        // the cut is at a character boundary, and the next character would not fit
        FUZZ_CHECK(
            !(left.size() > 0 && left.back().isHighSurrogate() && text.at(left.size()).isLowSurrogate()));
        const qsizetype next = text.at(left.size()).isHighSurrogate() && left.size() + 1 < text.size() &&
                                       text.at(left.size() + 1).isLowSurrogate()
                                   ? 2
                                   : 1;
        FUZZ_CHECK(gb::byteLength(text.left(left.size() + next)) > limit);
    }
    const int total = gb::byteLength(text);
    const QString dropped = gb::dropLastBytes(text, limit < 0 ? 0 : limit % (total + 1));
    FUZZ_CHECK(text.startsWith(dropped));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool asUtf16 = in.ConsumeBool();
    const int limit = in.ConsumeIntegralInRange<int>(-2, 300);
    const std::vector<uint8_t> rest = in.ConsumeRemainingBytes<uint8_t>();

    QString text;
    if (asUtf16) {
        // any UTF-16, lone surrogates included
        text = QString(reinterpret_cast<const QChar *>(rest.data()), qsizetype(rest.size() / 2));
    } else {
        const QByteArray bytes(reinterpret_cast<const char *>(rest.data()), qsizetype(rest.size()));
        text = gb::decode(bytes);
        // what decode gives is well-formed UTF-16
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i).isHighSurrogate()) {
                FUZZ_CHECK(i + 1 < text.size() && text.at(i + 1).isLowSurrogate());
                ++i;
            } else {
                FUZZ_CHECK(!text.at(i).isLowSurrogate());
            }
        }
        // GB2312 bytes of assigned characters are written back as the same bytes
        if (isGb2312(bytes) && gb::representable(text)) FUZZ_CHECK(gb::encode(text) == bytes);
    }

    const QByteArray encoded = gb::encode(text);
    FUZZ_CHECK(isGb2312(encoded));
    FUZZ_CHECK(encoded.size() == gb::byteLength(text));
    // one character in, one character out ('?' for what GB2312 cannot hold)
    const QString back = gb::decode(encoded);
    FUZZ_CHECK(codePoints(back) == codePoints(text));
    if (gb::representable(text)) FUZZ_CHECK(back == text);
    checkCuts(text, limit);
    return 0;
}
