// One run of the virtual UPS with the program, as a test drives it: its timeline, its folder, its files.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

class VirtualUpsRun
{
public:
    // `args` are the tool's options besides --folder and --scenario.
    VirtualUpsRun(QStringList args, QString scenario);
    ~VirtualUpsRun();

    // Extra environment for the tool and so for the program (e.g. a DISPLAY).
    void SetEnvironment(const QString &name, const QString &value) { env_.insert(name, value); }
    bool Start();
    // Lines the tool printed so far (timestamps stripped by Text()).
    QStringList Lines();
    // Waits until a line containing `text` appears; false after `timeoutMs`.
    bool WaitForLine(const QString &text, int timeoutMs);
    // A command on the tool's terminal.
    void Send(const QString &command);
    // Waits for the tool to end; its exit code, or -1 when it had to be killed.
    int Finish(int timeoutMs);

    // The program folder copy, ending in '/'.
    QString Folder() const { return dir_.path() + QStringLiteral("/program/"); }
    QString ReadFile(const QString &name) const;
    // The seconds stamp of the first line containing `text`.
    std::optional<double> TimeOf(const QString &text);
    int Count(const QString &text);
    // The program's pid as the tool reports it.
    qint64 ProgramPid();
    // All output, for failure messages.
    std::string Transcript();

private:
    void Pump(int ms);

    QStringList args_;
    QString scenario_;
    QTemporaryDir dir_;
    QProcess tool_;
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
    QByteArray buffer_;
    QStringList lines_;
};

// The EVENT texts of LOGFILES in ID order; an empty list when the file does not open.
QStringList EventLog(const QString &databasePath, const QString &password);
