// Runs the program against the virtual UPS and drives the UPS from the terminal or a scenario.
#pragma once

#include "program_copy.h"
#include "scenario.h"
#include "virtual_ups.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace vups {

struct RunOptions
{
    Link link = Link::Usb;
    CopyOptions copy;
    std::vector<QPair<QString, QString>> settings;
    std::vector<QPair<int, QString>> recipients; // event type, address
    std::optional<std::vector<Step>> scenario;
    bool runProgram = true; // false: only the UPS (for probing the emulation)
};

class Runner : public QObject
{
    Q_OBJECT
public:
    explicit Runner(RunOptions options);
    ~Runner() override;

    // Builds the copy and the UPS and starts the program; throws SetupError.
    void Start();
    // The exit code of the tool once it has finished.
    int exitCode() const { return exitCode_; }

    // One timestamped line on standard output.
    void Say(const QString &text) const;

private:
    void StartProgram();
    void ReadTerminal();
    void Execute(const Command &command, const QString &origin);
    void NextStep();
    void PollWait();
    void ProgramOutput(QProcess::ProcessChannel channel);
    void ProgramEnded(int code, QProcess::ExitStatus status);
    void Finish(int code);
    void StopProgram();
    void WatchFiles();

    RunOptions options_;
    QElapsedTimer clock_;
    std::unique_ptr<ProgramCopy> copy_;
    std::unique_ptr<VirtualUps> ups_;
    QProcess program_;
    bool programEnded_ = false;
    std::unique_ptr<QSocketNotifier> terminal_;
    QByteArray terminalBuffer_;

    std::size_t nextStep_ = 0;
    QTimer stepTimer_;
    QTimer waitTimer_;
    QTimer fileWatch_;
    qint64 shutsaveSeen_ = 0; // bytes of the notes already reported
    qint64 requestsSeen_ = 0;
    std::optional<Step> waiting_;
    QElapsedTimer waitClock_;
    bool finishing_ = false;
    int exitCode_ = 0;
};

} // namespace vups
