// Running a program with posix_spawn and a bounded wait for its end.
#pragma once

#include "platform/process_runner.h"

// The child gets a process group of its own, stdin from /dev/null and none of
// our other descriptors. When the wait runs out the whole group is ended
// (SIGTERM, then SIGKILL after a short grace) and reaped, so neither the
// program nor anything it started outlives the wait, and no zombie is left.
class SpawnProcessRunner final : public ProcessRunner
{
public:
    // The result is the exit code; a program ended by a signal gives 128 plus
    // the signal number, as a shell reports it (so a timed-out one gives 143,
    // or 137 when it ignored SIGTERM).
    quint32 RunAndWait(const QString &commandLine, int showState, std::chrono::milliseconds timeout) override;
};
