// The keys each window reads from its section of a language file, against the shipped language files.
#include "alerts/tftips.h"
#include "app/programdialogs.h"
#include "app/programparts.h"
#include "app_fixture.h"
#include "dialogs/tfabout.h"
#include "fakes/fake_single_instance.h"
#include "lang/applylanguage.h"
#include "lang/gb2312.h"
#include "lang/inifile.h"

#include <QAction>
#include <QFile>

#include <map>
#include <set>
#include <string>

namespace {

QString ShippedFile(const char *language)
{
    return QStringLiteral(KESTRAVA_SOURCE_DIR "/languages/") + QString::fromUtf8(language) +
           QStringLiteral(".INI");
}

// Texts the program always writes itself once the window is made, so a
// language file has nothing to give them: the clock, the version label of
// the About box, the alert text and the remaining time of the warning window;
// and the decimal point of the display, a symbol glyph rather than a word.
const std::set<std::string> kNotTranslated = {
    "fMain/lDigClk.Caption", "fMain/lDP.Caption", "fAbout/appname.Caption",
    "fTips/mShow.Caption",   "fTips/LED.Caption",
};

// Where the shipped Chinese file deliberately differs from a window's
// built-in text: the designer left the object names as the titles of the main
// window and the About box, and the built-in shutdown option names Windows.
const std::set<std::string> kChineseDiffersOnPurpose = {
    "fMain/Caption",
    "fAbout/Caption",
    "fSettings/ckShutWin.Caption",
};

// Section -> key -> the window's text for it, with the built-in texts.
using WindowKeys = std::map<std::string, std::map<std::string, std::string>>;

class LanguageKeysTest : public ShellTest
{
protected:
    void SetUp() override
    {
        ShellTest::SetUp(); // no language file: the built-in texts
        MakeDatabase();
        ProgramParts parts{Folder(), instance, boxes, tray, shell, clock};
        AttachProgramDialogs(parts);
        MainWindowDeps deps = Deps();
        deps.makeMonitor = [this](TfMain &) {
            auto made = std::make_unique<RecordingMonitor>(log);
            monitor = made.get();
            return made;
        };
        deps.makeSettings = parts.makeSettings;
        deps.makeCloseFiles = parts.makeCloseFiles;
        deps.makeLogFiles = parts.makeLogFiles;
        window = std::make_unique<TfMain>(std::move(deps));
        ASSERT_FALSE(window->StartFailed());

        // the dialogs as the program's openers make them, owned by the main window
        QDialog *settings = parts.makeSettings(window.get());
        QDialog *closeFiles = parts.makeCloseFiles(window.get());
        QDialog *logFiles = parts.makeLogFiles(window.get());
        ASSERT_TRUE(settings && closeFiles && logFiles);
        auto *about = new TfAbout([this] { return window->Image(0); }, window.get());
        tips = std::make_unique<TfTips>(window->Image(2), window->Image(3));
        windows = {window.get(), tips.get(), settings, logFiles, closeFiles, about};
    }

    void TearDown() override
    {
        tips.reset();
        ShellTest::TearDown();
    }

    WindowKeys Keys() const
    {
        WindowKeys out;
        for (QWidget *w : windows)
            for (const LanguageKey &k : LanguageKeys(w))
                out[w->objectName().toStdString()][k.key.toStdString()] = k.text.toStdString();
        return out;
    }

    // The keys a language file has to give: all that are read, except the
    // texts nobody wrote (an empty one, such as the title of the tray menu or
    // the tab bar's scroll arrows) and a menu item's tooltip that Qt derives
    // from its caption, which follows the translated caption by itself.
    static std::set<std::string> Translated(const WindowKeys &keys)
    {
        std::set<std::string> out;
        for (const auto &[section, texts] : keys)
            for (const auto &[key, text] : texts) {
                const std::string where = section + '/' + key;
                if (text.empty() || kNotTranslated.contains(where)) continue;
                if (key.ends_with(".Hint")) {
                    const auto caption = texts.find(key.substr(0, key.size() - 5) + ".Caption");
                    if (caption != texts.end() && text == DerivedToolTip(caption->second)) continue;
                }
                out.insert(where);
            }
        return out;
    }

    // What a QAction reports as its tooltip when none was set.
    static std::string DerivedToolTip(const std::string &caption)
    {
        QAction action(QString::fromStdString(caption));
        return action.toolTip().toStdString();
    }

    FakeSingleInstance instance;
    std::unique_ptr<TfTips> tips;
    QList<QWidget *> windows;
};

TEST_F(LanguageKeysTest, TheSixWindowsReadTheirOwnSections)
{
    const WindowKeys keys = Keys();
    std::set<std::string> sections;
    for (const auto &[section, texts] : keys)
        sections.insert(section);
    EXPECT_EQ(sections,
              (std::set<std::string>{"fMain", "fTips", "fSettings", "fLogFiles", "fCloseFiles", "fAbout"}));
    // a sample of each kind, so that a walk which stops early shows here
    for (const char *where :
         {"fMain/Caption", "fMain/imgSettings.Hint", "fMain/N2.Caption", "fSettings/TabSheet3.Caption",
          "fSettings/cbEType.Item.4", "fSettings/lbEmails.Column.1", "fSettings/gbEmailList.Caption",
          "fLogFiles/gridLogs.Column.2", "fTips/btCancel.Caption"}) {
        const std::string s(where);
        const auto slash = s.find('/');
        EXPECT_TRUE(keys.at(s.substr(0, slash)).contains(s.substr(slash + 1))) << where;
    }
    // the serial port list is data, not text
    EXPECT_FALSE(keys.at("fSettings").contains("cbCom.Item.0"));
    // the texts left out on purpose are ones the windows really have
    for (const std::string &where : kNotTranslated) {
        const auto slash = where.find('/');
        EXPECT_TRUE(keys.at(where.substr(0, slash)).contains(where.substr(slash + 1))) << where;
    }
}

// Every text a window can have translated is in the file, and the file names
// no text the windows do not have (a renamed component leaves a stale key).
class ShippedFileKeysTest : public LanguageKeysTest, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(ShippedFileKeysTest, HoldsExactlyTheKeysTheWindowsRead)
{
    const std::set<std::string> wanted = Translated(Keys());
    const IniFile file(ShippedFile(GetParam()));
    std::set<std::string> present;
    for (const QWidget *w : windows)
        for (const QString &key : file.sectionKeys(w->objectName()))
            present.insert((w->objectName() + u'/' + key).toStdString());

    std::set<std::string> missing, stale;
    std::ranges::set_difference(wanted, present, std::inserter(missing, missing.end()));
    std::ranges::set_difference(present, wanted, std::inserter(stale, stale.end()));
    EXPECT_EQ(missing, std::set<std::string>{}) << "texts the file does not translate";
    EXPECT_EQ(stale, std::set<std::string>{}) << "keys no window reads";
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedFileKeysTest, ::testing::Values("English", "简体中文"),
                         [](const auto &info) {
                             return std::string(info.index == 0 ? "English" : "Chinese");
                         });

TEST_F(LanguageKeysTest, ChineseFileHoldsTheBuiltInTextsOfTheWindows)
{
    const IniFile file(ShippedFile("简体中文"));
    for (const auto &[section, texts] : Keys())
        for (const auto &[key, builtIn] : texts) {
            const std::string where = section + '/' + key;
            const QString value = file.readString(QString::fromStdString(section),
                                                  QString::fromStdString(key), QStringLiteral("<none>"));
            if (value == QStringLiteral("<none>") || kChineseDiffersOnPurpose.contains(where)) continue;
            EXPECT_EQ(value.toStdString(), builtIn) << where;
        }
    // the deliberate differences are still real titles, not left empty
    for (const std::string &where : kChineseDiffersOnPurpose) {
        const auto slash = where.find('/');
        EXPECT_FALSE(file.readString(QString::fromStdString(where.substr(0, slash)),
                                     QString::fromStdString(where.substr(slash + 1)), QString())
                         .isEmpty())
            << where;
    }
}

// The listed keys are the ones translation honours: a file that gives each
// listed key a text of its own changes every one of them.
TEST_F(LanguageKeysTest, EveryListedKeyIsOneTranslationApplies)
{
    for (QWidget *w : windows) {
        const QString section = w->objectName();
        SCOPED_TRACE(section.toStdString());
        const QString path = Folder() + section + QStringLiteral(".INI");
        QByteArray ini = "[" + gb::encode(section) + "]\n";
        for (const LanguageKey &k : LanguageKeys(w))
            ini += gb::encode(k.key) + "=<" + gb::encode(k.key) + ">\n";
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();

        ApplyLanguage(w, path);
        for (const LanguageKey &k : LanguageKeys(w))
            EXPECT_EQ(k.text.toStdString(), (u'<' + k.key + u'>').toStdString());
    }
    EXPECT_TRUE(LanguageKeys(nullptr).isEmpty());
}

} // namespace
