// Import of the auto-save program's record (SHUTSAVE.INI) into CloseFiles.
#include "store/shutdownfiles.h"

#include "lang/inifile.h"
#include "store/recordset.h"

#include <QDir>
#include <QFile>

namespace {

const QString kMain = QStringLiteral("Main");

} // namespace

QString ShutdownRecordPath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("SHUTSAVE.INI"));
}

ShutdownFilesImport::ShutdownFilesImport(QString recordPath, RecordSet &tCloseFiles, ViewerOpener openViewer)
    : path_(std::move(recordPath)), closeFiles_(tCloseFiles), openViewer_(std::move(openViewer))
{
}

QByteArray ShutdownFilesImport::readRecordBytes() const
{
    QFile file(path_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ShutdownFilesImport::ImportShutdownFiles()
{
    if (shownUnmarked_) {
        if (readRecordBytes() == *shownUnmarked_) return;
        shownUnmarked_.reset(); // the auto-save program has written a new record
    }
    IniFile ini(path_);
    if (ini.readInteger(kMain, QStringLiteral("ShowMsg"), 0) == 0) return;
    const int apps = ini.readInteger(kMain, QStringLiteral("AppNumber"), 0);

    closeFiles_.requery();
    closeFiles_.first();
    while (!closeFiles_.isEmpty())
        closeFiles_.deleteCurrent();

    for (int i = 0; i < apps; ++i) {
        const QString section = ini.readString(kMain, QStringLiteral("App%1").arg(i), QString());
        if (section.isEmpty()) continue;
        const int files = ini.readInteger(section, QStringLiteral("FileNumber"), 0);
        const QString title = ini.readString(section, QStringLiteral("Title"), section);
        // An application without documents still gets one row, with its title.
        int j = 0;
        do {
            closeFiles_.append();
            closeFiles_.setValue(QStringLiteral("pathfilename"), title);
            closeFiles_.setValue(
                QStringLiteral("filename"),
                files > 0 ? ini.readString(section, QStringLiteral("File%1").arg(j), QString()) : QString());
            closeFiles_.post();
        } while (++j < files);
    }

    // Marked as read before the viewer opens: the clock re-enters this while
    // the viewer is open and must then find nothing new.
    try {
        ini.writeString(kMain, QStringLiteral("ShowMsg"), QStringLiteral("0"));
    } catch (const IniWriteError &) {
        shownUnmarked_ = readRecordBytes();
    }
    if (openViewer_) openViewer_();
}
