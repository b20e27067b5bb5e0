// The tray icon as a QSystemTrayIcon, with its activations turned into the mouse actions the main window
// expects.
#pragma once

#include "platform/tray_icon.h"

#include <QSystemTrayIcon>

class QtTrayIcon final : public TrayIcon
{
    Q_OBJECT
public:
    explicit QtTrayIcon(QObject *parent = nullptr);

    void Add(const QIcon &icon, const QString &tip) override;
    void Remove() override;
    bool IsShown() const override;

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    // No context menu is set: the main window opens its own at the pointer.
    QSystemTrayIcon icon_;
};
