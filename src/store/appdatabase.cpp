// The application database as the main window holds it: the connection, its record sets and the event log.
#include "store/appdatabase.h"

#include "lang/messages.h"

AppDatabase::AppDatabase()
{
    vLogFiles.setSql(QStringLiteral("select * from logfiles"));
}

AppDatabase::~AppDatabase()
{
    Close();
}

void AppDatabase::Open(const QString &programFolder, const QString &startText)
{
    Close();
    try {
        conn.open(DatabasePath(programFolder), QString::fromLatin1(kDatabasePassword));
        tImgLst.openTable(QStringLiteral("imglst"), QStringLiteral("IMGID"));
        tSet.openTable(QStringLiteral("Settings"));
        tCloseFiles.openTable(QStringLiteral("CloseFiles"));
        tEmails.setTable(QStringLiteral("Emails"));
        tEmails.setFilter(QString());
        tEmails.open();
        LogEvent(startText);
    } catch (const StoreError &) {
        Close();
        throw;
    }
}

void AppDatabase::Open(const QString &programFolder)
{
    Open(programFolder, Msg().msgMonStart);
}

void AppDatabase::Close()
{
    tSet.close();
    tEmails.close();
    tCloseFiles.close();
    tImgLst.close();
    vLogFiles.close();
    conn.close();
}

void AppDatabase::LogEvent(const QString &text)
{
    if (!conn.isOpen()) return;
    // Bound, not pasted into the statement: any text is stored as it is.
    Statement insert = conn.prepare(QStringLiteral("INSERT INTO LOGFILES(EVENT) VALUES(?1)"));
    insert.bind(1, text);
    insert.step();
}

bool AppDatabase::GetBool(const char *column) const
{
    return tSet.asBool(QLatin1String(column));
}

int AppDatabase::GetInt(const char *column) const
{
    return tSet.asInt(QLatin1String(column));
}

QString AppDatabase::GetText(const char *column) const
{
    return tSet.asString(QLatin1String(column));
}
