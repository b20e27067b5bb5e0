// A ProcessRunner that records what it was asked to run and answers with a chosen exit code.
#pragma once

#include "platform/process_runner.h"

#include <QList>
#include <functional>

struct CallLog;

class FakeProcessRunner final : public ProcessRunner
{
public:
    struct Run
    {
        QString commandLine;
        int showState;
        std::chrono::milliseconds timeout;
    };

    // Each run is also logged as "RunAndWait <commandLine>" in `log`, when given.
    explicit FakeProcessRunner(CallLog *log = nullptr) : log_(log) {}

    quint32 RunAndWait(const QString &commandLine, int showState, std::chrono::milliseconds timeout) override;

    const QList<Run> &Runs() const { return runs_; }
    quint32 exitCode = 0;
    // Runs inside RunAndWait, while the caller is blocked in it.
    std::function<void(const Run &)> whileRunning;

private:
    CallLog *log_;
    QList<Run> runs_;
};
