// Starting a program and waiting, with a bound, for it to end.
#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>

// Window show states a caller may pass; a program without windows of its own
// ignores them, they only say how the caller wants it started.
namespace show_state {
constexpr int kHide = 0;
constexpr int kShowNormal = 1;
constexpr int kShow = 5;
} // namespace show_state

class ProcessRunner
{
public:
    virtual ~ProcessRunner() = default;
    // Runs the program at `commandLine` (the whole text is the path of the
    // executable: no arguments, no shell) and returns its exit code, or 0 at
    // once when it cannot be started. Gives up waiting after `timeout`.
    virtual quint32 RunAndWait(const QString &commandLine, int showState,
                               std::chrono::milliseconds timeout) = 0;
};
