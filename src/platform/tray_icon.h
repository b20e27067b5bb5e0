// The notification-area icon and the mouse actions on it that the main window handles.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

class TrayIcon : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~TrayIcon() override = default;

    // Puts the icon into the tray; does nothing while it is already shown,
    // so a changed icon needs a Remove() first.
    virtual void Add(const QIcon &icon, const QString &tip) = 0;
    virtual void Remove() = 0;
    virtual bool IsShown() const = 0;

signals:
    void leftButtonDown();
    // Comes after the leftButtonDown of the same double click.
    void leftDoubleClick();
    void rightButtonDown(QPoint globalPos);
};
