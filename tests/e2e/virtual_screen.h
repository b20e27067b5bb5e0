// A private X screen (Xvfb) and the xdotool calls that find and answer a message box on it.
#pragma once

#include <QProcess>
#include <QString>

class VirtualScreen
{
public:
    ~VirtualScreen();
    // Starts Xvfb on the first free display from :120; false when none starts.
    bool Start();
    QString Display() const { return display_; }

    // The visible top-level windows whose title is exactly `title`, waiting
    // up to `timeoutMs` for the first one.
    QStringList WaitForWindows(const QString &title, int timeoutMs);
    // Focuses the window and presses Return, as a user answering a box.
    bool PressReturn(const QString &window);

private:
    QString Run(const QStringList &args, int timeoutMs, bool *ok = nullptr);

    QProcess server_;
    QString display_;
};

// True when Xvfb and xdotool are on this machine.
bool VirtualScreenAvailable();
