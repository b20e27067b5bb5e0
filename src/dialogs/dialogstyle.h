// Look shared by the program's dialogs: the Chinese font, fixed size, centring on the desktop.
#pragma once

#include <QFont>

class QWidget;

// "Noto Sans CJK SC" at a fixed pixel size: the layouts are in pixels, and
// without the family named Qt picks Japanese glyph shapes.
QFont DialogFont();

// Gives the dialog its font and a size the user cannot change.
void SetUpFixedDialog(QWidget *dialog, int width, int height);

// Puts a top-level window in the middle of the screen it is on.
void CentreOnDesktop(QWidget *window);
