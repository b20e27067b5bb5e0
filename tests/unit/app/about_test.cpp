// The About box, and the openers that create each dialog once and show it modally.
#include "app_fixture.h"
#include "dialogs/tfabout.h"
#include "lang/inifile.h"
#include "lang/messages.h"
#include "lang/widgets.h"

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

using AboutTest = ShellTest;

TEST_F(AboutTest, NameLabelAndCaptionCarryTheCompiledInVersion)
{
    TfAbout about([] { return QImage(); });
    EXPECT_EQ(about.appname->text(), QStringLiteral("Kestrava        Ver: 1.9.9.0"));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("fAbout Kestrava        Ver: 1.9.9.0"));
    EXPECT_EQ(about.objectName(), QStringLiteral("fAbout"));
    EXPECT_TRUE(about.Button1->isDefault());
}

TEST_F(AboutTest, WithoutAVersionTheLabelKeepsItsOwnTextAfterThePrefix)
{
    {
        TfAbout about([] { return QImage(); }, nullptr, QString());
        EXPECT_EQ(about.appname->text(), QStringLiteral("Kestrava        Ver: Appname"));
    }
    // the language file's text of the label, and its caption
    IniFile(Folder() + QStringLiteral("Kestrava.INI")).writeString("SETTINGS", "LANG", "English");
    ASSERT_TRUE(QDir().mkpath(Folder() + QStringLiteral("languages")));
    IniFile english(Folder() + QStringLiteral("languages/English.INI"));
    english.writeString("fAbout", "Caption", "About");
    english.writeString("fAbout", "appname.Caption", "unknown");
    LoadMessages(Folder());
    TfAbout about([] { return QImage(); }, nullptr, QString());
    EXPECT_EQ(about.appname->text(), QStringLiteral("Kestrava        Ver: unknown"));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Kestrava        Ver: unknown"));
}

TEST_F(AboutTest, OpeningShowsTheMainWindowsLogoOrLeavesTheBandEmpty)
{
    for (int images : {34, 0}) {
        SCOPED_TRACE(images);
        QFile::remove(DatabasePath(Folder()));
        QDir(dir.path() + QStringLiteral("/img")).removeRecursively();
        MakeDatabase(images);
        TfMain &w = CreateWindow();
        ASSERT_FALSE(w.StartFailed());
        QTimer::singleShot(0, &w, [&w] {
            if (w.AboutDialog()) w.AboutDialog()->accept();
        });
        w.About();
        auto *about = qobject_cast<TfAbout *>(w.AboutDialog());
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(ImageIndexOf(about->imgLogo->picture()), images ? 0 : -1);
        window.reset();
    }
}

TEST_F(AboutTest, OpenerCreatesOnceShowsModallyAndOnlyRaisesAnOpenDialog)
{
    MakeDatabase();
    int created = 0;
    int nestedExecs = 0;
    bool inTrigger = false;
    MainWindowDeps deps = Deps();
    deps.makeSettings = [&](QWidget *owner) {
        ++created;
        return new QDialog(owner);
    };
    window = std::make_unique<TfMain>(std::move(deps));
    TfMain &w = *window;

    for (int opening = 0; opening < 2; ++opening) {
        QTimer::singleShot(0, &w, [&] {
            QDialog *dialog = w.SettingsDialog();
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(dialog->isModal());
            // chosen again from the tray menu while open: brought to the front,
            // not shown modally a second time (that would run this timer inside)
            inTrigger = true;
            QTimer::singleShot(0, dialog, [&, dialog] {
                if (!inTrigger) return;
                ++nestedExecs;
                dialog->reject();
            });
            w.N2->trigger();
            inTrigger = false;
            dialog->accept();
        });
        emit w.imgSettings->clicked();
        EXPECT_FALSE(w.SettingsDialog()->isVisible());
    }
    EXPECT_EQ(created, 1);
    EXPECT_EQ(w.SettingsDialog()->parent(), &w);

    // without a factory (a dialog not built yet) the opener does nothing
    w.LogFiles();
    EXPECT_EQ(w.LogFilesDialog(), nullptr);
    EXPECT_EQ(nestedExecs, 0);
}

} // namespace
