// What the power status model and the links show on the main window.
#pragma once

#include <QString>

// Image controls whose picture and hint follow a state.
enum class StateImage { Mains, Battery, Link };

// Display lines written by the program (the rest of the nine are fixed).
namespace DisplayLine {
constexpr int Port = 3;
constexpr int Link = 4;
constexpr int Event = 5;
constexpr int Features = 8;
} // namespace DisplayLine

class StatusView
{
public:
    virtual ~StatusView() = default;
    // Replaces the whole text of one line of the text display.
    virtual void SetDisplayLine(int line, const QString &text) = 0;
    // Shows image `index` of the main window's image list on a state image.
    virtual void SetStateImage(StateImage which, int index) = 0;
    virtual void SetStateHint(StateImage which, const QString &hint) = 0;
    // Removes the tray icon and adds it again; the icon follows LinkState.
    virtual void RefreshTrayIcon() = 0;
};
