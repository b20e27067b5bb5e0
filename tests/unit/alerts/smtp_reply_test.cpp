// SMTP replies read from bytes: the line limit before and after the line end, and a reply that never ends.
#include "alerts/smtperror.h"
#include "alerts/smtpreply.h"

#include <gtest/gtest.h>

namespace {

// Feeds bytes to a fresh splitter and builder; the replies read, or the error.
struct Read
{
    std::vector<SmtpReply> replies;
    bool failed = false;
};

Read readAll(const QByteArray &bytes, int maxLength = 16384)
{
    Read r;
    SmtpLineSplitter splitter;
    SmtpReplyBuilder builder;
    try {
        splitter.append(bytes.constData(), bytes.size());
        while (std::optional<QByteArray> line = splitter.takeLine(maxLength)) {
            if (builder.addLine(*line)) {
                r.replies.push_back(builder.reply());
                builder = SmtpReplyBuilder();
            }
        }
    } catch (const SmtpError &) {
        r.failed = true;
    }
    return r;
}

QByteArray continuation(int lines)
{
    QByteArray b;
    for (int i = 0; i < lines; ++i)
        b += "250-line\r\n";
    return b;
}

} // namespace

TEST(SmtpReply, LineLimitCountsTheBytesWithoutTheLineEnd)
{
    const struct
    {
        const char *why;
        QByteArray bytes;
        bool failed;
        std::size_t replies;
    } rows[] = {
        {"a line of exactly the limit, CR LF after it", "220 " + QByteArray(6, 'x') + "\r\n", false, 1},
        {"one byte more", "220 " + QByteArray(7, 'x') + "\r\n", true, 0},
        {"still waiting for the LF after a CR at the limit", "220 " + QByteArray(6, 'x') + "\r", false, 0},
        {"too long before any LF has come", "220 " + QByteArray(8, 'x'), true, 0},
        {"the replies before a long line are read", "220 ok\r\n250 " + QByteArray(20, 'x'), true, 1},
    };
    for (const auto &r : rows) {
        const Read got = readAll(r.bytes, 10);
        EXPECT_EQ(got.failed, r.failed) << r.why;
        EXPECT_EQ(got.replies.size(), r.replies) << r.why;
    }
}

TEST(SmtpReply, ContinuationLinesAreBoundedAndGrouped)
{
    const Read most = readAll(continuation(SmtpReplyBuilder::kMaxLines - 1) + "250 end\r\n");
    ASSERT_FALSE(most.failed);
    ASSERT_EQ(most.replies.size(), 1u);
    EXPECT_EQ(most.replies[0].code, 250);
    EXPECT_EQ(most.replies[0].lines.size(), SmtpReplyBuilder::kMaxLines);
    EXPECT_EQ(most.replies[0].lines.back(), QStringLiteral("end"));

    // a server that keeps sending "250-" lines is cut off, not followed into the memory
    EXPECT_TRUE(readAll(continuation(SmtpReplyBuilder::kMaxLines) + "250 end\r\n").failed);
}
