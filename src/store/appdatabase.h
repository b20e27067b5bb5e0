// The application database as the main window holds it: the connection, its record sets and the event log.
#pragma once

#include "store/database.h"
#include "store/eventlog.h"
#include "store/recordset.h"
#include "store/settingsrow.h"

// Owned by the main window for the whole run. The record sets are public, as
// every part of the program reads and writes through them.
class AppDatabase : public EventLog, public SettingsRow
{
public:
    AppDatabase();
    ~AppDatabase() override;

    // Declared first: the record sets refer to it and go before it.
    Database conn;
    RecordSet tSet{conn};        // Settings: one row
    RecordSet tEmails{conn};     // Emails: filtered by ETYPE
    RecordSet tCloseFiles{conn}; // CloseFiles
    RecordSet tImgLst{conn};     // imglst, in ascending IMGID order
    RecordSet vLogFiles{conn};   // a query over LOGFILES, opened by the log viewer

    // Closes what is open, opens programFolder's database with the program's
    // password, opens tImgLst, tSet, tCloseFiles and tEmails in this order and
    // logs startText. Any failure is one StoreError, and leaves everything closed.
    void Open(const QString &programFolder, const QString &startText);
    // The same, logging the catalogue's msgMonStart.
    void Open(const QString &programFolder);
    void Close();
    bool isOpen() const { return conn.isOpen(); }

    // Appends one row to LOGFILES; the store gives it its ID and local time.
    // Does nothing while the connection is closed.
    void LogEvent(const QString &text) override;

    // The current row of tSet (the edited values while it is being edited).
    bool GetBool(const char *column) const override;
    int GetInt(const char *column) const override;
    QString GetText(const char *column) const override;
};
