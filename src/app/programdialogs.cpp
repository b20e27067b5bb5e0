// The program's dialogs and the first-tick import, attached to its parts.
#include "app/programdialogs.h"

#include "app/programparts.h"
#include "app/tfmain.h"
#include "dialogs/tfclosefiles.h"
#include "dialogs/tflogfiles.h"
#include "dialogs/tfsettings.h"
#include "store/shutdownfiles.h"

#include <memory>

namespace {

TfMain &MainWindow(QWidget *owner)
{
    // the openers pass the main window itself as the owner
    return *static_cast<TfMain *>(owner);
}

} // namespace

void AttachProgramDialogs(ProgramParts &parts)
{
    MessageBoxes &boxes = parts.boxes;
    Clock &clock = parts.clock;
    parts.makeSettings = [&boxes, &clock](QWidget *owner) -> QDialog * {
        TfMain &window = MainWindow(owner);
        Alerts *alerts = window.Parts() ? window.Parts()->AlertsPart() : nullptr;
        if (!alerts) return nullptr;
        return new TfSettings(owner, window.db, window, *alerts, boxes, clock);
    };
    parts.makeCloseFiles = [](QWidget *owner) -> QDialog * {
        return new TfCloseFiles(owner, MainWindow(owner).db.tCloseFiles);
    };
    parts.makeLogFiles = [&boxes, &clock](QWidget *owner) -> QDialog * {
        return new TfLogFiles(owner, MainWindow(owner).db.vLogFiles, boxes, clock);
    };
    // One import object for the run: it remembers a record it could not mark
    // as read, so that record is not shown again on every tick.
    auto import = std::make_shared<std::unique_ptr<ShutdownFilesImport>>();
    const QString folder = parts.programFolder;
    parts.importShutdownFiles = [import, folder](TfMain &window) {
        if (!*import)
            *import = std::make_unique<ShutdownFilesImport>(ShutdownRecordPath(folder), window.db.tCloseFiles,
                                                            [&window] { window.CloseFiles(); });
        (*import)->ImportShutdownFiles();
    };
}
