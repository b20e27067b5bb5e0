// Opening a file through the desktop's file associations (xdg-open).
#pragma once

#include "platform/shell_open.h"

class DesktopShellOpen final : public ShellOpen
{
public:
    bool Open(const QString &path) override;
};
