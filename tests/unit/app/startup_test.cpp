// The start-up and the way out: entry sequence, database failure, first show, quit question, destruction.
#include "app/programparts.h"
#include "app_fixture.h"
#include "fakes/fake_single_instance.h"
#include "lang/inifile.h"
#include "lang/messages.h"
#include "lang/widgets.h"
#include "platform/linux/socket_single_instance.h"
#include "platform/message_boxes.h"
#include "store/database.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPalette>
#include <unistd.h>

namespace {

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class StartupTest : public ShellTest
{
protected:
    ProgramParts Parts(SingleInstance &instance)
    {
        ProgramParts parts{Folder(), instance, boxes, tray, shell, clock};
        parts.makeMonitor = [this](TfMain &) {
            auto parts = std::make_unique<RecordingMonitor>(log);
            monitor = parts.get();
            return parts;
        };
        return parts;
    }
};

TEST_F(StartupTest, SecondInstanceShowsAlreadyRunInTheLanguageFileAndEnds)
{
    // LoadMessages comes first: the box speaks the language file's words.
    IniFile(Folder() + QStringLiteral("Kestrava.INI")).writeString("SETTINGS", "LANG", "English");
    ASSERT_TRUE(QDir().mkpath(Folder() + QStringLiteral("languages")));
    IniFile(Folder() + QStringLiteral("languages/English.INI"))
        .writeString("MESSAGES", "msgAlreadyRun", "Already running!");
    MakeDatabase();

    // the lock held by "the first instance"; unique per test process
    const QString name = QStringLiteral("KestravaShellTest-%1").arg(getpid());
    SocketSingleInstance first(name);
    ASSERT_TRUE(first.TryAcquire());
    SocketSingleInstance second(name);
    ProgramParts parts = Parts(second);
    bool loopRan = false;
    parts.runLoop = [&](TfMain &) {
        loopRan = true;
        return 0;
    };

    EXPECT_EQ(RunProgram(parts), 0);

    ASSERT_EQ(boxes.Boxes().size(), 1);
    const FakeMessageBoxes::Box &box = boxes.Boxes().front();
    EXPECT_EQ(box.text, QStringLiteral("Already running!"));
    EXPECT_EQ(box.caption, QStringLiteral("Kestrava"));
    EXPECT_EQ(box.style, mb::kIconError);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_FALSE(loopRan);
    EXPECT_TRUE(tray.Calls().isEmpty());
    EXPECT_TRUE(LoggedEvents().isEmpty()) << "the second instance must not touch the database";
}

TEST_F(StartupTest, EndedFirstInstanceDoesNotBlockTheNextStart)
{
    MakeDatabase();
    const QString name = QStringLiteral("KestravaShellTest-next-%1").arg(getpid());
    {
        SocketSingleInstance first(name);
        ASSERT_TRUE(first.TryAcquire());
    }
    SocketSingleInstance next(name);
    ProgramParts parts = Parts(next);
    bool loopRan = false;
    parts.runLoop = [&](TfMain &w) {
        loopRan = true;
        EXPECT_TRUE(w.PendingShow());
        EXPECT_FALSE(w.isVisible());
        return 0;
    };
    EXPECT_EQ(RunProgram(parts), 0);
    EXPECT_TRUE(loopRan);
    EXPECT_TRUE(boxes.Boxes().isEmpty());
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Kestrava"));
    EXPECT_EQ(QApplication::applicationDisplayName(), QStringLiteral("Kestrava"));
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
}

// Missing file, another password, not a database at all: the one English box
// and nothing else.
TEST_F(StartupTest, UnreadableDatabaseShowsTheFixedBoxAndNothingElse)
{
    enum class Damage { Missing, OtherPassword, Garbage };
    for (Damage damage : {Damage::Missing, Damage::OtherPassword, Damage::Garbage}) {
        SCOPED_TRACE(static_cast<int>(damage));
        log.entries.clear();
        QFile::remove(DatabasePath(Folder()));
        if (damage == Damage::OtherPassword) {
            Database other;
            other.create(DatabasePath(Folder()), QStringLiteral("another password"));
            other.exec(QStringLiteral("CREATE TABLE LOGFILES(ID INTEGER PRIMARY KEY, EVENT TEXT)"));
        } else if (damage == Damage::Garbage) {
            QFile file(DatabasePath(Folder()));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        }
        const QByteArray before = FileBytes(DatabasePath(Folder()));
        FakeSingleInstance instance;
        ProgramParts parts = Parts(instance);
        bool loopRan = false;
        parts.runLoop = [&](TfMain &) {
            loopRan = true;
            return 0;
        };

        EXPECT_EQ(RunProgram(parts), 1);

        ASSERT_EQ(boxes.Boxes().size(), 1);
        EXPECT_EQ(boxes.Boxes().front().text, QStringLiteral("Read application data file failed!"));
        EXPECT_EQ(boxes.Boxes().front().caption, QStringLiteral("Kestrava"));
        EXPECT_EQ(boxes.Boxes().front().style, mb::kIconError);
        EXPECT_FALSE(loopRan) << "no window may be shown";
        EXPECT_EQ(log.IndexOf(QStringLiteral("TrayAdd")), -1);
        EXPECT_EQ(monitor, nullptr) << "no link is started";
        // no event-log line, nor any other write: the file is as it was
        EXPECT_EQ(FileBytes(DatabasePath(Folder())), before);
        EXPECT_EQ(QFile::exists(DatabasePath(Folder())), damage != Damage::Missing);
        boxes = FakeMessageBoxes(&log);
    }
}

TEST_F(StartupTest, StartMonitorOpensLogsThenStartsTheClockAndHandsOverToTheLinks)
{
    MakeDatabase();
    TfMain &w = CreateWindow();

    EXPECT_FALSE(w.StartFailed());
    EXPECT_EQ(LoggedEvents(), QStringList{QStringLiteral("监控系统启动.")});
    EXPECT_EQ(log.entries, (QStringList{QStringLiteral("SetStartStates"), QStringLiteral("SelectLink")}))
        << "the states get their start value directly, then the links are chosen";
    EXPECT_TRUE(w.tmSec.isActive());
    EXPECT_EQ(w.tmSec.interval(), 1000);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.PendingShow()) << "FormCreate clears it; the entry sets it afterwards";
    EXPECT_TRUE(tray.Calls().isEmpty()) << "only the links or the first tick add the icon";
    EXPECT_EQ(ImageIndexOf(w.imgLogo->picture()), 0);
    EXPECT_EQ(ImageIndexOf(w.imgBackground->picture()), 1);
}

TEST_F(StartupTest, FirstTickImportsOnceThenShowsThePendingWindow)
{
    MakeDatabase();
    int imports = 0;
    MainWindowDeps deps = Deps();
    deps.importShutdownFiles = [&](TfMain &w) {
        ++imports;
        EXPECT_FALSE(w.isVisible()) << "the import comes before the first show";
    };
    window = std::make_unique<TfMain>(std::move(deps));
    TfMain &w = *window;
    w.SetPendingShow(true);

    w.tmSecTimer();
    EXPECT_EQ(imports, 1);
    EXPECT_EQ(w.ClockOnceMarker(), 1);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.PendingShow());
    EXPECT_TRUE(tray.IsShown());

    w.hide();
    w.tmSecTimer();
    EXPECT_EQ(imports, 1);
    EXPECT_FALSE(w.isVisible()) << "only the first tick shows the window";
}

// The import's viewer runs a loop of its own, in which the next tick comes:
// that tick enters the import again and shows the window.
TEST_F(StartupTest, TickInsideTheImportEntersItAgainAndShowsTheWindow)
{
    MakeDatabase();
    int depth = 0;
    int entries = 0;
    bool shownInside = false;
    MainWindowDeps deps = Deps();
    deps.importShutdownFiles = [&](TfMain &w) {
        ++entries;
        if (depth++ == 0) {
            w.tmSecTimer(); // the nested tick
            shownInside = w.isVisible();
        }
        --depth;
    };
    window = std::make_unique<TfMain>(std::move(deps));
    window->SetPendingShow(true);

    window->tmSecTimer();
    EXPECT_EQ(entries, 2);
    EXPECT_TRUE(shownInside);
    EXPECT_EQ(window->ClockOnceMarker(), 1);
}

TEST_F(StartupTest, FailingImportIsReportedOnceAndTheWindowStillShows)
{
    MakeDatabase();
    int imports = 0;
    MainWindowDeps deps = Deps();
    deps.importShutdownFiles = [&](TfMain &) {
        ++imports;
        throw StoreError(QStringLiteral("disk I/O error"));
    };
    window = std::make_unique<TfMain>(std::move(deps));
    window->SetPendingShow(true);

    window->tmSecTimer();
    window->tmSecTimer();
    EXPECT_EQ(imports, 1);
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_EQ(boxes.Boxes().front().text, QStringLiteral("disk I/O error"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(StartupTest, ClockShowsGreenTimeOrLeavesTheCountdownsTextInRed)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    clock.Set(QDateTime(QDate(2024, 3, 1), QTime(8, 5, 9)));

    w.tmSecTimer();
    EXPECT_TRUE(w.lDigClk->text().contains(QStringLiteral("08:05:09")));
    EXPECT_EQ(w.lDigClk->palette().color(QPalette::WindowText), QColor(0, 128, 0));

    monitor->alerts.running = true;
    w.SetClockText(QStringLiteral(" 0: 4:59"));
    clock.Advance(1000);
    w.tmSecTimer();
    EXPECT_EQ(w.lDigClk->text(), QStringLiteral(" 0: 4:59"));
    EXPECT_EQ(w.lDigClk->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    monitor->alerts.running = false;
    w.tmSecTimer();
    EXPECT_TRUE(w.lDigClk->text().contains(QStringLiteral("08:05:10")));
    EXPECT_EQ(w.lDigClk->palette().color(QPalette::WindowText), QColor(0, 128, 0));
}

TEST_F(StartupTest, QuitAnsweredNoKeepsRunningHiddenAndTheNextTickBringsTheIconBack)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    w.show();
    w.tmSecTimer();
    ASSERT_TRUE(tray.IsShown());
    bool clockStoppedDuringQuestion = false;
    bool iconGoneDuringQuestion = false;
    boxes.whileShown = [&](const FakeMessageBoxes::Box &) {
        clockStoppedDuringQuestion = !w.tmSec.isActive();
        iconGoneDuringQuestion = !tray.IsShown();
    };
    boxes.answers.push_back(mb::kIdNo);

    w.Quit();

    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_EQ(boxes.Boxes().front().text, QStringLiteral("真的要退出Kestrava吗?"));
    EXPECT_EQ(boxes.Boxes().front().caption, QStringLiteral("Kestrava"));
    EXPECT_EQ(boxes.Boxes().front().style, mb::kYesNo | mb::kIconQuestion);
    EXPECT_TRUE(clockStoppedDuringQuestion);
    EXPECT_TRUE(iconGoneDuringQuestion);
    EXPECT_EQ(endCalls, 0);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.tmSec.isActive());
    EXPECT_FALSE(tray.IsShown());
    w.tmSecTimer();
    EXPECT_TRUE(tray.IsShown());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(LoggedEvents().size(), 1) << "no quit line";
}

TEST_F(StartupTest, QuitAnsweredYesLogsTheLastLineAndEndsTheProgram)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    boxes.answers.push_back(mb::kIdYes);

    w.Quit();

    EXPECT_EQ(endCalls, 1);
    EXPECT_EQ(LoggedEvents(), (QStringList{QStringLiteral("监控系统启动."), QStringLiteral("监控系统退出")}));
}

TEST_F(StartupTest, QuitEndsEvenWhenTheLastLineCannotBeWritten)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    // the table gone under the program: the insert fails
    w.db.conn.exec(QStringLiteral("DROP TABLE LOGFILES"));
    boxes.answers.push_back(mb::kIdYes);

    w.Quit();

    EXPECT_EQ(endCalls, 1) << "a lost log line must not leave the program running without window or tray";
    ASSERT_EQ(boxes.Boxes().size(), 2);
    EXPECT_EQ(boxes.Boxes().back().style, mb::kIconError);
}

TEST_F(StartupTest, DestructionClosesTheOpenPortAndRemovesTheIcon)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    monitor->port.SetConnected(true);
    w.tmSecTimer();
    log.entries.clear();

    window.reset();

    EXPECT_EQ(log.IndexOf(QStringLiteral("Close")), 0);
    EXPECT_EQ(log.entries.last(), QStringLiteral("TrayRemove"));
    EXPECT_FALSE(tray.IsShown());
}

} // namespace
