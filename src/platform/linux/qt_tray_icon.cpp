// The tray icon as a QSystemTrayIcon, with its activations turned into the mouse actions the main window
// expects.
#include "platform/linux/qt_tray_icon.h"

#include <QCursor>

QtTrayIcon::QtTrayIcon(QObject *parent) : TrayIcon(parent), icon_(this)
{
    connect(&icon_, &QSystemTrayIcon::activated, this, &QtTrayIcon::OnActivated);
}

void QtTrayIcon::Add(const QIcon &icon, const QString &tip)
{
    if (icon_.isVisible()) return;
    icon_.setIcon(icon);
    icon_.setToolTip(tip);
    icon_.show();
}

void QtTrayIcon::Remove()
{
    icon_.hide();
}

bool QtTrayIcon::IsShown() const
{
    return icon_.isVisible();
}

void QtTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        emit leftButtonDown();
        break;
    case QSystemTrayIcon::DoubleClick:
        emit leftDoubleClick();
        break;
    case QSystemTrayIcon::Context:
        emit rightButtonDown(QCursor::pos());
        break;
    default:
        break;
    }
}
