// The event log as the rest of the program writes it: one line per event.
#pragma once

#include <QString>

class EventLog
{
public:
    virtual ~EventLog() = default;
    // Appends one row; the store numbers and time-stamps it. Does nothing while
    // the database is closed; a store failure raises to the caller. When it
    // returns the row is on disk.
    virtual void LogEvent(const QString &text) = 0;
};
