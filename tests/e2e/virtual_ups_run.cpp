// One run of the virtual UPS with the program, as a test drives it: its timeline, its folder, its files.
#include "virtual_ups_run.h"

#include "store/database.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

VirtualUpsRun::VirtualUpsRun(QStringList args, QString scenario)
    : args_(std::move(args)), scenario_(std::move(scenario))
{
}

VirtualUpsRun::~VirtualUpsRun()
{
    if (tool_.state() != QProcess::NotRunning) {
        // the tool ends the program on SIGTERM
        tool_.terminate();
        if (!tool_.waitForFinished(8000)) tool_.kill();
        tool_.waitForFinished(2000);
    }
}

bool VirtualUpsRun::Start()
{
    if (!dir_.isValid()) return false;
    QStringList args = args_;
    args << QStringLiteral("--folder") << Folder();
    if (!scenario_.isEmpty()) {
        const QString path = dir_.filePath(QStringLiteral("test.scenario"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(scenario_.toUtf8()) < 0) return false;
        f.close();
        args << QStringLiteral("--scenario") << path;
    }
    tool_.setProcessEnvironment(env_);
    tool_.setProcessChannelMode(QProcess::MergedChannels);
    tool_.start(QStringLiteral(VUPS_TOOL), args);
    return tool_.waitForStarted(10000);
}

void VirtualUpsRun::Pump(int ms)
{
    if (tool_.state() != QProcess::NotRunning) tool_.waitForReadyRead(ms);
    buffer_ += tool_.readAll();
    qsizetype end;
    while ((end = buffer_.indexOf('\n')) >= 0) {
        lines_ << QString::fromUtf8(buffer_.left(end));
        buffer_.remove(0, end + 1);
    }
}

QStringList VirtualUpsRun::Lines()
{
    Pump(0);
    return lines_;
}

bool VirtualUpsRun::WaitForLine(const QString &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (const QString &line : lines_)
            if (line.contains(text)) return true;
        if (deadline.hasExpired() || tool_.state() == QProcess::NotRunning) {
            Pump(0);
            for (const QString &line : lines_)
                if (line.contains(text)) return true;
            return false;
        }
        Pump(50);
    }
}

void VirtualUpsRun::Send(const QString &command)
{
    tool_.write(command.toUtf8() + '\n');
    tool_.waitForBytesWritten(2000);
}

int VirtualUpsRun::Finish(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (tool_.state() != QProcess::NotRunning && !deadline.hasExpired())
        Pump(100);
    if (tool_.state() != QProcess::NotRunning) {
        tool_.terminate();
        if (!tool_.waitForFinished(8000)) tool_.kill();
        tool_.waitForFinished(2000);
        Pump(0);
        return -1;
    }
    Pump(0);
    if (!buffer_.isEmpty()) lines_ << QString::fromUtf8(buffer_);
    buffer_.clear();
    return tool_.exitStatus() == QProcess::NormalExit ? tool_.exitCode() : -1;
}

QString VirtualUpsRun::ReadFile(const QString &name) const
{
    QFile f(Folder() + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

std::optional<double> VirtualUpsRun::TimeOf(const QString &text)
{
    static const QRegularExpression stamp(QStringLiteral("^\\[\\s*(\\d+\\.\\d+)\\]"));
    for (const QString &line : Lines()) {
        if (!line.contains(text)) continue;
        const QRegularExpressionMatch m = stamp.match(line);
        if (m.hasMatch()) return m.captured(1).toDouble();
    }
    return std::nullopt;
}

int VirtualUpsRun::Count(const QString &text)
{
    int n = 0;
    for (const QString &line : Lines())
        n += line.contains(text) ? 1 : 0;
    return n;
}

qint64 VirtualUpsRun::ProgramPid()
{
    static const QRegularExpression pid(QStringLiteral("program: started .* \\(pid (\\d+),"));
    for (const QString &line : Lines()) {
        const QRegularExpressionMatch m = pid.match(line);
        if (m.hasMatch()) return m.captured(1).toLongLong();
    }
    return 0;
}

std::string VirtualUpsRun::Transcript()
{
    return Lines().join(QLatin1Char('\n')).toStdString();
}

QStringList EventLog(const QString &databasePath, const QString &password)
{
    QStringList rows;
    try {
        Database db;
        db.open(databasePath, password);
        Statement select = db.prepare(QStringLiteral("SELECT EVENT FROM LOGFILES ORDER BY ID"));
        while (select.step())
            rows << select.value(0).toString();
    } catch (const StoreError &) {
        return {};
    }
    return rows;
}
