// Tests of the warning window: ShowAlert's order, the looks, hide and re-show, placement and translation.
#include "tips_fixture.h"

#include "lang/messages.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>

namespace {

constexpr int kNoMail = -1;
constexpr int kNoCountdown = -1;

void ClickLabel(QLabel *label)
{
    const QPointF at(label->width() / 2.0, label->height() / 2.0);
    const QPointF global = label->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label, &press);
    QCoreApplication::sendEvent(label, &release);
}

} // namespace

TEST_F(AlertsTest, WindowIsCreatedHiddenOnFirstNeedAsAToolWindowWithoutButtons)
{
    Make();
    EXPECT_EQ(alerts->Tips(), nullptr);
    EXPECT_FALSE(alerts->CountdownRunning());
    EXPECT_FALSE(alerts->BatteryCountdown());
    alerts->CancelShutdownCountdown();
    ASSERT_NE(alerts->Tips(), nullptr);

    TfTips &tips = Tips();
    EXPECT_FALSE(tips.isVisible());
    EXPECT_EQ(tips.objectName(), "fTips");
    EXPECT_EQ(tips.windowTitle(), "警告窗口");
    EXPECT_EQ(tips.size(), QSize(320, 122));
    const Qt::WindowFlags flags = tips.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_FALSE(flags &
                 (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint));
    EXPECT_EQ(tips.btCancel->text(), "撤销关机");
    EXPECT_EQ(tips.btClose->text(), "确   定");
    EXPECT_EQ(tips.btCancel->geometry(), QRect(75, 88, 95, 18));
    EXPECT_EQ(tips.btClose->geometry(), QRect(112, 88, 95, 18));
    EXPECT_EQ(tips.mShow->font().family(), "Noto Sans CJK SC");
    EXPECT_EQ(tips.mShow->font().pixelSize(), 20);
    EXPECT_EQ(tips.btClose->font().pixelSize(), 16);
    EXPECT_EQ(tips.btClose->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(tips.imgFace->picture(), plainFace);
}

TEST_F(AlertsTest, ShowAlertArmsThenMailsThenShowsTheWindow)
{
    Make();
    bool runningAtMail = false;
    bool visibleAtMail = true;
    onMail = [&] {
        runningAtMail = alerts->CountdownRunning();
        visibleAtMail = Tips().isVisible();
    };
    alerts->ShowAlert(QStringLiteral("市电断电"), 1, true, 600);

    EXPECT_EQ(calls.entries, QStringList{"Mail(市电断电,1)"});
    EXPECT_TRUE(runningAtMail);
    EXPECT_FALSE(visibleAtMail);
    EXPECT_TRUE(Tips().isVisible());
    EXPECT_EQ(Tips().mShow->text(), "市电断电");
    EXPECT_EQ(Tips().mShow->pos(), QPoint(76, 30));
    EXPECT_TRUE(Tips().ReshowAlert());
}

TEST_F(AlertsTest, NegativeArgumentsMeanNoMailAndNoCountdown)
{
    Make();
    alerts->ShowAlert(QStringLiteral("打开串口失败"), kNoMail, false, kNoCountdown);
    EXPECT_TRUE(calls.entries.isEmpty());
    EXPECT_FALSE(alerts->CountdownRunning());
    EXPECT_TRUE(Tips().isVisible());
}

TEST_F(AlertsTest, WarningsOffStillArmsAndMailsButLeavesWindowAndReshowAlone)
{
    settings.Set("bWarning", false);
    Make();
    alerts->ShowAlert(QStringLiteral("电池电压低"), 3, false, 30);

    EXPECT_EQ(calls.entries, QStringList{"Mail(电池电压低,3)"});
    EXPECT_TRUE(alerts->CountdownRunning());
    EXPECT_FALSE(Tips().isVisible());
    // repeat false did not reach ReshowAlert: the arming's true stands.
    EXPECT_TRUE(Tips().ReshowAlert());
    EXPECT_EQ(Tips().mShow->text(), "打开串口失败");

    // The countdown runs on the clock label alone and still shuts down.
    TickAfter(1000);
    EXPECT_EQ(host.clockText, " 0: 0:29");
    TickAfter(29000);
    EXPECT_EQ(power.Calls(), 1);
    EXPECT_FALSE(Tips().isVisible());
}

TEST_F(AlertsTest, OkHidesAndTheWindowReturnsOnlyWhenRepeatIsOn)
{
    for (const bool repeat : {true, false}) {
        SCOPED_TRACE(repeat ? "repeat" : "no repeat");
        Make();
        alerts->ShowAlert(QStringLiteral("市电恢复"), kNoMail, repeat, kNoCountdown);
        TfTips &tips = Tips();
        ClickLabel(tips.btClose);
        EXPECT_FALSE(tips.isVisible());
        EXPECT_EQ(tips.tmShow.isActive(), repeat);
        if (!repeat) continue;

        EXPECT_EQ(tips.tmShow.interval(), 30000);
        tips.tmShowTimer();
        EXPECT_TRUE(tips.isVisible());
        EXPECT_FALSE(tips.tmShow.isActive());
        EXPECT_FALSE(tips.tmHide.isActive()) << "a re-shown window stays until OK";
        ClickLabel(tips.btClose);
        EXPECT_FALSE(tips.isVisible());
        EXPECT_TRUE(tips.tmShow.isActive()) << "each OK schedules the next return";
    }
}

TEST_F(AlertsTest, HideAndReshowIntervalsFollowTheWarningInterval)
{
    struct Case
    {
        int warnSeconds;
        int showMs;
        int hideMs;
    };
    // 5 s halves to 2.5 s, below the 5 s floor; 11 s halves to an odd 5.5 s.
    for (const Case c : {Case{30, 30000, 15000}, Case{5, 5000, 5000}, Case{11, 11000, 5500}}) {
        SCOPED_TRACE(c.warnSeconds);
        settings.Set("iWarnTimer", c.warnSeconds);
        Make();
        alerts->ShowAlert(QStringLiteral("x"), kNoMail, true, kNoCountdown);
        EXPECT_EQ(Tips().tmShow.interval(), c.showMs);
        EXPECT_EQ(Tips().tmHide.interval(), c.hideMs);
    }
}

TEST_F(AlertsTest, OnlyAZeroCountdownHidesTheWindowByItself)
{
    settings.Set("bShutWinOS", false); // so a zero countdown arms nothing
    for (const int seconds : {0, -1, 1, 600}) {
        SCOPED_TRACE(seconds);
        Make();
        alerts->ShowAlert(QStringLiteral("x"), kNoMail, true, seconds);
        EXPECT_EQ(Tips().tmHide.isActive(), seconds == 0);
    }

    TfTips &tips = Tips();
    alerts->ShowAlert(QStringLiteral("x"), kNoMail, true, 0);
    tips.tmHideTimer();
    EXPECT_FALSE(tips.isVisible());
    EXPECT_FALSE(tips.tmHide.isActive());
    EXPECT_TRUE(tips.tmShow.isActive());
    tips.tmShowTimer();
    EXPECT_TRUE(tips.isVisible());
    EXPECT_FALSE(tips.tmHide.isActive()) << "the return is not hidden again";
}

TEST_F(AlertsTest, ShowAlertSetsThePlainLookAndTheNextTickTheCountdownLook)
{
    Make();
    alerts->ShowAlert(QStringLiteral("市电断电"), kNoMail, true, 600);
    TfTips &tips = Tips();
    EXPECT_FALSE(CountdownLook());
    EXPECT_TRUE(tips.LED->isHidden());

    TickAfter(1000);
    EXPECT_TRUE(CountdownLook());
    EXPECT_FALSE(tips.LED->isHidden());
    EXPECT_EQ(tips.imgFace->picture(), countdownFace);
    EXPECT_EQ(tips.mShow->pos(), QPoint(76, 22));
    EXPECT_EQ(tips.btClose->pos(), QPoint(188, 88));
    EXPECT_EQ(tips.LED->text(), "关机倒计时\t 0: 9:59");

    alerts->ShowAlert(QStringLiteral("电池电压低"), kNoMail, true, kNoCountdown);
    EXPECT_FALSE(CountdownLook());
    EXPECT_TRUE(tips.LED->isHidden());
    EXPECT_EQ(tips.imgFace->picture(), plainFace);
    EXPECT_EQ(tips.mShow->pos(), QPoint(76, 30));
    EXPECT_EQ(tips.btClose->pos(), QPoint(112, 88));
    EXPECT_EQ(tips.mShow->text(), "电池电压低");

    // The look follows the countdown while the window is hidden, without
    // showing it.
    ClickLabel(tips.btClose);
    TickAfter(1000);
    EXPECT_TRUE(CountdownLook());
    EXPECT_FALSE(tips.isVisible());
}

TEST_F(AlertsTest, ActivationPlacesTheWindowInTheBottomRightCornerOfTheWorkArea)
{
    Make();
    alerts->ShowAlert(QStringLiteral("x"), kNoMail, false, kNoCountdown);
    TfTips &tips = Tips();
    tips.move(10, 10);
    tips.activateWindow();
    QCoreApplication::processEvents();
    ASSERT_TRUE(tips.isActiveWindow()) << "the offscreen platform activates shown windows";

    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect outer = tips.frameGeometry();
    EXPECT_EQ(outer.right(), area.right() - 2);
    EXPECT_EQ(outer.bottom(), area.bottom() - 2);
}

TEST_F(AlertsTest, CancelLabelStopsTheCountdownAndPendingReturn)
{
    Make();
    alerts->ShowAlert(QStringLiteral("市电断电"), kNoMail, true, 600);
    TickAfter(1000);
    ClickLabel(Tips().btCancel);
    EXPECT_FALSE(alerts->CountdownRunning());
    EXPECT_FALSE(Tips().isVisible());
    EXPECT_FALSE(Tips().tmShow.isActive());
    EXPECT_FALSE(Tips().tmHide.isActive());
}

TEST_F(AlertsTest, FormCreationTranslatesTheWindowFromTheLanguageFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("languages")));
    QFile ini(folder + QStringLiteral("languages/简体中文.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[fTips]\r\nCaption=Warning\r\nbtCancel.Caption=Cancel shutdown\r\n"
              "btCancel.Hint=Stops the countdown\r\nmShow.Caption=A much longer placeholder text\r\n");
    ini.close();
    LoadMessages(folder);
    Make();
    alerts->CancelShutdownCountdown();
    LoadMessages(dir.path() + QStringLiteral("/none/")); // back to the built-in texts

    EXPECT_EQ(Tips().windowTitle(), "Warning");
    EXPECT_EQ(Tips().btCancel->text(), "Cancel shutdown");
    EXPECT_EQ(Tips().btCancel->toolTip(), "Stops the countdown");
    EXPECT_EQ(Tips().mShow->size(), Tips().mShow->sizeHint()) << "sized to the translated text";
}
