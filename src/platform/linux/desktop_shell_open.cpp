// Opening a file through the desktop's file associations (xdg-open).
#include "platform/linux/desktop_shell_open.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

bool DesktopShellOpen::Open(const QString &path)
{
    // fromLocalFile, not QUrl(path): a '#' or '?' in a file name is part of
    // the name, not a fragment or a query. A relative URL means nothing to
    // the program that receives it, so the path is made absolute first.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}
