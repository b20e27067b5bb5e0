// GB2312 written and read back: every code of the character set, the dash and middle dot, broken UTF-16.
#include "lang/gb2312.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <iconv.h>

TEST(Gb2312RoundTrip, EveryGb2312CodeIsWrittenBackAsTheSameBytes)
{
    // the strict table says which codes are GB2312 at all
    iconv_t strict = iconv_open("UTF-8", "GB2312");
    ASSERT_NE(strict, reinterpret_cast<iconv_t>(-1));
    int codes = 0;
    QStringList wrong;
    for (int lead = 0xA1; lead <= 0xF7; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            char in[2] = {char(lead), char(trail)};
            char out[8];
            char *inp = in, *outp = out;
            size_t inleft = 2, outleft = sizeof out;
            iconv(strict, nullptr, nullptr, nullptr, nullptr);
            if (iconv(strict, &inp, &inleft, &outp, &outleft) == size_t(-1)) continue;
            ++codes;
            const QByteArray bytes(in, 2);
            const QString text = gb::decode(bytes);
            if (gb::encode(text) != bytes || !gb::representable(text) || gb::byteLength(text) != 2)
                wrong << QString::fromLatin1(bytes.toHex());
        }
    }
    iconv_close(strict);
    EXPECT_GT(codes, 7000);
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(QLatin1Char(' ')).toStdString();
}

TEST(Gb2312RoundTrip, DashAndMiddleDotAreTheCharactersFilesAndInputGive)
{
    // Windows and GB18030 read A1AA as U+2014 and A1A4 as U+00B7: "——" and
    // the dot between the parts of a foreign name are written that way.
    const struct
    {
        QString text;
        QByteArray bytes;
    } rows[] = {
        {QStringLiteral("——"), QByteArray("\xA1\xAA\xA1\xAA")},
        {QStringLiteral("约翰·史密斯"),
         gb::encode(QStringLiteral("约翰")) + "\xA1\xA4" + gb::encode(QStringLiteral("史密斯"))},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(gb::encode(r.text), r.bytes) << r.text.toStdString();
        EXPECT_EQ(gb::decode(r.bytes), r.text) << r.text.toStdString();
        EXPECT_TRUE(gb::representable(r.text)) << r.text.toStdString();
    }
    // the look-alikes that GB2312 has no code of its own for stay unwritable
    EXPECT_EQ(gb::encode(QStringLiteral("\u2015\u30FB")), QByteArray("??"));
}

TEST(Gb2312RoundTrip, LoneSurrogateTakesNothingThatFollowsWithIt)
{
    // a high surrogate without its low half (a broken paste) is one '?'; the
    // characters after it are still written and counted
    const QString broken = QString(QChar(0xD83D)) + QStringLiteral("中A") + QChar(0xD800);
    EXPECT_EQ(gb::encode(broken), "?" + gb::encode(QStringLiteral("中")) + "A?");
    EXPECT_EQ(gb::byteLength(broken), 5);
    EXPECT_EQ(gb::leftBytes(broken, 3), broken.left(2));
    EXPECT_EQ(gb::dropLastBytes(broken, 1), broken.left(3));
}
