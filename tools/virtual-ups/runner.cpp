// Runs the program against the virtual UPS and drives the UPS from the terminal or a scenario.
#include "runner.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcessEnvironment>

#include <cstdio>
#include <signal.h>
#include <unistd.h>

namespace vups {

namespace {

constexpr int kWaitPollMs = 50;
constexpr int kStopGraceMs = 3000;

QString WaitName(WaitFor what)
{
    switch (what) {
    case WaitFor::Link:
        return QStringLiteral("link");
    case WaitFor::PowerOff:
        return QStringLiteral("power-off");
    default:
        return QStringLiteral("exit");
    }
}

} // namespace

Runner::Runner(RunOptions options) : options_(std::move(options))
{
    clock_.start();
    stepTimer_.setSingleShot(true);
    connect(&stepTimer_, &QTimer::timeout, this, [this] {
        const Step &step = (*options_.scenario)[nextStep_++];
        Execute(step.command, QStringLiteral("line %1").arg(step.line));
        if (!waiting_ && !finishing_) NextStep();
    });
    connect(&waitTimer_, &QTimer::timeout, this, &Runner::PollWait);
    connect(&fileWatch_, &QTimer::timeout, this, &Runner::WatchFiles);
    connect(&program_, &QProcess::readyReadStandardOutput, this,
            [this] { ProgramOutput(QProcess::StandardOutput); });
    connect(&program_, &QProcess::readyReadStandardError, this,
            [this] { ProgramOutput(QProcess::StandardError); });
    connect(&program_, &QProcess::finished, this, &Runner::ProgramEnded);
}

Runner::~Runner()
{
    StopProgram();
}

void Runner::Say(const QString &text) const
{
    std::printf("[%8.3f] %s\n", clock_.elapsed() / 1000.0, text.toLocal8Bit().constData());
    std::fflush(stdout);
}

void Runner::Start()
{
    copy_ = std::make_unique<ProgramCopy>(options_.copy);
    Say(QStringLiteral("program folder copy: %1").arg(copy_->folder()));
    // The UPS is made first: its port decides the program's sCOM.
    if (copy_->DatabaseReadable()) {
        copy_->SetSettings(options_.settings);
        for (const auto &[type, address] : options_.recipients)
            copy_->AddRecipient(type, address);
        ups_ = std::make_unique<VirtualUps>(options_.link, copy_->Setting(QStringLiteral("shidDevName")),
                                            [this](const QString &text) { Say(text); });
        copy_->SetSettings({{QStringLiteral("sCOM"), ups_->ProgramPort()}});
    } else {
        // a database the program cannot read either: nothing to set, and
        // only the USB link keeps the program away from any serial port
        if (options_.link != Link::Usb)
            throw SetupError(QStringLiteral("an unreadable database needs --usb"));
        Say(QStringLiteral(
            "the database does not open with the program's password: its settings are left alone"));
        ups_ = std::make_unique<VirtualUps>(options_.link, QStringLiteral("UPS"),
                                            [this](const QString &text) { Say(text); });
    }
    Say(QStringLiteral("testbed: UMOCKDEV_DIR=%1").arg(qEnvironmentVariable("UMOCKDEV_DIR")));

    if (options_.runProgram) StartProgram();
    fileWatch_.start(kWaitPollMs);

    if (options_.scenario) {
        Say(QStringLiteral("scenario: %1 steps").arg(options_.scenario->size()));
        NextStep();
    }
    // the terminal drives the UPS too, also beside a scenario
    terminal_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(terminal_.get(), &QSocketNotifier::activated, this, &Runner::ReadTerminal);
    if (isatty(STDIN_FILENO)) {
        Say(QStringLiteral("type a command (and Enter):"));
        for (const QString &line : CommandHelp())
            Say(QStringLiteral("  ") + line);
    }
}

void Runner::StartProgram()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // belt and braces: should a power-off ever be attempted, it finds no
    // system bus and only stand-ins for the power commands
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), copy_->noSystemBus());
    env.insert(QStringLiteral("PATH"),
               copy_->guardBin() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("KESTRAVA_POWEROFF_LOG"),
               copy_->folder() + QStringLiteral("poweroff-requests.log"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("verify_asan_link_order=0"));
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")) && !env.contains(QStringLiteral("DISPLAY")) &&
        !env.contains(QStringLiteral("WAYLAND_DISPLAY"))) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        Say(QStringLiteral("no display: the program runs offscreen (windows are not shown)"));
    }
    program_.setProcessEnvironment(env);
    program_.setWorkingDirectory(copy_->folder());
    program_.start(QStringLiteral("umockdev-wrapper"), {copy_->executable()});
    if (!program_.waitForStarted(10000))
        throw SetupError(QStringLiteral("cannot start the program: %1").arg(program_.errorString()));
    Say(QStringLiteral("program: started %1 (pid %2, recording power-off into %3poweroff-requests.log)")
            .arg(copy_->executable())
            .arg(program_.processId())
            .arg(copy_->folder()));
}

void Runner::NextStep()
{
    if (finishing_ || !options_.scenario) return;
    if (nextStep_ >= options_.scenario->size()) {
        Say(QStringLiteral("scenario: done"));
        return;
    }
    stepTimer_.start(static_cast<int>((*options_.scenario)[nextStep_].delay.count()));
}

void Runner::Execute(const Command &command, const QString &origin)
{
    switch (command.kind) {
    case Command::Kind::Status:
        Say(ups_->StatusText() +
            (options_.runProgram
                 ? (programEnded_ ? QStringLiteral("; program ended")
                                  : QStringLiteral("; program running (pid %1)").arg(program_.processId()))
                 : QString()));
        return;
    case Command::Kind::Quit:
        Say(QStringLiteral("> quit (%1)").arg(origin));
        Finish(0);
        return;
    case Command::Kind::Wait: {
        if (origin == QLatin1String("terminal")) {
            Say(QStringLiteral("wait is for scenarios"));
            return;
        }
        Say(QStringLiteral("> wait %1 (%2)").arg(WaitName(command.waitFor), origin));
        waiting_ = (*options_.scenario)[nextStep_ - 1];
        waitClock_.start();
        waitTimer_.start(kWaitPollMs);
        PollWait();
        return;
    }
    default:
        break;
    }
    static const QStringList kNames = {QStringLiteral("mains off"),   QStringLiteral("mains on"),
                                       QStringLiteral("battery low"), QStringLiteral("battery ok"),
                                       QStringLiteral("unplug"),      QStringLiteral("plug")};
    const int k = static_cast<int>(command.kind);
    const QString name = k < kNames.size() ? kNames[k] : QStringLiteral("code %1").arg(command.code);
    Say(QStringLiteral("> %1 (%2)").arg(name, origin));
    ups_->Apply(command);
}

void Runner::PollWait()
{
    if (!waiting_) return;
    const WaitFor what = waiting_->command.waitFor;
    const bool seen = what == WaitFor::Exit ? programEnded_ : ups_->Seen(what);
    if (seen) {
        waitTimer_.stop();
        Say(QStringLiteral("scenario: %1 seen after %2 s")
                .arg(WaitName(what))
                .arg(waitClock_.elapsed() / 1000.0, 0, 'f', 3));
        waiting_.reset();
        NextStep();
        return;
    }
    if (waitClock_.elapsed() > waiting_->command.timeout.count()) {
        waitTimer_.stop();
        Say(QStringLiteral("scenario: line %1: no %2 within %3 ms: giving up")
                .arg(waiting_->line)
                .arg(WaitName(what))
                .arg(waiting_->command.timeout.count()));
        waiting_.reset();
        Finish(3);
    }
}

void Runner::ReadTerminal()
{
    char buf[512];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
        terminal_->setEnabled(false);
        // without a scenario nobody is left to drive the UPS
        if (!options_.scenario) Finish(0);
        return;
    }
    terminalBuffer_.append(buf, static_cast<int>(n));
    qsizetype end;
    while ((end = terminalBuffer_.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(terminalBuffer_.left(end)).trimmed();
        terminalBuffer_.remove(0, end + 1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        QString why;
        if (const std::optional<Command> command = ParseCommand(line, &why)) {
            Execute(*command, QStringLiteral("terminal"));
        } else {
            Say(QStringLiteral("? %1").arg(why));
        }
        if (finishing_) return;
    }
}

void Runner::ProgramOutput(QProcess::ProcessChannel channel)
{
    program_.setReadChannel(channel);
    while (program_.canReadLine())
        Say(QStringLiteral("program: ") + QString::fromLocal8Bit(program_.readLine()).trimmed());
}

void Runner::ProgramEnded(int code, QProcess::ExitStatus status)
{
    ProgramOutput(QProcess::StandardOutput);
    ProgramOutput(QProcess::StandardError);
    programEnded_ = true;
    Say(status == QProcess::NormalExit ? QStringLiteral("program: ended with exit code %1").arg(code)
                                       : QStringLiteral("program: killed"));
    if (finishing_) return;
    if (waiting_ && waiting_->command.waitFor == WaitFor::Exit) {
        PollWait();
        return;
    }
    // nothing left to watch the UPS
    Finish(0);
}

// What the program's shutdown leaves in its folder joins the timeline.
void Runner::WatchFiles()
{
    const auto newLines = [this](const QString &name, qint64 &seen) {
        QFile f(copy_->folder() + name);
        QStringList lines;
        if (!f.open(QIODevice::ReadOnly) || f.size() <= seen) return lines;
        f.seek(seen);
        const QByteArray bytes = f.readAll();
        const qsizetype end = bytes.lastIndexOf('\n') + 1; // whole lines only
        seen += end;
        for (const QByteArray &line : bytes.left(end).split('\n'))
            if (!line.isEmpty()) lines << QString::fromUtf8(line);
        return lines;
    };
    for (const QString &line : newLines(QStringLiteral("shutsave-runs.log"), shutsaveSeen_))
        Say(QStringLiteral("program: SHUTSAVE.EXE %1").arg(line));
    for (const QString &line : newLines(QStringLiteral("poweroff-requests.log"), requestsSeen_))
        Say(QStringLiteral("program: asked to power the machine off (recorded only: %1)").arg(line));
}

void Runner::StopProgram()
{
    if (program_.state() == QProcess::NotRunning) return;
    program_.terminate();
    if (!program_.waitForFinished(kStopGraceMs)) {
        program_.kill();
        program_.waitForFinished(kStopGraceMs);
    }
}

void Runner::Finish(int code)
{
    if (finishing_) return;
    finishing_ = true;
    exitCode_ = code;
    stepTimer_.stop();
    waitTimer_.stop();
    StopProgram();
    WatchFiles();
    if (ups_) Say(ups_->StatusText());
    QCoreApplication::exit(code);
}

} // namespace vups
