// A ShellOpen that records the paths it was asked to open.
#pragma once

#include "platform/shell_open.h"

#include <QStringList>

struct CallLog;

class FakeShellOpen final : public ShellOpen
{
public:
    // Each call is also logged as "Open <path>" in `log`, when given.
    explicit FakeShellOpen(CallLog *log = nullptr) : log_(log) {}

    bool Open(const QString &path) override;

    const QStringList &Paths() const { return paths_; }
    bool result = true;

private:
    CallLog *log_;
    QStringList paths_;
};
