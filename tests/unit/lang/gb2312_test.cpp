// GB2312 edges: encoding, decoding of bad bytes, byte-counted cuts.
#include "lang/gb2312.h"

#include <gtest/gtest.h>

TEST(Gb2312, EncodesChineseAsTwoBytesAndAsciiAsOne)
{
    EXPECT_EQ(gb::encode(QStringLiteral("A市电")), QByteArray("A\xCA\xD0\xB5\xE7"));
    EXPECT_EQ(gb::byteLength(QStringLiteral("市电正常")), 8);
    EXPECT_EQ(gb::byteLength(QString()), 0);
}

TEST(Gb2312, UnmappableCharactersBecomeOneQuestionMark)
{
    // 镕 is GBK-only, the emoji has no GB2312 form at all
    EXPECT_EQ(gb::encode(QStringLiteral("a镕b")), QByteArray("a?b"));
    EXPECT_EQ(gb::encode(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
    EXPECT_FALSE(gb::representable(QStringLiteral("镕")));
    EXPECT_TRUE(gb::representable(QStringLiteral("关机 ok")));
}

TEST(Gb2312, DecodeReplacesInvalidAndTruncatedBytes)
{
    EXPECT_EQ(gb::decode(QByteArray("\xCA\xD0\xB5\xE7")), QStringLiteral("市电"));
    EXPECT_EQ(gb::decode(QByteArray("ab\xCA")), QStringLiteral("ab\uFFFD"));
    EXPECT_EQ(gb::decode(QByteArray("\xFF" "a")), QStringLiteral("\uFFFD" "a"));
}

TEST(Gb2312, LeftBytesNeverSplitsACharacter)
{
    struct Row { const char *why; QString text; int max; QString want; };
    const Row rows[] = {
        {"shorter than the limit stays whole", QStringLiteral("ab"), 29, QStringLiteral("ab")},
        {"cut falls between characters", QStringLiteral("市电正常"), 4, QStringLiteral("市电")},
        {"cut inside a character drops it", QStringLiteral("市电正常"), 5, QStringLiteral("市电")},
        {"29 bytes with the 30th inside a character", QStringLiteral("a") + QString(20, QChar(0x5E02)), 29,
         QStringLiteral("a") + QString(14, QChar(0x5E02))},
        {"zero bytes", QStringLiteral("abc"), 0, QString()},
    };
    for (const Row &r : rows)
        EXPECT_EQ(gb::leftBytes(r.text, r.max), r.want) << r.why;
}

TEST(Gb2312, DropLastBytes)
{
    EXPECT_EQ(gb::dropLastBytes(QStringLiteral("1 天  2: 3: 4"), 3), QStringLiteral("1 天  2: 3"));
    EXPECT_EQ(gb::dropLastBytes(QStringLiteral("ab天"), 1), QStringLiteral("ab"));
}
