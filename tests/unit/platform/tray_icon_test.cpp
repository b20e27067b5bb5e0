// QtTrayIcon and FakeTrayIcon: the add/remove contract both keep, and the mouse actions a real click
// delivers.
#include "fakes/fake_tray_icon.h"
#include "platform/linux/qt_tray_icon.h"

#include <QPixmap>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

#include <ostream>

#include <functional>
#include <memory>

namespace {

QIcon Solid(Qt::GlobalColor colour)
{
    QPixmap pm(16, 16);
    pm.fill(colour);
    return QIcon(pm);
}

QSystemTrayIcon *Inner(TrayIcon &tray)
{
    return tray.findChild<QSystemTrayIcon *>();
}

struct Impl
{
    const char *name;
    std::function<std::unique_ptr<TrayIcon>()> make;
    std::function<qint64(TrayIcon &)> iconKey; // what the tray shows now
};

// Names the case in test listings (the default prints raw bytes).
void PrintTo(const Impl &c, std::ostream *os)
{
    *os << c.name;
}

class TrayIconContract : public ::testing::TestWithParam<Impl>
{
};

// The program re-adds its icon every second: that must never replace the
// icon shown. Only a remove lets a new icon in.
TEST_P(TrayIconContract, AddWhileShownKeepsTheIconUntilRemoved)
{
    const Impl impl = GetParam();
    auto tray = impl.make();
    const QIcon program = Solid(Qt::green), linkDown = Solid(Qt::red);

    EXPECT_FALSE(tray->IsShown());
    tray->Add(program, "Kestrava");
    EXPECT_TRUE(tray->IsShown());
    tray->Add(linkDown, "Kestrava");
    EXPECT_EQ(impl.iconKey(*tray), program.cacheKey());

    tray->Remove();
    EXPECT_FALSE(tray->IsShown());
    tray->Remove(); // removing twice is harmless
    tray->Add(linkDown, "Kestrava");
    EXPECT_TRUE(tray->IsShown());
    EXPECT_EQ(impl.iconKey(*tray), linkDown.cacheKey());
}

INSTANTIATE_TEST_SUITE_P(Impls, TrayIconContract,
                         ::testing::Values(Impl{"Qt", [] { return std::make_unique<QtTrayIcon>(); },
                                                [](TrayIcon &t) { return Inner(t)->icon().cacheKey(); }},
                                           Impl{"Fake", [] { return std::make_unique<FakeTrayIcon>(); },
                                                [](TrayIcon &t) {
                                                    return static_cast<FakeTrayIcon &>(t).IconKey();
                                                }}),
                         [](const auto &info) { return std::string(info.param.name); });

// What each tray action delivers, recorded in order.
struct Delivered
{
    QStringList events;
    explicit Delivered(TrayIcon &tray)
    {
        QObject::connect(&tray, &TrayIcon::leftButtonDown, [this] { events << "down"; });
        QObject::connect(&tray, &TrayIcon::leftDoubleClick, [this] { events << "double"; });
        QObject::connect(&tray, &TrayIcon::rightButtonDown, [this](QPoint) { events << "right"; });
    }
};

struct ClickCase
{
    const char *name;
    const char *why;
    QList<QSystemTrayIcon::ActivationReason> activations; // as Qt reports a real click under X11
    QStringList expected;
};

// Names the case in test listings (the default prints raw bytes).
void PrintTo(const ClickCase &c, std::ostream *os)
{
    *os << c.name;
}

class QtTrayIconClicks : public ::testing::TestWithParam<ClickCase>
{
};

// A double click under X11 arrives as Trigger then DoubleClick (measured with
// a real tray host): one button-down and one double-click, two toggles of the
// window, as the main window expects.
TEST_P(QtTrayIconClicks, DeliversTheMouseActions)
{
    const ClickCase c = GetParam();
    QtTrayIcon tray;
    Delivered got(tray);
    for (auto reason : c.activations)
        emit Inner(tray)->activated(reason);
    EXPECT_EQ(got.events, c.expected) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, QtTrayIconClicks,
    ::testing::Values(ClickCase{"Single", "single left click", {QSystemTrayIcon::Trigger}, {"down"}},
                      ClickCase{"Double",
                                "double left click",
                                {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick},
                                {"down", "double"}},
                      ClickCase{"Right", "right click", {QSystemTrayIcon::Context}, {"right"}},
                      ClickCase{"Middle", "middle click is not handled", {QSystemTrayIcon::MiddleClick}, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FakeTrayIcon, DoubleClickDeliversWhatTheRealOneDoes)
{
    FakeTrayIcon fake;
    Delivered got(fake);
    fake.DoubleClick();
    EXPECT_EQ(got.events, (QStringList{"down", "double"}));
}

} // namespace
