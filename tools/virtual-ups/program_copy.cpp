// A throw-away copy of the program folder that the virtual UPS runs the recording build from.
#include "program_copy.h"

#include "lang/inifile.h"
#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace vups {

namespace {

void CopyFile(const QString &from, const QString &to, bool executable)
{
    QFile::remove(to);
    if (!QFile::copy(from, to)) throw SetupError(QStringLiteral("cannot copy %1 to %2").arg(from, to));
    QFileDevice::Permissions p = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (executable) p |= QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup;
    QFile::setPermissions(to, p);
}

void WriteScript(const QString &path, const QByteArray &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        throw SetupError(QStringLiteral("cannot write %1").arg(path));
    f.close();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString ShellQuote(const QString &s)
{
    QString q = s;
    q.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QVariant TypedValue(const QString &column, const QString &value)
{
    if (column.startsWith(QLatin1Char('b'))) {
        const QString v = value.trimmed().toLower();
        if (v == QLatin1String("1") || v == QLatin1String("on") || v == QLatin1String("true")) return 1;
        if (v == QLatin1String("0") || v == QLatin1String("off") || v == QLatin1String("false")) return 0;
        throw SetupError(QStringLiteral("%1 is a yes/no setting, not \"%2\"").arg(column, value));
    }
    if (column.startsWith(QLatin1Char('i'))) {
        bool ok = false;
        const int n = value.trimmed().toInt(&ok);
        if (!ok) throw SetupError(QStringLiteral("%1 is a number, not \"%2\"").arg(column, value));
        return n;
    }
    return value;
}

} // namespace

bool IsRecordingBuild(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    return f.readAll().contains(QByteArray(kRecordingMarker));
}

ProgramCopy::ProgramCopy(const CopyOptions &options)
{
    if (options.folder.isEmpty()) {
        temp_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kestrava-vups-XXXXXX"));
        if (!temp_->isValid()) throw SetupError(QStringLiteral("cannot make a temporary folder"));
        folder_ = temp_->path();
    } else {
        folder_ = QFileInfo(options.folder).absoluteFilePath();
        if (!QDir().mkpath(folder_)) throw SetupError(QStringLiteral("cannot make %1").arg(folder_));
    }
    if (!folder_.endsWith(QLatin1Char('/'))) folder_ += QLatin1Char('/');

    const QDir source(options.sourceFolder);
    const QString recording = source.filePath(QStringLiteral("Kestrava-recording"));
    if (!IsRecordingBuild(recording))
        throw SetupError(
            QStringLiteral("%1 is missing or is not the recording build: refusing to run it").arg(recording));
    CopyFile(recording, executable(), true);
    // checked again on the copy: it is what runs
    if (!IsRecordingBuild(executable()))
        throw SetupError(QStringLiteral("the copied program is not the recording build"));
    CopyFile(options.database.isEmpty() ? source.filePath(QStringLiteral("Kestrava.mdb")) : options.database,
             folder_ + QStringLiteral("Kestrava.mdb"), false);

    QDir().mkpath(folder_ + QStringLiteral("languages"));
    const QDir languages(source.filePath(QStringLiteral("languages")));
    for (const QString &name : languages.entryList(QDir::Files))
        CopyFile(languages.filePath(name), folder_ + QStringLiteral("languages/") + name, false);
    if (!options.language.isEmpty())
        IniFile(folder_ + QStringLiteral("Kestrava.INI"))
            .writeString(QStringLiteral("SETTINGS"), QStringLiteral("LANG"), options.language);

    // It takes a moment, as saving documents does, so that waiting for it shows.
    const QByteArray runs = ShellQuote(folder_ + QStringLiteral("shutsave-runs.log")).toUtf8();
    WriteScript(folder_ + QStringLiteral("SHUTSAVE.EXE"),
                "#!/bin/sh\n# Stands in for the auto-save program: notes that it ran.\n"
                "echo started >> " +
                    runs + "\nsleep 1\necho ended >> " + runs + "\n");

    QDir().mkpath(guardBin());
    const QByteArray blocked = ShellQuote(folder_ + QStringLiteral("blocked-power-commands.log")).toUtf8();
    for (const char *command : {"systemctl", "poweroff", "shutdown", "reboot", "halt", "loginctl"})
        WriteScript(guardBin() + QLatin1Char('/') + QLatin1String(command),
                    "#!/bin/sh\n# The virtual UPS never lets the program power anything off.\n"
                    "printf '%s\\n' \"$(basename \"$0\") $*\" >> " +
                        blocked + "\necho \"$(basename \"$0\"): refused by the virtual UPS\" >&2\nexit 1\n");
}

ProgramCopy::~ProgramCopy() = default;

void ProgramCopy::SetSettings(const std::vector<QPair<QString, QString>> &settings)
{
    Database db;
    try {
        db.open(DatabasePath(folder_), QString::fromLatin1(kDatabasePassword));
        QSet<QString> columns;
        Statement info = db.prepare(QStringLiteral("PRAGMA table_info(Settings)"));
        while (info.step())
            columns.insert(info.value(1).toString());
        for (const auto &[column, value] : settings) {
            if (!columns.contains(column))
                throw SetupError(QStringLiteral("the settings have no column %1").arg(column));
            Statement update =
                db.prepare(QStringLiteral("UPDATE Settings SET %1 = ?1").arg(QuoteIdentifier(column)));
            update.bind(1, TypedValue(column, value));
            update.step();
        }
    } catch (const StoreError &e) {
        throw SetupError(QStringLiteral("the copied database: %1").arg(QString::fromUtf8(e.what())));
    }
}

void ProgramCopy::AddRecipient(int eventType, const QString &address)
{
    try {
        Database db;
        db.open(DatabasePath(folder_), QString::fromLatin1(kDatabasePassword));
        Statement insert =
            db.prepare(QStringLiteral("INSERT INTO Emails(ENAME, EMAIL, ETYPE) VALUES(?1, ?2, ?3)"));
        insert.bind(1, address.section(QLatin1Char('@'), 0, 0));
        insert.bind(2, address);
        insert.bind(3, eventType);
        insert.step();
    } catch (const StoreError &e) {
        throw SetupError(QStringLiteral("the copied database: %1").arg(QString::fromUtf8(e.what())));
    }
}

bool ProgramCopy::DatabaseReadable() const
{
    try {
        Database db;
        db.open(DatabasePath(folder_), QString::fromLatin1(kDatabasePassword));
        return true;
    } catch (const StoreError &) {
        return false;
    }
}

QString ProgramCopy::Setting(const QString &column) const
{
    Database db;
    db.open(DatabasePath(folder_), QString::fromLatin1(kDatabasePassword));
    Statement select = db.prepare(QStringLiteral("SELECT %1 FROM Settings").arg(QuoteIdentifier(column)));
    return select.step() ? select.value(0).toString() : QString();
}

} // namespace vups
