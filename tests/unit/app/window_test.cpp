// The main window's face: controls at their places, the status display, the pictures, the display settings.
#include "app_fixture.h"
#include "lang/messages.h"
#include "lang/widgets.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QTextEdit>

namespace {

using WindowTest = ShellTest;

TEST_F(WindowTest, ControlsSitAtTheirPlacesWithTagsPointersAndHints)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    struct Row
    {
        ImageControl *control;
        const char *name;
        QRect geometry;
        int picture; // the tag, for the picture buttons and state images
        Qt::CursorShape cursor;
        QString hint;
    };
    const Row rows[] = {
        {w.imgBackground, "imgBackground", {0, 0, 784, 538}, 1, Qt::ArrowCursor, {}},
        {w.imgLogo, "imgLogo", {0, 0, 480, 80}, 0, Qt::ArrowCursor, {}},
        {w.imgSettings,
         "imgSettings",
         {670, 50, 100, 100},
         2,
         Qt::PointingHandCursor,
         QStringLiteral("设置")},
        {w.imgCloseFiles,
         "imgCloseFiles",
         {674, 170, 100, 100},
         4,
         Qt::PointingHandCursor,
         QStringLiteral("关机日志")},
        {w.imgLogFiles,
         "imgLogFiles",
         {633, 291, 100, 100},
         6,
         Qt::PointingHandCursor,
         QStringLiteral("UPS工作事件日志")},
        {w.imgAbout, "imgAbout", {627, 410, 100, 100}, 8, Qt::PointingHandCursor, QStringLiteral("关于")},
        {w.imgClock, "imgClock", {464, 405, 100, 100}, 10, Qt::CrossCursor, QStringLiteral("时间显示")},
        {w.imgBat, "imgBat", {551, 152, 100, 100}, 12, Qt::CrossCursor, QStringLiteral("UPS电池状态")},
        {w.imgAC, "imgAC", {490, 267, 100, 100}, 16, Qt::CrossCursor, QStringLiteral("市电输入状态")},
        {w.imgCon, "imgCon", {31, 364, 136, 136}, 20, Qt::CrossCursor, QStringLiteral("设备未连接!")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.control->objectName(), QLatin1String(row.name));
        EXPECT_EQ(row.control->geometry(), row.geometry);
        EXPECT_EQ(ImageIndexOf(row.control->picture()), row.picture);
        EXPECT_EQ(row.control->cursor().shape(), row.cursor);
        EXPECT_EQ(row.control->toolTip(), row.hint);
    }
    EXPECT_EQ(w.objectName(), QStringLiteral("fMain"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("fMain"));
    EXPECT_EQ(w.size(), QSize(784, 532));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "not resizable";
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));

    EXPECT_EQ(w.lDigClk->parent(), w.imgClock);
    EXPECT_EQ(w.lDigClk->geometry(), QRect(0, 81, 100, 17));
    EXPECT_EQ(w.lDigClk->text(), QStringLiteral("1 day 12:12"));
    EXPECT_TRUE(w.lDigClk->font().bold());
    EXPECT_EQ(w.lDigClk->font().pixelSize(), 14);
    EXPECT_EQ(w.lDP->geometry(), QRect(400, 275, 13, 13));
    EXPECT_EQ(w.iconx->geometry(), QRect(48, 144, 32, 32));
    EXPECT_TRUE(w.iconx->isHidden());

    EXPECT_EQ(w.display->geometry(), QRect(160, 107, 254, 163));
    EXPECT_TRUE(w.display->isReadOnly());
    EXPECT_EQ(w.display->lineWrapMode(), QTextEdit::NoWrap);
    EXPECT_FALSE(w.display->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(w.display->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(w.display->palette().color(QPalette::Text), QColor(Qt::white));
}

TEST_F(WindowTest, DisplayHoldsItsNineBuiltInLinesAndALineIsReplacedWhole)
{
    MakeDatabase();
    SetStoredSettings({{"bWarning", false}, {"bEMAIL", false}, {"bShutWinOS", false}});
    TfMain &w = CreateWindow();
    const QStringList builtIn{
        QStringLiteral("    Kestrava ver 1.9"),
        QString(31, QLatin1Char('=')),
        QString(),
        QStringLiteral("> 监控端口:COM1"),
        QStringLiteral("> UPS设备未联接"),
        QStringLiteral("> "),
        QString(),
        QString(31, QLatin1Char('-')),
        QStringLiteral("已开启："),
    };
    EXPECT_EQ(w.display->document()->blockCount(), 9);
    w.show();
    EXPECT_LE(w.display->document()->size().height(), w.display->viewport()->height())
        << "all nine lines fit, the features line too";
    for (int line = 0; line < 9; ++line)
        EXPECT_EQ(w.DisplayLine(line), builtIn.at(line)) << "line " << line;

    w.SetDisplayLine(DisplayLine::Event, QStringLiteral("> a"));
    w.SetDisplayLine(DisplayLine::Event, QStringLiteral("> 市电断电"));
    EXPECT_EQ(w.DisplayLine(5), QStringLiteral("> 市电断电"));
    w.SetDisplayLine(DisplayLine::Port, QStringLiteral("> two\nlines"));
    w.SetDisplayLine(12, QStringLiteral("nowhere"));
    EXPECT_EQ(w.display->document()->blockCount(), 9) << "a line stays one line; past the last, nothing";
    EXPECT_EQ(w.DisplayLine(6), QString());
    EXPECT_EQ(w.DisplayLine(8), QStringLiteral("已开启："));
}

TEST_F(WindowTest, FeaturesLineNamesWhatTheSettingsSwitchOn)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    struct Row
    {
        bool warning, mail, shutdown;
        QString line;
    };
    const Row rows[] = {
        {false, false, false, QStringLiteral("已开启：")},
        {true, false, false, QStringLiteral("已开启：警报.")},
        {false, true, false, QStringLiteral("已开启：邮件通知.")},
        {false, false, true, QStringLiteral("已开启：自动关机")},
        {true, false, true, QStringLiteral("已开启：警报.自动关机")},
        {true, true, true, QStringLiteral("已开启：警报.邮件通知.自动关机")},
    };
    for (const Row &row : rows) {
        SetSettings({{"bWarning", row.warning}, {"bEMAIL", row.mail}, {"bShutWinOS", row.shutdown}});
        w.ApplyDisplaySettings();
        EXPECT_EQ(w.DisplayLine(DisplayLine::Features), row.line);
    }
}

TEST_F(WindowTest, NoTaskbarEntryOnceRemovedStaysRemovedAndStayOnTopFollowsTheSetting)
{
    MakeDatabase();
    SetStoredSettings({{"bSysNoTB", true}, {"bSysStayOnTop", true}});
    TfMain &w = CreateWindow();
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    w.show();
    SetSettings({{"bSysNoTB", false}, {"bSysStayOnTop", false}});
    w.ApplyDisplaySettings();
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::Tool)) << "a cleared setting does not bring the entry back";
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w.isVisible()) << "changing the style must not hide the window";

    SetSettings({{"bSysStayOnTop", true}});
    w.ApplyDisplaySettings();
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w.isVisible());
}

TEST_F(WindowTest, HoverShowsTheSecondPictureAndLeavingTheFirst)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    for (ImageControl *button : {w.imgSettings, w.imgCloseFiles, w.imgLogFiles, w.imgAbout}) {
        const int tag = ImageIndexOf(button->picture());
        emit button->mouseEntered();
        EXPECT_EQ(ImageIndexOf(button->picture()), tag + 1) << button->objectName().toStdString();
        emit button->mouseLeft();
        EXPECT_EQ(ImageIndexOf(button->picture()), tag);
    }
}

TEST_F(WindowTest, StateImagesAndHintsComeFromTheStatusModel)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    w.SetStateImage(StateImage::Mains, 19);
    w.SetStateImage(StateImage::Battery, 14);
    w.SetStateImage(StateImage::Link, 31);
    w.SetStateHint(StateImage::Link, QStringLiteral("已连接"));
    EXPECT_EQ(ImageIndexOf(w.imgAC->picture()), 19);
    EXPECT_EQ(ImageIndexOf(w.imgBat->picture()), 14);
    EXPECT_EQ(ImageIndexOf(w.imgCon->picture()), 31);
    EXPECT_EQ(w.imgCon->toolTip(), QStringLiteral("已连接"));
}

// Past the last row there is no picture: the control shows nothing, and the
// window works on.
TEST_F(WindowTest, TableWithFewerImagesLeavesTheMissingPicturesEmpty)
{
    MakeDatabase(11);
    TfMain &w = CreateWindow();
    ASSERT_FALSE(w.StartFailed());
    EXPECT_EQ(w.imgLst.size(), 11);
    EXPECT_EQ(ImageIndexOf(w.imgClock->picture()), 10);
    EXPECT_EQ(ImageIndexOf(w.imgCon->picture()), -1);
    emit w.imgAbout->mouseEntered();
    EXPECT_EQ(ImageIndexOf(w.imgAbout->picture()), 9);
    w.SetStateImage(StateImage::Link, 31);
    w.SetStateImage(StateImage::Mains, -1);
    EXPECT_EQ(ImageIndexOf(w.imgCon->picture()), -1);
    w.show();
    EXPECT_FALSE(w.grab().isNull());
}

TEST_F(WindowTest, MinimiseHidesInsteadOfMinimising)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    w.show();
    w.setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
    tray.Click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
}

TEST_F(WindowTest, CloseHidesOrAsksToQuitByTheSetting)
{
    MakeDatabase();
    TfMain &w = CreateWindow();
    for (bool noClose : {true, false}) {
        SCOPED_TRACE(noClose);
        SetSettings({{"bSysNoClose", noClose}});
        w.show();
        boxes.answers.push_back(mb::kIdNo);
        const qsizetype boxesBefore = boxes.Boxes().size();
        EXPECT_FALSE(w.close()) << "the window itself is never closed";
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(boxes.Boxes().size() - boxesBefore, noClose ? 0 : 1);
        boxes.answers.clear();
    }
    EXPECT_EQ(endCalls, 0);
}

} // namespace
