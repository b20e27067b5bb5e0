// Import of the auto-save program's record (SHUTSAVE.INI) into CloseFiles.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class RecordSet;

// The record the auto-save program leaves in the program folder, where both
// programs look for it.
QString ShutdownRecordPath(const QString &programFolder);

class ShutdownFilesImport
{
public:
    // Opens the viewer modally: returns when the user has closed it.
    using ViewerOpener = std::function<void()>;

    ShutdownFilesImport(QString recordPath, RecordSet &tCloseFiles, ViewerOpener openViewer);

    // Called on the clock's ticks until it returns, also while the viewer it
    // opened is still open. A new record (ShowMsg not 0) replaces the rows of
    // CloseFiles, is marked as read in the file and then shown; anything else
    // does nothing. When the mark cannot be written the record is still shown
    // once, and not again while the file stays as it is. Store failures reach
    // the caller.
    void ImportShutdownFiles();

private:
    QByteArray readRecordBytes() const;

    QString path_;
    RecordSet &closeFiles_;
    ViewerOpener openViewer_;
    // A record shown although its ShowMsg could not be reset.
    std::optional<QByteArray> shownUnmarked_;
};
