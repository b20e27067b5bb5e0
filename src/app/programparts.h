// The program as a whole: the platform objects it runs on and the entry sequence over them.
#pragma once

#include "app/tfmain.h"

#include <QIcon>
#include <QString>

#include <functional>

class Clock;
class MessageBoxes;
class ShellOpen;
class SingleInstance;
class TrayIcon;

// Everything the program takes from outside, by reference: the entry point
// passes the real objects, tests pass fakes.
struct ProgramParts
{
    // The program's folder, ending in '/'.
    QString programFolder;
    SingleInstance &instance;
    MessageBoxes &boxes;
    TrayIcon &tray;
    ShellOpen &shell;
    Clock &clock;
    // Empty: a program without links (the states stay Unknown).
    MonitorFactory makeMonitor{};
    // The dialogs of the picture buttons; empty ones do nothing.
    DialogFactory makeSettings{};
    DialogFactory makeCloseFiles{};
    DialogFactory makeLogFiles{};
    std::function<void(TfMain &)> importShutdownFiles{};
    // Runs once the main window is created and waiting for its first show;
    // empty: the application's event loop.
    std::function<int(TfMain &)> runLoop{};
};

// The program icon (shown while the UPS is connected) and the link-down icon.
QIcon ProgramIcon();
QIcon LinkDownIcon();

// The entry sequence: language file, single-instance lock, application,
// main window, event loop. Returns the exit code: 0 after a normal end and
// when another instance runs already, 1 when the database could not be read.
int RunProgram(ProgramParts &parts);
