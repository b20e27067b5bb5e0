// SMTP replies from arbitrary server bytes: the line limit, grouping, and the same replies however the bytes
// arrive.
#include "alerts/smtperror.h"
#include "alerts/smtpreply.h"
#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

namespace {

struct Outcome
{
    std::vector<SmtpReply> replies;
    bool failed = false;
    qsizetype consumed = 0; // bytes appended before the end or the failure

    bool operator==(const Outcome &o) const
    {
        if (failed != o.failed || replies.size() != o.replies.size()) return false;
        for (std::size_t i = 0; i < replies.size(); ++i)
            if (replies[i].code != o.replies[i].code || replies[i].lines != o.replies[i].lines) return false;
        return true;
    }
};

// Reads replies from bytes handed over in the given pieces (the last piece takes the rest).
Outcome readAll(const QByteArray &bytes, const std::vector<int> &pieces, int maxLength)
{
    Outcome out;
    SmtpLineSplitter splitter;
    SmtpReplyBuilder builder;
    std::size_t next = 0;
    try {
        while (out.consumed < bytes.size()) {
            const qsizetype n = next < pieces.size() ? pieces[next++] : bytes.size() - out.consumed;
            const qsizetype take = std::min(n, bytes.size() - out.consumed);
            splitter.append(bytes.constData() + out.consumed, take);
            out.consumed += take;
            while (std::optional<QByteArray> line = splitter.takeLine(maxLength)) {
                FUZZ_CHECK(line->size() <= maxLength && !line->contains('\n'));
                if (builder.addLine(*line)) {
                    const SmtpReply &r = builder.reply();
                    FUZZ_CHECK(r.code >= 0 && r.code <= 999);
                    FUZZ_CHECK(!r.lines.isEmpty() && r.lines.size() <= SmtpReplyBuilder::kMaxLines);
                    out.replies.push_back(r);
                    builder = SmtpReplyBuilder();
                }
            }
        }
    } catch (const SmtpError &) {
        out.failed = true;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    // mostly the client's own limit; a small one reaches the limit's edges with short inputs
    const int maxLength = in.ConsumeBool() ? 16384 : in.ConsumeIntegralInRange<int>(0, 40);
    std::vector<int> pieces(in.ConsumeIntegralInRange<std::size_t>(0, 8));
    for (int &p : pieces)
        p = in.ConsumeIntegralInRange<int>(1, 64);
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray bytes(rest.data(), qsizetype(rest.size()));

    const Outcome whole = readAll(bytes, {}, maxLength);
    const Outcome chunked = readAll(bytes, pieces, maxLength);
    FUZZ_CHECK(whole == chunked);
    // a line of more than maxLength bytes is refused, and only then
    if (!whole.failed) {
        const QList<QByteArray> lines = bytes.split('\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray &line = lines[i];
            const bool terminated = i + 1 < lines.size(); // the last piece may still get its CR LF
            FUZZ_CHECK(line.size() <= maxLength + 1);
            if (terminated && line.size() == maxLength + 1) FUZZ_CHECK(line.endsWith('\r'));
        }
    }
    return 0;
}
