// ReportingEventLog: the event log of the running monitor, which reports a failing store once and goes on.
#pragma once

#include "store/eventlog.h"

#include <QObject>
#include <QString>

#include <functional>

// A state change, a link change, a countdown step or a mail outcome must
// complete even when its log line cannot be written (a full disk, a database
// made read-only): the monitor has to keep watching the UPS. So the store's
// error stops here. The first failure after a success is reported once, from
// the event loop (a zero-time single shot), so no modal box opens inside a
// state setter; later failures are silent until a row is written again, which
// re-arms the report. The start line does not go through here: a start that
// cannot log must still stop.
class ReportingEventLog final : public EventLog
{
public:
    using Report = std::function<void(const QString &why)>;

    // `report` runs on the event loop with the store's error text; a report
    // still pending when this log is destroyed never runs.
    ReportingEventLog(EventLog &store, Report report);

    void LogEvent(const QString &text) override;

    // Rows that could not be written, in all.
    int failedRows() const { return failedRows_; }

private:
    EventLog &store_;
    Report report_;
    // the pending report's receiver: it goes with this log
    QObject guard_;
    bool armed_ = true;
    int failedRows_ = 0;
};
