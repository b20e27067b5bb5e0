// TfMain: the tray icon and its menu, showing and hiding, and the window-menu commands.
#include "app/tfmain.h"

#include "lang/messages.h"
#include "monitor/powerstates.h"
#include "platform/single_instance.h"
#include "platform/tray_icon.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QTimer>

void TfMain::CreateTrayMenu()
{
    TaryPopMenu = new QMenu(this);
    TaryPopMenu->setObjectName(QStringLiteral("TaryPopMenu"));
    // The items belong to the window, as its other components do.
    auto item = [this](const char *name, const QString &caption) {
        // "-" makes a separator; its text would be drawn beside the line
        const bool separator = caption == QLatin1String("-");
        auto *action = new QAction(separator ? QString() : caption, this);
        action->setObjectName(QLatin1String(name));
        action->setSeparator(separator);
        TaryPopMenu->addAction(action);
        return action;
    };
    N2 = item("N2", QStringLiteral("系统设置(&S)"));
    N3 = item("N3", QStringLiteral("关机文件(&F)"));
    N4 = item("N4", QStringLiteral("事务日志(&L)"));
    A1 = item("A1", QStringLiteral("关于(&A)..."));
    N5 = item("N5", QStringLiteral("-"));
    pmShowHide = item("pmShowHide", QStringLiteral("关闭主窗口(&C)"));
    N1 = item("N1", QStringLiteral("-"));
    pmExit = item("pmExit", QStringLiteral("退出系统(&X)"));
    H1 = item("H1", QStringLiteral("帮助(&H).."));

    connect(N2, &QAction::triggered, this, [this] { Guarded([this] { Settings(); }); });
    connect(N3, &QAction::triggered, this, [this] { Guarded([this] { CloseFiles(); }); });
    connect(N4, &QAction::triggered, this, [this] { Guarded([this] { LogFiles(); }); });
    connect(A1, &QAction::triggered, this, [this] { Guarded([this] { About(); }); });
    connect(pmShowHide, &QAction::triggered, this, &TfMain::pmShowHideClick);
    connect(pmExit, &QAction::triggered, this, [this] { Guarded([this] { Quit(); }); });
    connect(H1, &QAction::triggered, this, [this] { Guarded([this] { H1Click(); }); });
    connect(TaryPopMenu, &QMenu::aboutToShow, this, &TfMain::TaryPopMenuPopup);

    TrayIcon &tray = deps_.tray;
    connect(&tray, &TrayIcon::leftButtonDown, this, &TfMain::pmShowHideClick);
    connect(&tray, &TrayIcon::leftDoubleClick, this, &TfMain::pmShowHideClick);
    connect(&tray, &TrayIcon::rightButtonDown, this, [this](QPoint at) { TaryPopMenu->popup(at); });
}

void TfMain::AddIconToTray()
{
    const QIcon &icon = LinkState() == UpsState::Normal ? deps_.programIcon : deps_.linkDownIcon;
    deps_.tray.Add(icon, kProductName);
}

void TfMain::RefreshTrayIcon()
{
    deps_.tray.Remove();
    AddIconToTray();
}

void TfMain::pmShowHideClick()
{
    if (isVisible())
        hide();
    else
        show();
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void TfMain::ShowRequestHandler()
{
    if (isVisible()) {
        raise();
        activateWindow();
    } else {
        show();
    }
}

void TfMain::ConnectShowRequests(SingleInstance &instance)
{
    connect(&instance, &SingleInstance::showRequested, this, &TfMain::ShowRequestHandler);
}

void TfMain::TaryPopMenuPopup()
{
    pmShowHide->setText(isVisible() ? Msg().msgMenuShowHide1 : Msg().msgMenuShowHide2);
}

void TfMain::SysCommandHandler(int command)
{
    switch (command) {
    case SC_MINIMIZE:
        // never minimised: the window goes to the tray
        hide();
        break;
    case SC_CLOSE:
        if (db.isOpen() && db.GetBool("bSysNoClose"))
            hide();
        else
            Quit();
        break;
    default:
        break;
    }
}

void TfMain::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMinimized)) return;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    Guarded([this] { SysCommandHandler(SC_MINIMIZE); });
}

void TfMain::closeEvent(QCloseEvent *event)
{
    // Hiding or quitting is decided here; the window itself stays.
    event->ignore();
    Guarded([this] { SysCommandHandler(SC_CLOSE); });
}
