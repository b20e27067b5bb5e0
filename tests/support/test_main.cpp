// Test entry: a fixed locale and time zone, and a QApplication (offscreen) around gtest.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char **argv)
{
    // Tests read local times and GB2312 texts: run them in a known zone and
    // locale unless the caller chose one.
    setenv("TZ", "Asia/Shanghai", 0);
    setenv("LANG", "C.UTF-8", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    tzset();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
