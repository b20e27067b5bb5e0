// The program as a whole: the platform objects it runs on and the entry sequence over them.
#include "app/programparts.h"

#include "lang/messages.h"
#include "platform/message_boxes.h"
#include "platform/single_instance.h"

#include <QApplication>
#include <QFile>
#include <QFont>

#include <memory>

namespace {

QIcon IconFromResources(const QString &stem)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral(":/icons/%1-%2.png").arg(stem).arg(size);
        if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
    }
    return icon;
}

} // namespace

QIcon ProgramIcon()
{
    return IconFromResources(QStringLiteral("kestrava"));
}

QIcon LinkDownIcon()
{
    return IconFromResources(QStringLiteral("kestrava-link-down"));
}

int RunProgram(ProgramParts &parts)
{
    // First of all, so that even the second instance speaks the user's language.
    LoadMessages(parts.programFolder);

    if (!parts.instance.TryAcquire()) {
        // the running instance is left alone
        parts.boxes.Show(nullptr, Msg().msgAlreadyRun, kProductName, mb::kIconError);
        return 0;
    }

    QApplication::setApplicationName(kProductName);
    QApplication::setApplicationDisplayName(kProductName);
    // Hidden in the tray is the usual state: no window open is no reason to end.
    QApplication::setQuitOnLastWindowClosed(false);
    // Without it Qt falls back to the Japanese shapes of the CJK face.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Noto Sans CJK SC")});
    QApplication::setFont(font);
    const QIcon programIcon = ProgramIcon();
    QApplication::setWindowIcon(programIcon);

    MainWindowDeps deps{parts.programFolder, parts.boxes, parts.tray, parts.shell, parts.clock};
    deps.programIcon = programIcon;
    deps.linkDownIcon = LinkDownIcon();
    deps.makeMonitor = parts.makeMonitor;
    deps.makeSettings = parts.makeSettings;
    deps.makeCloseFiles = parts.makeCloseFiles;
    deps.makeLogFiles = parts.makeLogFiles;
    deps.importShutdownFiles = parts.importShutdownFiles;

    auto fMain = std::make_unique<TfMain>(std::move(deps));
    if (fMain->StartFailed()) return 1;
    fMain->ConnectShowRequests(parts.instance);
    fMain->SetPendingShow(true);
    return parts.runLoop ? parts.runLoop(*fMain) : QApplication::exec();
}
