// The shipped language files: same keys in both, the catalogue's keys, placeholders kept.
#include "inifiles.h"
#include "lang/inifile.h"
#include "lang/messages.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

const QString kEnglish = QStringLiteral("English");
const QString kChinese = QStringLiteral("简体中文");

QString shippedFile(const QString &language)
{
    return QStringLiteral(KESTRAVA_SOURCE_DIR "/languages/") + language + QStringLiteral(".INI");
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// Sections and keys as written, in file order, duplicates included: the
// program's reader takes the first of two and hides the second.
struct Layout
{
    std::vector<QString> sections;
    std::map<QString, std::vector<QString>> keys;
};

Layout layoutOf(const QString &path)
{
    Layout layout;
    QString section;
    const QStringList lines = gb::decode(readBytes(path)).split(u'\n');
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';')) continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2);
            layout.sections.push_back(section);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        EXPECT_GT(eq, 0) << "not a key line: " << line.toStdString();
        EXPECT_FALSE(section.isEmpty()) << "key before any section: " << line.toStdString();
        layout.keys[section].push_back(line.left(eq).trimmed());
    }
    return layout;
}

template <typename T> std::vector<T> duplicatesIn(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    std::vector<T> dups;
    for (size_t i = 1; i < v.size(); ++i)
        if (v[i] == v[i - 1]) dups.push_back(v[i]);
    return dups;
}

std::vector<std::string> toStd(const std::vector<QString> &v)
{
    std::vector<std::string> out;
    for (const QString &s : v)
        out.push_back(s.toStdString());
    return out;
}

// Compared as UTF-8 so that a failure prints readable text.
std::set<std::string> keySet(const QStringList &keys)
{
    std::set<std::string> out;
    for (const QString &k : keys)
        out.insert(k.toStdString());
    return out;
}

std::set<std::string> catalogueKeys()
{
    std::set<std::string> keys;
    for (const auto &[key, text] : CatalogueDefaults())
        keys.insert(key);
    return keys;
}

// Every "%" sequence of a pattern, in order ("%s", "%%", or a stray one).
std::vector<std::string> percentSequences(const QString &value)
{
    std::vector<std::string> out;
    const QRegularExpression re(QStringLiteral("%.?"));
    for (auto it = re.globalMatch(value); it.hasNext();)
        out.push_back(it.next().captured().toStdString());
    return out;
}

// The parameter is the language name in UTF-8 (a QString prints as raw bytes).
class ShippedLanguageFile : public ::testing::TestWithParam<const char *>
{
protected:
    static QString language() { return QString::fromUtf8(GetParam()); }
};

TEST_P(ShippedLanguageFile, HasEachSectionAndKeyOnceAndMessagesAreTheCatalogueKeys)
{
    const Layout layout = layoutOf(shippedFile(language()));
    EXPECT_EQ(duplicatesIn(toStd(layout.sections)), std::vector<std::string>{});
    for (const auto &[section, keys] : layout.keys)
        EXPECT_EQ(duplicatesIn(toStd(keys)), std::vector<std::string>{}) << section.toStdString();

    const IniFile file(shippedFile(language()));
    const QStringList messages = file.sectionKeys(QStringLiteral("MESSAGES"));
    EXPECT_EQ(keySet(messages), catalogueKeys());
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedLanguageFile, ::testing::Values("English", "简体中文"),
                         [](const auto &info) {
                             return std::string(info.index == 0 ? "English" : "Chinese");
                         });

TEST(ShippedLanguageFiles, EnglishHasTheSameSectionsKeysAndPlaceholdersAsTheChineseTemplate)
{
    const Layout english = layoutOf(shippedFile(kEnglish));
    const Layout chinese = layoutOf(shippedFile(kChinese));
    ASSERT_EQ(keySet(QStringList(english.sections.begin(), english.sections.end())),
              keySet(QStringList(chinese.sections.begin(), chinese.sections.end())));

    const IniFile en(shippedFile(kEnglish));
    const IniFile zh(shippedFile(kChinese));
    for (const QString &section : english.sections) {
        const QStringList enKeys = en.sectionKeys(section);
        const QStringList zhKeys = zh.sectionKeys(section);
        EXPECT_EQ(keySet(enKeys), keySet(zhKeys)) << section.toStdString();
        for (const QString &key : enKeys) {
            const QString enValue = en.readString(section, key, QString());
            const QString zhValue = zh.readString(section, key, QString());
            const std::string where = (section + u'/' + key).toStdString();
            EXPECT_EQ(percentSequences(enValue), percentSequences(zhValue)) << where;
            EXPECT_FALSE(enValue.isEmpty()) << where;
        }
    }
}

TEST(ShippedLanguageFiles, ChineseTemplateHoldsTheBuiltInTextsAsGb2312)
{
    const QByteArray bytes = readBytes(shippedFile(kChinese));
    // A byte-order mark would make the reader take the file as UTF-8.
    ASSERT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = gb::decode(bytes);
    EXPECT_FALSE(text.contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(gb::encode(text) == bytes) << "not plain GB2312";
    EXPECT_TRUE(text.contains(QStringLiteral("市电正常")));

    const IniFile file(shippedFile(kChinese));
    for (const auto &[key, builtIn] : CatalogueDefaults())
        EXPECT_EQ(
            file.readString(QStringLiteral("MESSAGES"), QString::fromLatin1(key), QStringLiteral("<missing>"))
                .toStdString(),
            builtIn.toStdString())
            << key;
}

struct LanguageChoice
{
    const char *name;
    QString programIni; // empty: no Kestrava.INI at all
    QString language;
};

void PrintTo(const LanguageChoice &c, std::ostream *os)
{
    *os << c.name;
}

class LanguageChoiceTest : public ::testing::TestWithParam<LanguageChoice>
{
protected:
    void TearDown() override
    {
        const IniFolder empty;
        LoadMessages(empty.folder()); // back to the built-in texts
    }
};

// The program folder as installed: the language files under languages/, the
// choice in Kestrava.INI; a restart is a new LoadMessages().
TEST_P(LanguageChoiceTest, LoadsEveryTextOfTheChosenShippedFile)
{
    const LanguageChoice &c = GetParam();
    const IniFolder dir;
    for (const QString &language : {kEnglish, kChinese})
        dir.writeBytes(QStringLiteral("languages/") + language + QStringLiteral(".INI"),
                       readBytes(shippedFile(language)));
    if (!c.programIni.isEmpty()) dir.write(QStringLiteral("Kestrava.INI"), c.programIni);

    LoadMessages(dir.folder());
    EXPECT_EQ(CurrentLanguage().toStdString(), c.language.toStdString());

    const IniFile file(shippedFile(c.language));
    const auto fromFile = [&](const char *key) {
        return file
            .readString(QStringLiteral("MESSAGES"), QString::fromLatin1(key), QStringLiteral("<missing>"))
            .toStdString();
    };
    EXPECT_EQ(Msg().msgMonStart.toStdString(), fromFile("msgMonStart"));
    EXPECT_EQ(Msg().msgVCT1.toStdString(), fromFile("msgVCT1"));
    EXPECT_EQ(Msg().msgTimeElapse.toStdString(), fromFile("msgTimeElapse"));
    EXPECT_EQ(Msg().msgEmailBodyLine8.toStdString(), fromFile("msgEmailBodyLine8"));
    EXPECT_EQ(Msg().msgDayName.toStdString(), fromFile("msgDayName"));
}

INSTANTIATE_TEST_SUITE_P(
    Languages, LanguageChoiceTest,
    ::testing::Values(LanguageChoice{"EnglishChosen", QStringLiteral("[SETTINGS]\nLANG=English\n"), kEnglish},
                      // the program also writes [settings] ShutDownUPS into this file
                      LanguageChoice{"EnglishBesideShutDownUps",
                                     QStringLiteral("[settings]\nShutDownUPS=0\nLANG=English\n"), kEnglish},
                      LanguageChoice{"NoProgramIniGivesChinese", QString(), kChinese}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ShippedLanguageFiles, EnglishTextsReallyAreEnglish)
{
    // The English file must not fall back to Chinese anywhere the program
    // writes its own words: a forgotten key would still pass the key checks
    // if it were copied over untranslated.
    const IniFile en(shippedFile(kEnglish));
    const Layout layout = layoutOf(shippedFile(kEnglish));
    for (const auto &[section, keys] : layout.keys)
        for (const QString &key : keys) {
            const QString value = en.readString(section, key, QString());
            EXPECT_TRUE(std::all_of(value.begin(), value.end(), [](QChar ch) { return ch.unicode() < 0x80; }))
                << (section + u'/' + key).toStdString() << ": " << value.toStdString();
        }
    // Blanks that join the features line and the port line survive the reader.
    EXPECT_EQ(en.readString(QStringLiteral("MESSAGES"), QStringLiteral("msgVCT1"), QString()).toStdString(),
              "On: ");
    EXPECT_EQ(en.readString(QStringLiteral("MESSAGES"), QStringLiteral("msgVCT5"), QString()).toStdString(),
              "Port: ");
}

} // namespace
