// ReportingEventLog: the event log of the running monitor, which reports a failing store once and goes on.
#include "app/reportingeventlog.h"

#include "store/database.h"

#include <QTimer>

ReportingEventLog::ReportingEventLog(EventLog &store, Report report)
    : store_(store), report_(std::move(report))
{
}

void ReportingEventLog::LogEvent(const QString &text)
{
    try {
        store_.LogEvent(text);
    } catch (const StoreError &error) {
        ++failedRows_;
        if (!armed_) return;
        armed_ = false;
        const QString why = QString::fromUtf8(error.what());
        QTimer::singleShot(0, &guard_, [this, why] {
            if (report_) report_(why);
        });
        return;
    }
    armed_ = true;
}
