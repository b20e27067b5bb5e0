// An ordered record of the calls fakes receive, shared between fakes so a test can check the order of steps.
#pragma once

#include <QString>
#include <QStringList>

struct CallLog
{
    QStringList entries;

    void Add(const QString &entry) { entries << entry; }
    // Position of the first entry equal to `entry`, or -1.
    int IndexOf(const QString &entry) const { return entries.indexOf(entry); }
};
