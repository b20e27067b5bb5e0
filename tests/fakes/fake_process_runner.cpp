// A ProcessRunner that records what it was asked to run and answers with a chosen exit code.
#include "fakes/fake_process_runner.h"

#include "fakes/call_log.h"

quint32 FakeProcessRunner::RunAndWait(const QString &commandLine, int showState,
                                      std::chrono::milliseconds timeout)
{
    runs_.append({commandLine, showState, timeout});
    if (log_) log_->Add(QStringLiteral("RunAndWait ") + commandLine);
    if (whileRunning) whileRunning(runs_.last());
    return exitCode;
}
