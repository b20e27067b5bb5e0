// Look shared by the program's dialogs: the Chinese font, fixed size, centring on the desktop.
#include "dialogs/dialogstyle.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QFont DialogFont()
{
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(12);
    return font;
}

void SetUpFixedDialog(QWidget *dialog, int width, int height)
{
    dialog->setFont(DialogFont());
    dialog->setFixedSize(width, height);
}

void CentreOnDesktop(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
