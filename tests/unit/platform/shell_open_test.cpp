// DesktopShellOpen hands the desktop a file URL that names exactly the file given.
#include "platform/linux/desktop_shell_open.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Stands in for the desktop: takes file URLs instead of starting xdg-open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

TEST(DesktopShellOpen, PassesTheExactFileAsAnAbsoluteUrl)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");

    DesktopShellOpen shell;
    EXPECT_TRUE(shell.Open(QStringLiteral("/opt/ups tools/保存#1?.exe")));
    EXPECT_TRUE(shell.Open(QStringLiteral("languages/GB.chm")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    ASSERT_EQ(catcher.urls.size(), 2);
    EXPECT_TRUE(catcher.urls[0].isLocalFile());
    EXPECT_EQ(catcher.urls[0].toLocalFile(), "/opt/ups tools/保存#1?.exe")
        << "'#' and '?' belong to the name";
    EXPECT_EQ(catcher.urls[1].toLocalFile(), QDir::current().absoluteFilePath("languages/GB.chm"));
}

} // namespace

#include "shell_open_test.moc"
