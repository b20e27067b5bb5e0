// Wire form of mail headers and body: charset labels, encoded words, folding, addresses, Date.
#include "alerts/smtpheader.h"

#include "lang/gb2312.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <iconv.h>

namespace {

const HeaderCharset kGb = headerCharsetForLocale(QStringLiteral("zh_CN"));
const HeaderCharset kLatin = headerCharsetForLocale(QStringLiteral("en_US"));

// Decodes bytes strictly in the named charset; nothing when they are not valid there.
std::optional<QString> strictDecode(const QByteArray &label, const QByteArray &bytes)
{
    iconv_t cd = iconv_open("UTF-8", label.constData());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    QByteArray in = bytes, out(bytes.size() * 4 + 16, '\0');
    char *inp = in.data(), *outp = out.data();
    size_t inleft = in.size(), outleft = out.size();
    const bool ok = iconv(cd, &inp, &inleft, &outp, &outleft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.truncate(outp - out.data());
    return QString::fromUtf8(out);
}

QByteArray qDecode(const QByteArray &payload)
{
    QByteArray out;
    for (qsizetype i = 0; i < payload.size(); ++i) {
        if (payload[i] == '_')
            out += ' ';
        else if (payload[i] == '=' && i + 2 < payload.size())
            out += QByteArray::fromHex(payload.mid(i + 1, 2)), i += 2;
        else
            out += payload[i];
    }
    return out;
}

// A reader of folded header values: unfolds, decodes every encoded word in the
// charset its label names (a label that does not fit its bytes reads as
// "<bad label>"), and drops white space between adjacent encoded words.
QString readHeader(QByteArray value)
{
    value.replace("\r\n ", " ").replace("\r\n\t", "\t");
    static const QRegularExpression word(QStringLiteral("=\\?([^?]+)\\?([BbQq])\\?([^?]*)\\?="));
    const QString text = QString::fromLatin1(value);
    QString out;
    qsizetype pos = 0;
    bool lastWasWord = false;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const QString between = text.mid(pos, m.capturedStart() - pos);
        if (!(lastWasWord && between.trimmed().isEmpty())) out += between;
        const QByteArray payload = m.captured(3).toLatin1();
        const QByteArray bytes = m.captured(2).toUpper() == QLatin1String("B")
                                     ? QByteArray::fromBase64(payload)
                                     : qDecode(payload);
        out += strictDecode(m.captured(1).toLatin1(), bytes).value_or(QStringLiteral("<bad label>"));
        pos = m.capturedEnd();
        lastWasWord = true;
    }
    return out + text.mid(pos);
}

// The decoded value of a folded "Subject: ..." field.
QString subjectOf(const QByteArray &field)
{
    return readHeader(field.mid(8).chopped(2)).trimmed();
}

QStringList encodedWords(const QByteArray &value)
{
    static const QRegularExpression word(QStringLiteral("=\\?[^?]+\\?[BQ]\\?[^?]*\\?="));
    QStringList out;
    for (auto it = word.globalMatch(QString::fromLatin1(value)); it.hasNext();)
        out << it.next().captured();
    return out;
}

} // namespace

TEST(SmtpCharset, LabelFollowsTheLocale)
{
    struct Row
    {
        const char *locale;
        const char *label;
        char encoding;
    };
    const Row rows[] = {
        {"zh_CN", "GB2312", 'B'},     {"zh_CN.UTF-8", "GB2312", 'B'}, {"zh_TW", "Big5", 'B'},
        {"zh_HK", "Big5", 'B'},       {"ja_JP", "ISO-2022-JP", 'B'},  {"ko_KR", "EUC-KR", 'B'},
        {"en_US", "ISO-8859-1", 'Q'}, {"de_DE", "ISO-8859-1", 'Q'},   {"C", "ISO-8859-1", 'Q'},
    };
    for (const Row &r : rows) {
        const HeaderCharset cs = headerCharsetForLocale(QString::fromLatin1(r.locale));
        EXPECT_EQ(cs.label, QByteArray(r.label)) << r.locale;
        EXPECT_EQ(cs.encoding, r.encoding) << r.locale;
    }
}

TEST(SmtpEncodedWords, WordsThatNeedItAndOnlyThose)
{
    const QByteArray gbSubject = QByteArray("Kestrava:") + "\xCA\xD0\xB5\xE7\xD6\xD0\xB6\xCF"; // 市电中断
    struct Row
    {
        const char *why;
        QString text;
        HeaderCharset cs;
        QByteArray want;
    };
    const Row rows[] = {
        {"printable ASCII stays as it is", QStringLiteral("Kestrava: mains failed"), kGb,
         "Kestrava: mains failed"},
        {"one word with Chinese is encoded whole, prefix included", QStringLiteral("Kestrava:市电中断"), kGb,
         "=?GB2312?B?" + gbSubject.toBase64() + "?="},
        {"a run of encoded words keeps the space inside, not the one before",
         QStringLiteral("Alert 市电 中断 now"), kGb,
         "Alert =?GB2312?B?" + QByteArray("\xCA\xD0\xB5\xE7 \xD6\xD0\xB6\xCF").toBase64() + "?= now"},
        {"Q encoding: space as _, 8-bit bytes and = ? _ as hex", QStringLiteral("café=?_ crème ok"), kLatin,
         "=?ISO-8859-1?Q?caf=E9=3D=3F=5F_cr=E8me?= ok"},
        {"ASCII words between encoded ones are copied", QStringLiteral("café a=b?_ crème"), kLatin,
         "=?ISO-8859-1?Q?caf=E9?= a=b?_ =?ISO-8859-1?Q?cr=E8me?="},
        {"CR and LF become spaces: no new header line", QStringLiteral("Alert\r\nBcc: x@y"), kGb,
         "Alert  Bcc: x@y"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(encodeHeaderText(r.text, r.cs), r.want) << r.why;
}

TEST(SmtpEncodedWords, LabelAlwaysNamesTheCharsetOfTheBytes)
{
    struct Row
    {
        const char *why;
        const char *locale;
        QString text;
        const char *label;
    };
    const Row rows[] = {
        {"Chinese under a Latin locale travels as GB2312", "en_US", QStringLiteral("Kestrava:市电中断"),
         "GB2312"},
        {"simplified characters Big5 lacks travel as GB2312", "zh_TW", QStringLiteral("市电中断"), "GB2312"},
        {"traditional characters under zh_TW stay Big5", "zh_TW", QStringLiteral("市電中斷"), "Big5"},
        {"Japanese under ja", "ja_JP", QStringLiteral("停電しました"), "ISO-2022-JP"},
        {"Korean under ko", "ko_KR", QStringLiteral("정전"), "EUC-KR"},
        {"Latin-1 text under a Latin locale", "fr_FR", QStringLiteral("Coupure électrique"), "ISO-8859-1"},
    };
    for (const Row &r : rows) {
        const QByteArray encoded =
            encodeHeaderText(r.text, headerCharsetForLocale(QString::fromLatin1(r.locale)));
        EXPECT_TRUE(encoded.contains(QByteArray("=?") + r.label + "?"))
            << r.why << ": " << encoded.constData();
        EXPECT_EQ(readHeader(encoded), r.text) << r.why;
    }
}

TEST(SmtpEncodedWords, LongTextSplitsBetweenCharactersIntoWordsOfAtMost75)
{
    // 9 ASCII bytes and 42 two-byte characters: 93 bytes, more than two B words of 45 bytes hold
    const QString subject =
        QStringLiteral("Kestrava:") + QString(21, QChar(0x5E02)) + QString(21, QChar(0x7535));
    const QByteArray encoded = encodeHeaderText(subject, kGb);
    const QStringList words = encodedWords(encoded);
    ASSERT_EQ(words.size(), 3) << encoded.constData();
    EXPECT_EQ(QStringList(words).join(QStringLiteral("\r\n\t")).toLatin1(), encoded);
    QByteArray all;
    for (const QString &w : words) {
        EXPECT_LE(w.size(), 75) << w.toStdString();
        // each word on its own is whole GB2312: no character cut in two
        const QByteArray bytes = QByteArray::fromBase64(w.mid(11, w.size() - 13).toLatin1());
        EXPECT_TRUE(strictDecode("GB2312", bytes).has_value()) << w.toStdString();
        all += bytes;
    }
    EXPECT_EQ(gb::decode(all), subject);

    // as a header field: a first line with the name only, then one line per word
    const QByteArray field = foldField("Subject", encoded);
    const QList<QByteArray> lines = field.chopped(2).split('\n');
    ASSERT_EQ(lines.size(), 4) << field.constData();
    EXPECT_EQ(lines[0], "Subject:\r");
    for (qsizetype i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].startsWith(' ') || lines[i].startsWith('\t')) << lines[i].constData();
        EXPECT_FALSE(lines[i].trimmed().isEmpty());
        EXPECT_LE(lines[i].chopped(i + 1 < lines.size() ? 1 : 0).size(), 78);
    }
    EXPECT_EQ(subjectOf(field), subject);
}

TEST(SmtpEncodedWords, JapaneseWordsEachEndInAsciiState)
{
    const QString text(40, QChar(0x96FB)); // 電: enough for several ISO-2022-JP words
    const QStringList words =
        encodedWords(encodeHeaderText(text, headerCharsetForLocale(QStringLiteral("ja_JP"))));
    ASSERT_GE(words.size(), 2);
    QString joined;
    for (const QString &w : words) {
        EXPECT_LE(w.size(), 75);
        const QByteArray bytes = QByteArray::fromBase64(w.mid(16, w.size() - 18).toLatin1());
        EXPECT_TRUE(bytes.startsWith("\x1B$B") && bytes.endsWith("\x1B(B")) << w.toStdString();
        joined += strictDecode("ISO-2022-JP", bytes).value_or(QString());
    }
    EXPECT_EQ(joined, text);
}

TEST(SmtpFolding, BreaksOnlyWhereTheValueAllows)
{
    struct Row
    {
        const char *why;
        QByteArray name, value;
    };
    const Row rows[] = {
        {"address list breaks after commas", "To",
         "first.recipient@example.com, second.recipient@example.com, third.recipient@example.com, "
         "fourth@example.com"},
        {"a comma inside quotes is no break point", "To",
         "\"Operations, night shift, building seven, room 4711, second floor\" <ops@example.com>, "
         "b@example.com"},
        {"a comma inside a Q encoded word is no break point", "Subject",
         encodeHeaderText(
             QStringLiteral("Kestrava:coupure,électrique,batterie,faible,arrêt,imminent,serveur"), kLatin)},
    };
    for (const Row &r : rows) {
        const QByteArray field = foldField(r.name, r.value);
        ASSERT_TRUE(field.endsWith("\r\n")) << r.why;
        const QList<QByteArray> lines = field.chopped(2).split('\n');
        EXPECT_GT(lines.size(), 1) << r.why;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray line = i + 1 < lines.size() ? lines[i].chopped(1) : lines[i];
            EXPECT_LE(line.size(), 78) << r.why << ": " << line.constData();
            EXPECT_FALSE(line.trimmed().isEmpty()) << r.why;
            EXPECT_NE(line.back(), ' ') << r.why;
            if (i > 0) {
                EXPECT_TRUE(line.front() == ' ' || line.front() == '\t') << r.why;
            }
        }
        // unfolding gives the field back, up to the white space dropped at breaks
        QByteArray unfolded = field.chopped(2);
        unfolded.replace("\r\n ", " ").replace("\r\n\t", "\t");
        EXPECT_EQ(unfolded.simplified(), (r.name + ": " + r.value).simplified()) << r.why;
    }
    const QByteArray qField = foldField("Subject", rows[2].value);
    EXPECT_EQ(subjectOf(qField),
              QStringLiteral("Kestrava:coupure,électrique,batterie,faible,arrêt,imminent,serveur"));
}

TEST(SmtpFolding, ShortFieldsAndExistingContinuationsStay)
{
    EXPECT_EQ(foldField("X-Priority", "3"), "X-Priority: 3\r\n");
    EXPECT_EQ(foldField("Content-Type", "text/html;\r\n\tcharset=\"gb2312\""),
              "Content-Type: text/html;\r\n\tcharset=\"gb2312\"\r\n");
}

TEST(SmtpAddresses, FormattedByTheKindOfDisplayName)
{
    const QByteArray zhang = "\xD5\xC5\xC8\xFD"; // 张三
    struct Row
    {
        const char *why;
        MailAddress address;
        QByteArray want;
    };
    const Row rows[] = {
        {"no display name: the bare address",
         {QString(), QStringLiteral("ups@example.com")},
         "ups@example.com"},
        {"ASCII name in quotes",
         {QStringLiteral("UPS Monitor"), QStringLiteral("ups@x.cn")},
         "\"UPS Monitor\" <ups@x.cn>"},
        {"quotes and backslashes escaped",
         {QStringLiteral("A \"B\" \\ C"), QStringLiteral("a@x.cn")},
         "\"A \\\"B\\\" \\\\ C\" <a@x.cn>"},
        {"Chinese name as encoded words",
         {QStringLiteral("张三"), QStringLiteral("z@x.cn")},
         "=?GB2312?B?" + zhang.toBase64() + "?= <z@x.cn>"},
        {"next to Chinese, a word with address specials is encoded too",
         {QStringLiteral("张三 (UPS)"), QStringLiteral("z@x.cn")},
         "=?GB2312?B?" + (zhang + " (UPS)").toBase64() + "?= <z@x.cn>"},
        {"a line break in the name stays on the line",
         {QStringLiteral("Ops\r\nBcc: v@y"), QStringLiteral("o@x.cn")},
         "\"Ops  Bcc: v@y\" <o@x.cn>"},
        {"nothing at all", {}, ""},
    };
    for (const Row &r : rows)
        EXPECT_EQ(formatAddress(r.address, kGb), r.want) << r.why;
}

TEST(SmtpAddresses, ListTextSplitsOutsideQuotesAndDropsEmptyItems)
{
    struct Row
    {
        const char *why;
        QString text;
        QList<MailAddress> want;
    };
    const Row rows[] = {
        {"trailing separator adds no recipient",
         QStringLiteral("a@x.cn, b@y.cn, "),
         {{QString(), QStringLiteral("a@x.cn")}, {QString(), QStringLiteral("b@y.cn")}}},
        {"names with angle brackets, quoted commas kept",
         QStringLiteral("\"Doe, John\" <j@x.cn>,Ann <ann@y.cn>"),
         {{QStringLiteral("Doe, John"), QStringLiteral("j@x.cn")},
          {QStringLiteral("Ann"), QStringLiteral("ann@y.cn")}}},
        {"a comma in parentheses does not split",
         QStringLiteral("(night, day) a@x.cn"),
         {{QString(), QStringLiteral("(night, day) a@x.cn")}}},
        {"empty items and <> drop out",
         QStringLiteral(", <>, ,a@x.cn"),
         {{QString(), QStringLiteral("a@x.cn")}}},
        {"nothing", QString(), {}},
    };
    for (const Row &r : rows)
        EXPECT_EQ(parseAddressList(r.text), r.want) << r.why;
    MailMessage m;
    m.setRecipients(QStringLiteral("a@x.cn, a@x.cn, "));
    EXPECT_EQ(m.Recipients.size(), 2) << "the same address twice is two recipients";
}

TEST(SmtpAddresses, UnsafeAddressesAreRecognised)
{
    EXPECT_TRUE(isSafeAddress(QStringLiteral("ups.alert+1@example.com")));
    for (const char *bad : {"a@x.cn\r\nRCPT TO:<v@y.cn>", "a@x.cn\n", "a\r@x.cn", "a@x.cn> SIZE=1", "a\t@x"})
        EXPECT_FALSE(isSafeAddress(QString::fromLatin1(bad))) << bad;
}

TEST(SmtpDate, LocalTimeWithOffset)
{
    const QByteArray savedTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    struct Row
    {
        const char *tz;
        std::time_t at;
        const char *want;
    };
    const Row rows[] = {
        {"Asia/Shanghai", 1709618589, "Tue, 5 Mar 2024 14:03:09 +0800"},
        {"America/St_Johns", 1709618589, "Tue, 5 Mar 2024 02:33:09 -0330"},
        {"America/St_Johns", 1720000000, "Wed, 3 Jul 2024 07:16:40 -0230"}, // daylight-saving time
        {"UTC", 0, "Thu, 1 Jan 1970 00:00:00 +0000"},
    };
    for (const Row &r : rows) {
        qputenv("TZ", r.tz);
        tzset();
        EXPECT_EQ(formatDate(r.at), QByteArray(r.want)) << r.tz;
    }
    if (hadTz)
        qputenv("TZ", savedTz);
    else
        qunsetenv("TZ");
    tzset();
}

TEST(SmtpBody, LinesAreDotStuffedAndNeverEndTheData)
{
    MailMessage m;
    m.Body = {QStringLiteral("."), QStringLiteral(".hidden"),      QStringLiteral("a.b"),
              QString(),           QStringLiteral("市电中断<br>"), QStringLiteral("one\r\n.\r\ntwo\n.x")};
    EXPECT_EQ(buildBody(m).value_or("<none>"), QByteArray("..\r\n..hidden\r\na.b\r\n\r\n"
                                                          "\xCA\xD0\xB5\xE7\xD6\xD0\xB6\xCF<br>\r\n"
                                                          "one\r\n..\r\ntwo\r\n..x\r\n"));
    m.CharSet = QStringLiteral("ISO-8859-1");
    EXPECT_FALSE(buildBody(m).has_value())
        << "a charset that cannot hold the body is refused, not mislabelled";
}
