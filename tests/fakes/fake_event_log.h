// An event log that records each line, in order, into a shared call log.
#pragma once

#include "call_log.h"
#include "store/eventlog.h"

#include <QStringList>

class FakeEventLog : public EventLog
{
public:
    explicit FakeEventLog(CallLog *log = nullptr) : log_(log) {}
    void LogEvent(const QString &text) override
    {
        lines << text;
        if (log_)
            log_->Add(QStringLiteral("LogEvent(%1)").arg(text));
    }
    QStringList lines;

private:
    CallLog *log_;
};
