// INI reading rules, integer values, key lists and byte-preserving writes.
#include "inifiles.h"
#include "lang/inifile.h"

#include <QDir>

#include <optional>

namespace {

QByteArray gbBytes(const QString &text)
{
    return gb::encode(text);
}

const QString kDef = QStringLiteral("DEF");

struct ReadRow
{
    const char *why;
    std::optional<QByteArray> file; // no file at all when empty
    const char *section;
    const char *key;
    QString want;
};

} // namespace

TEST(IniFileRead, RulesOfReading)
{
    const QByteArray longLine = "[S]\nk=" + QByteArray(1 << 20, 'x') + "\nafter=ok\n";
    const QByteArray longNoEq = "[S]\n" + QByteArray(1 << 20, 'y') + "\nafter=ok\n";
    const QString ideo = QStringLiteral("\u3000\u3000您好!<br>");
    const ReadRow rows[] = {
        {"plain value", QByteArray("[S]\nk=v\n"), "S", "k", QStringLiteral("v")},
        {"no file gives the default", std::nullopt, "S", "k", kDef},
        {"empty file gives the default", QByteArray(), "S", "k", kDef},
        {"section name in another case", QByteArray("[messages]\nk=v\n"), "MESSAGES", "k",
         QStringLiteral("v")},
        {"key name in another case", QByteArray("[S]\nMSGMONSTART=v\n"), "S", "msgMonStart",
         QStringLiteral("v")},
        {"value is the text after the first =", QByteArray("[S]\nk=a=b\n"), "S", "k", QStringLiteral("a=b")},
        {"blanks around = and at the end are dropped", QByteArray("[S]\n  k \t= \t v w \t \n"), "S", "k",
         QStringLiteral("v w")},
        {"ideographic spaces are text, not blanks", gbBytes(QStringLiteral("[S]\nk=") + ideo + u'\n'), "S",
         "k", ideo},
        {"TABs inside the value stay", QByteArray("[S]\nk=a\tb\n"), "S", "k", QStringLiteral("a\tb")},
        {"double quotes removed", QByteArray("[S]\nk=\"v w\"\n"), "S", "k", QStringLiteral("v w")},
        {"single quotes removed", QByteArray("[S]\nk='v'\n"), "S", "k", QStringLiteral("v")},
        {"only one pair of quotes removed", QByteArray("[S]\nk=\"\"v\"\"\n"), "S", "k",
         QStringLiteral("\"v\"")},
        {"quotes keep inner blanks", QByteArray("[S]\nk=\" v \"\n"), "S", "k", QStringLiteral(" v ")},
        {"unmatched quote kept", QByteArray("[S]\nk=\"v\n"), "S", "k", QStringLiteral("\"v")},
        {"mixed quotes kept", QByteArray("[S]\nk=\"v'\n"), "S", "k", QStringLiteral("\"v'")},
        {"a lone quote is no pair", QByteArray("[S]\nk=\"\n"), "S", "k", QStringLiteral("\"")},
        {"empty value is empty, not the default", QByteArray("[S]\nk=\n"), "S", "k", QString()},
        {"empty quotes are empty too", QByteArray("[S]\nk=\"\"\n"), "S", "k", QString()},
        {"missing key", QByteArray("[S]\nother=v\n"), "S", "k", kDef},
        {"missing section", QByteArray("[T]\nk=v\n"), "S", "k", kDef},
        {"key of another section is not found", QByteArray("[T]\nk=t\n[S]\nj=s\n"), "S", "k", kDef},
        {"keys before any header belong to no section", QByteArray("k=v\n[S]\n"), "S", "k", kDef},
        {"first of two sections wins", QByteArray("[S]\nk=1\n[s]\nk=2\n"), "S", "k", QStringLiteral("1")},
        {"keys of a second section of the same name are not read", QByteArray("[S]\na=1\n[S]\nk=2\n"), "S",
         "k", kDef},
        {"first of two keys wins", QByteArray("[S]\nk=1\nK=2\n"), "S", "k", QStringLiteral("1")},
        {"lines without = are skipped", QByteArray("[S]\njunk line\nk=v\n"), "S", "k", QStringLiteral("v")},
        {"comment lines are no keys", QByteArray("[S]\n;k=c\n"), "S", ";k", kDef},
        {"blanks inside the brackets", QByteArray("  [ S ]  \nk=v\n"), "S", "k", QStringLiteral("v")},
        {"CRLF line ends leave no CR in the value", QByteArray("[S]\r\nk=v\r\nj=w\r\n"), "S", "k",
         QStringLiteral("v")},
        {"mixed line ends", QByteArray("[S]\r\na=1\nk=v\r\n"), "S", "k", QStringLiteral("v")},
        {"last line without a line end", QByteArray("[S]\nk=v"), "S", "k", QStringLiteral("v")},
        {"GB2312 names and values", gbBytes(QStringLiteral("[窗口]\n标题=市电正常\n")), "窗口", "标题",
         QStringLiteral("市电正常")},
        {"UTF-8 byte-order mark before the first header",
         QByteArray("\xEF\xBB\xBF[S]\nk=") + QStringLiteral("市电").toUtf8() + "\n", "S", "k",
         QStringLiteral("市电")},
        {"invalid GB2312 bytes become U+FFFD, the line is still read", QByteArray("[S]\nk=a\xFF\x80z\n"), "S",
         "k", QStringLiteral("a\uFFFD\uFFFDz")},
        {"a truncated character at the end of a line", QByteArray("[S]\nk=a\xCA\nj=b\n"), "S", "j",
         QStringLiteral("b")},
        {"NUL bytes on other lines do not stop reading", QByteArray("[S]\n\0\0x\0=\0\nk=v\n", 16), "S", "k",
         QStringLiteral("v")},
        {"binary garbage gives the default", QByteArray("\x00\xFF\xFE[\x01=\x80\x00\n\x9F", 10), "S", "k",
         kDef},
        {"value cut at 2047 bytes", "[S]\nk=" + QByteArray(3000, 'a') + '\n', "S", "k", QString(2047, u'a')},
        {"cut never splits a character",
         gbBytes(QStringLiteral("[S]\nk=") + QString(1100, QChar(0x5E02)) + u'\n'), "S", "k",
         QString(1023, QChar(0x5E02))},
        {"cut after an odd byte count",
         gbBytes(QStringLiteral("[S]\nk=a") + QString(1100, QChar(0x5E02)) + u'\n'), "S", "k",
         u'a' + QString(1023, QChar(0x5E02))},
        {"1 MB value is cut", longLine, "S", "k", QString(2047, u'x')},
        {"line after a 1 MB value is read", longLine, "S", "after", QStringLiteral("ok")},
        {"line after a 1 MB line without = is read", longNoEq, "S", "after", QStringLiteral("ok")},
    };
    for (const ReadRow &r : rows) {
        IniFolder dir;
        const QString path = r.file ? dir.writeBytes(QStringLiteral("t.ini"), *r.file) : dir.path("none.ini");
        const IniFile ini(path);
        EXPECT_EQ(ini.readString(QString::fromUtf8(r.section), QString::fromUtf8(r.key), kDef), r.want)
            << r.why;
    }
}

TEST(IniFileRead, Integers)
{
    struct Row
    {
        const char *why;
        const char *line;
        int want;
    };
    const Row rows[] = {
        {"decimal", "k=12", 12},
        {"0x hex", "k=0x1F", 31},
        {"$ hex", "k=$10", 16},
        {"negative", "k=-3", -3},
        {"negative hex", "k=-0x10", -16},
        {"not a number", "k=abc", 99},
        {"blanks inside quotes", "k=\" 7 \"", 7},
        {"leading number counts", "k=12abc", 12},
        {"empty value", "k=", 99},
        {"prefix without digits", "k=0x", 99},
        {"largest int", "k=2147483647", 2147483647},
        {"smallest int", "k=-2147483648", -2147483647 - 1},
        {"out of range", "k=2147483648", 99},
        {"far out of range", "k=99999999999999999999", 99},
        {"missing key", "j=1", 99},
    };
    for (const Row &r : rows) {
        IniFolder dir;
        const IniFile ini(dir.writeBytes(QStringLiteral("t.ini"), QByteArray("[S]\n") + r.line + "\n"));
        EXPECT_EQ(ini.readInteger(QStringLiteral("s"), QStringLiteral("k"), 99), r.want) << r.why;
    }
}

TEST(IniFileRead, SectionKeysInFileOrderOnce)
{
    IniFolder dir;
    const IniFile ini(dir.writeBytes(
        QStringLiteral("t.ini"),
        QByteArray(
            "[A]\nx=1\n[MESSAGES]\nmsgB=1\n; note=2\nno equals\nmsgA=\nMSGB=3\n[messages]\nmsgC=4\n")));
    EXPECT_EQ(ini.sectionKeys(QStringLiteral("Messages")), QStringList({"msgB", "msgA"}));
    EXPECT_TRUE(ini.sectionKeys(QStringLiteral("none")).isEmpty());
}

TEST(IniFileRead, SnapshotUntilReload)
{
    IniFolder dir;
    const QString p = dir.writeBytes(QStringLiteral("t.ini"), "[S]\nk=old\n");
    IniFile ini(p);
    dir.writeBytes(QStringLiteral("t.ini"), "[S]\nk=new\n");
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("k"), kDef), QStringLiteral("old"));
    ini.reload();
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("k"), kDef), QStringLiteral("new"));
}

TEST(IniFileWrite, KeepsEveryOtherByte)
{
    struct Row
    {
        const char *why;
        QByteArray before;
        QString section, key, value;
        QByteArray after;
    };
    const Row rows[] = {
        {"new file", QByteArray(), "settings", "ShutDownUPS", "1", "[settings]\nShutDownUPS=1\n"},
        {"value replaced, spelling, blanks, comments and CRLF kept",
         "; top\r\n[SETTINGS]\r\nLANG=English\r\n  shutdownups = 0 \r\n[x]\r\n", "settings", "ShutDownUPS",
         "1", "; top\r\n[SETTINGS]\r\nLANG=English\r\n  shutdownups =1\r\n[x]\r\n"},
        {"key added after the section's last line, before the blank line",
         "[SETTINGS]\nLANG=English\n\n[Other]\na=1\n", "settings", "ShutDownUPS", "1",
         "[SETTINGS]\nLANG=English\nShutDownUPS=1\n\n[Other]\na=1\n"},
        {"key added to a last section without a final line end", "[S]\na=1", "S", "b", "2",
         "[S]\na=1\nb=2\n"},
        {"key added to an empty section", "[S]\r\n[T]\r\n", "S", "k", "v", "[S]\r\nk=v\r\n[T]\r\n"},
        {"section appended in the file's CRLF style", "[A]\r\na=1", "B", "b", "2",
         "[A]\r\na=1\r\n[B]\r\nb=2\r\n"},
        {"only the first of two sections changes", "[S]\nk=1\n[S]\nk=2\n", "S", "k", "3",
         "[S]\nk=3\n[S]\nk=2\n"},
        {"GB2312 bytes, other non-GB2312 bytes untouched", "\xFF\xFE\n[S]\nk=1\n", "S", "k", "市电",
         "\xFF\xFE\n[S]\nk=\xCA\xD0\xB5\xE7\n"},
        {"value with edge blanks is quoted", "[S]\n", "S", "k", " a ", "[S]\nk=\" a \"\n"},
        {"value in quotes is quoted again", "[S]\n", "S", "k", "'a'", "[S]\nk=\"'a'\"\n"},
        {"empty value", "[S]\nk=1\n", "S", "k", "", "[S]\nk=\n"},
        {"UTF-8 file stays UTF-8", "\xEF\xBB\xBF[S]\nk=1\n", "S", "k", "市电",
         "\xEF\xBB\xBF[S]\nk=" + QStringLiteral("市电").toUtf8() + "\n"},
    };
    for (const Row &r : rows) {
        IniFolder dir;
        const QString p = r.before.isNull() ? dir.path("new.ini") : dir.writeBytes("t.ini", r.before);
        IniFile ini(p);
        ini.writeString(r.section, r.key, r.value);
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << r.why;
        EXPECT_EQ(f.readAll(), r.after) << r.why;
        EXPECT_EQ(ini.readString(r.section, r.key, kDef), r.value) << r.why << " (snapshot)";
        EXPECT_EQ(IniFile(p).readString(r.section, r.key, kDef), r.value) << r.why << " (read back)";
    }
}

TEST(IniFileWrite, ChangesMadeSinceTheSnapshotAreKept)
{
    IniFolder dir;
    const QString p = dir.writeBytes("t.ini", "[S]\na=1\n");
    IniFile ini(p);
    dir.writeBytes("t.ini", "[S]\na=1\nb=2\n");
    ini.writeString("S", "c", "3");
    EXPECT_EQ(dir.read("t.ini"), QByteArray("[S]\na=1\nb=2\nc=3\n"));
}

TEST(IniFileWrite, LeavesNoTemporaryFileAndKeepsPermissions)
{
    IniFolder dir;
    const QString p = dir.writeBytes("t.ini", "[S]\na=1\n");
    QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    IniFile(p).writeString("S", "a", "2");
    EXPECT_EQ(QDir(dir.folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"t.ini"});
    EXPECT_EQ(QFile::permissions(p),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser | QFile::WriteUser);
}

TEST(IniFileWrite, FailureRaisesAndChangesNothing)
{
    IniFolder dir;
    // Tests run as root, so folder permissions do not stop a write; a folder
    // that does not exist and a path that is a folder do.
    const QString missing = dir.path("no/such/Kestrava.INI");
    IniFile a(missing);
    try {
        a.writeString("settings", "ShutDownUPS", "1");
        FAIL() << "no error";
    } catch (const IniWriteError &e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + missing.toStdString());
        EXPECT_EQ(e.path(), missing);
    }
    EXPECT_FALSE(QFileInfo::exists(missing));

    const QString folder = dir.path("sub");
    QDir().mkpath(folder + "/inner");
    EXPECT_THROW(IniFile(folder).writeString("S", "k", "v"), IniWriteError);
    EXPECT_TRUE(QFileInfo(folder + "/inner").isDir());
    EXPECT_THROW(IniFile(QString()).writeString("S", "k", "v"), IniWriteError);
}

TEST(IniFileWrite, LineBreaksAndUnwritableNamesAreRefused)
{
    IniFolder dir;
    const QByteArray before("[S]\nk=1\n");
    const QString p = dir.writeBytes("t.ini", before);
    IniFile ini(p);
    const QString bad[][3] = {
        {"S", "k", "1\n[T]\nx=2"}, {"S", "k", "a\rb"}, {"S\n", "k", "1"}, {"S", "k\n", "1"},
        {"S", "a=b", "1"},         {"S]x", "k", "1"},  {"S", "", "1"},    {"S", ";k", "1"},
    };
    for (const auto &b : bad)
        EXPECT_THROW(ini.writeString(b[0], b[1], b[2]), std::invalid_argument)
            << b[0].toStdString() << "/" << b[1].toStdString();
    EXPECT_EQ(dir.read("t.ini"), before);
}
