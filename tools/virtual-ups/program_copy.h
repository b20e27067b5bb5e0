// A throw-away copy of the program folder that the virtual UPS runs the recording build from.
#pragma once

#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>
#include <vector>

namespace vups {

class SetupError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    explicit SetupError(const QString &why) : std::runtime_error(why.toStdString()) {}
};

// The text the recording build carries; an executable without it is never run.
inline constexpr char kRecordingMarker[] = "KESTRAVA-RECORDING-POWER-OFF-BUILD";

// True when the file at `path` contains the recording build's marker.
bool IsRecordingBuild(const QString &path);

struct CopyOptions
{
    QString sourceFolder; // holds Kestrava-recording, Kestrava.mdb, languages/
    QString folder;       // where the copy goes; empty: a temporary folder, removed at the end
    QString language;     // written into Kestrava.INI when not empty
    QString database;     // a database file to use instead of the folder's one
};

// The copy holds Kestrava (the recording build under the shipped name, so it
// finds Kestrava.INI and Kestrava.mdb as the real one does), the database,
// languages/, a SHUTSAVE.EXE that only notes that it started and, a second
// later, ended (shutsave-runs.log), and
// guard/: stand-ins for systemctl, poweroff, shutdown, reboot and halt that
// refuse and note the attempt (blocked-power-commands.log).
class ProgramCopy
{
public:
    explicit ProgramCopy(const CopyOptions &options);
    ~ProgramCopy();

    QString folder() const { return folder_; } // ends in '/'
    QString executable() const { return folder_ + QStringLiteral("Kestrava"); }
    QString guardBin() const { return folder_ + QStringLiteral("guard/bin"); }
    QString noSystemBus() const
    {
        return QStringLiteral("unix:path=") + folder_ + QStringLiteral("guard/no-bus");
    }

    // Writes settings of the copy's database; the value's type follows the
    // column's prefix (b: 0/1, also on/off/true/false; i: a number; s: text).
    void SetSettings(const std::vector<QPair<QString, QString>> &settings);
    QString Setting(const QString &column) const;
    // A mail recipient for one event type (0 all, 1 mains failure, 2 mains
    // restored, 3 battery low, 4 battery restored).
    void AddRecipient(int eventType, const QString &address);
    // False when the program's password does not open the database.
    bool DatabaseReadable() const;

private:
    std::unique_ptr<QTemporaryDir> temp_;
    QString folder_;
};

} // namespace vups
