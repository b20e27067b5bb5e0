// A ShellOpen that records the paths it was asked to open.
#include "fakes/fake_shell_open.h"

#include "fakes/call_log.h"

bool FakeShellOpen::Open(const QString &path)
{
    paths_ << path;
    if (log_) log_->Add(QStringLiteral("Open ") + path);
    return result;
}
