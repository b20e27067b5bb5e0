// The tray icon, its menu, the show request of another process, and the help file.
#include "app_fixture.h"
#include "fakes/fake_single_instance.h"
#include "lang/messages.h"
#include "platform/message_boxes.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>

namespace {

using TrayTest = ShellTest;

TEST_F(TrayTest, IconFollowsTheLinkAndTheTipIsTheProductName)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    struct Row
    {
        uint8_t link;
        const QIcon *icon;
    };
    const Row rows[] = {
        {UpsState::Unknown, &linkDownIcon}, {UpsState::Normal, &programIcon}, {UpsState::Off, &linkDownIcon}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.link);
        monitor->states.link = row.link;
        w.RefreshTrayIcon();
        ASSERT_TRUE(tray.IsShown());
        EXPECT_EQ(tray.IconKey(), row.icon->cacheKey());
        EXPECT_EQ(tray.Tip(), QStringLiteral("Kestrava"));
    }
    const qsizetype calls = tray.Calls().size();
    w.tmSecTimer();
    ASSERT_EQ(tray.Calls().size(), calls + 1);
    EXPECT_FALSE(tray.Calls().last().changed) << "every tick adds; an icon already there stays as it is";
}

TEST_F(TrayTest, ClickTogglesAndDoubleClickTogglesTwice)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    tray.Click();
    EXPECT_TRUE(w.isVisible());
    tray.Click();
    EXPECT_FALSE(w.isVisible());
    tray.DoubleClick();
    EXPECT_FALSE(w.isVisible()) << "a double click leaves the window as it was";
    w.show();
    tray.DoubleClick();
    EXPECT_TRUE(w.isVisible());
}

TEST_F(TrayTest, MenuHoldsItsNineItemsInOrder)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    QStringList items;
    for (QAction *action : w.TaryPopMenu->actions()) {
        EXPECT_EQ(action->parent(), &w) << "the items belong to the window";
        items << action->objectName() + QLatin1Char('=') +
                     (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(items,
              (QStringList{"N2=系统设置(&S)", "N3=关机文件(&F)", "N4=事务日志(&L)", "A1=关于(&A)...", "N5=-",
                           "pmShowHide=关闭主窗口(&C)", "N1=-", "pmExit=退出系统(&X)", "H1=帮助(&H).."}));
}

TEST_F(TrayTest, RightClickOpensTheMenuAtThePointerWithTheShowHideCaption)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    for (bool visible : {true, false}) {
        SCOPED_TRACE(visible);
        w.setVisible(visible);
        tray.RightClick(QPoint(300, 200));
        EXPECT_TRUE(w.TaryPopMenu->isVisible());
        EXPECT_EQ(w.TaryPopMenu->pos(), QPoint(300, 200));
        EXPECT_EQ(w.pmShowHide->text(),
                  visible ? QStringLiteral("关闭/隐藏主窗口(&C)") : QStringLiteral("打开/显示主窗口(&O)"));
        w.TaryPopMenu->hide();
    }
}

TEST_F(TrayTest, MenuItemsReachTheirActions)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    w.pmShowHide->trigger();
    EXPECT_TRUE(w.isVisible());
    w.pmShowHide->trigger();
    EXPECT_FALSE(w.isVisible());

    boxes.answers.push_back(mb::kIdYes);
    w.pmExit->trigger();
    EXPECT_EQ(endCalls, 1);
}

TEST_F(TrayTest, ShowRequestShowsTheHiddenWindowAndRaisesTheShownOne)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    FakeSingleInstance instance;
    w.ConnectShowRequests(instance);
    instance.RequestShow();
    EXPECT_TRUE(w.isVisible());
    instance.RequestShow();
    EXPECT_TRUE(w.isVisible()) << "a shown window is brought forward, not toggled";
}

TEST_F(TrayTest, HelpOpensTheLanguagesChmOrSaysItIsMissing)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    const QString path = Folder() + QStringLiteral("languages/简体中文.chm");

    w.H1->trigger();
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_EQ(boxes.Boxes().front().text, path + QStringLiteral(" not found!"));
    EXPECT_EQ(boxes.Boxes().front().caption, QStringLiteral("Kestrava"));
    EXPECT_EQ(boxes.Boxes().front().style, mb::kOk);
    EXPECT_TRUE(shell.Paths().isEmpty());

    ASSERT_TRUE(QDir().mkpath(Folder() + QStringLiteral("languages")));
    QFile help(path);
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    w.H1Click();
    EXPECT_EQ(shell.Paths(), QStringList{path});
    EXPECT_EQ(boxes.Boxes().size(), 1);
}

TEST_F(TrayTest, ShutdownHostHidesStopsTheClockAndForwardsThePowerOff)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    w.show();
    w.tmSecTimer();
    w.HideMainWindow();
    w.StopClockAndRemoveTray();
    w.PowerOffUps(QStringLiteral("ALL"));
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.tmSec.isActive());
    EXPECT_FALSE(tray.IsShown());
    EXPECT_EQ(log.entries.last(), QStringLiteral("PowerOffUps ALL"));
}

} // namespace
