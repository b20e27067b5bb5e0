// The monitor's event log over a failing store: one report per run of failures, and the state change
// completes.
#include "app/reportingeventlog.h"
#include "fakes/fake_alerts.h"
#include "fakes/fake_settings_row.h"
#include "fakes/fake_status_view.h"
#include "monitor/powerstatus.h"
#include "store/appdatabase.h"
#include "store/database.h"
#include "store/defaultdb.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A store that fails while `failing` is set, as a full disk would.
class SwitchableStore : public EventLog
{
public:
    void LogEvent(const QString &text) override
    {
        if (failing) throw StoreError(QStringLiteral("database or disk is full"));
        rows << text;
    }
    bool failing = false;
    QStringList rows;
};

void RunPending()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

struct Reports
{
    QStringList texts;
    ReportingEventLog::Report sink()
    {
        return [this](const QString &why) { texts << why; };
    }
};

} // namespace

TEST(ReportingEventLog, ReportsTheFirstFailureOnceFromTheEventLoopAndASuccessReArms)
{
    SwitchableStore store;
    Reports reports;
    ReportingEventLog log(store, reports.sink());

    log.LogEvent(QStringLiteral("a"));
    store.failing = true;
    EXPECT_NO_THROW(log.LogEvent(QStringLiteral("b")));
    EXPECT_TRUE(reports.texts.isEmpty()) << "no box may open inside the caller";
    log.LogEvent(QStringLiteral("c"));
    RunPending();
    log.LogEvent(QStringLiteral("d"));
    RunPending();
    EXPECT_EQ(reports.texts, QStringList{QStringLiteral("database or disk is full")});
    EXPECT_EQ(log.failedRows(), 3);

    store.failing = false;
    log.LogEvent(QStringLiteral("e"));
    store.failing = true;
    log.LogEvent(QStringLiteral("f"));
    RunPending();
    EXPECT_EQ(reports.texts.size(), 2) << "a success in between re-arms the report";
    EXPECT_EQ(store.rows, (QStringList{QStringLiteral("a"), QStringLiteral("e")}));
}

TEST(ReportingEventLog, OtherErrorsStillRiseAndAPendingReportDiesWithTheLog)
{
    class Broken : public EventLog
    {
    public:
        void LogEvent(const QString &) override { throw std::logic_error("not a store failure"); }
    } broken;
    Reports reports;
    {
        ReportingEventLog log(broken, reports.sink());
        EXPECT_THROW(log.LogEvent(QStringLiteral("x")), std::logic_error);
    }

    SwitchableStore store;
    store.failing = true;
    {
        ReportingEventLog log(store, reports.sink());
        log.LogEvent(QStringLiteral("y"));
    }
    RunPending();
    EXPECT_TRUE(reports.texts.isEmpty());
}

// The real store refusing writes: the mains failure still reaches the view and
// the alert, and the user hears of it once however many rows fail.
TEST(ReportingEventLog, StateChangesCompleteOverAStoreThatRefusesWrites)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    WriteDefaultDatabase(DatabasePath(folder), QString());
    AppDatabase db;
    db.Open(folder);
    db.conn.exec(QStringLiteral("PRAGMA query_only = 1"));

    Reports reports;
    ReportingEventLog log(db, reports.sink());
    FakeStatusView view;
    FakeAlerts alerts;
    FakeSettingsRow settings;
    settings.Set("sACOff", QStringLiteral("mains failed"));
    settings.Set("sACOn", QStringLiteral("mains back"));
    PowerStatus status(view, alerts, log, settings);
    status.SetStartStates();

    for (int round = 0; round < 3; ++round) {
        status.SetLinkState(1, false);
        status.SetMainsState(0, false);
        EXPECT_EQ(status.MainsState(), 0);
        status.SetMainsState(1, false);
        EXPECT_EQ(status.MainsState(), 1);
        status.SetLinkState(0, false);
    }
    RunPending();
    EXPECT_EQ(reports.texts.size(), 1) << reports.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_GE(log.failedRows(), 6);

    // writable again: rows go in, and the next failure is told again
    db.conn.exec(QStringLiteral("PRAGMA query_only = 0"));
    status.SetLinkState(1, false);
    status.SetMainsState(0, false);
    db.conn.exec(QStringLiteral("PRAGMA query_only = 1"));
    status.SetMainsState(1, false);
    RunPending();
    EXPECT_EQ(reports.texts.size(), 2);
    Statement rows = db.conn.prepare(QStringLiteral("SELECT EVENT FROM LOGFILES ORDER BY ID"));
    QStringList events;
    while (rows.step())
        events << rows.value(0).toString();
    EXPECT_EQ(events.mid(1), QStringList{QStringLiteral("mains failed")})
        << "only the row written while writable";
}
