// Opening a file with the program the desktop associates with it.
#pragma once

#include <QString>

class ShellOpen
{
public:
    virtual ~ShellOpen() = default;
    // Hands `path` (a local file) to the desktop and returns without waiting
    // for whatever program opens it; false when the desktop refused at once.
    virtual bool Open(const QString &path) = 0;
};
