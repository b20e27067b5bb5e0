// Event log: durable LogEvent rate, the viewer's statement over a million rows, and the viewer's clear.
#include "bench_stats.h"
#include "dialogs/tflogfiles.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "store/appdatabase.h"
#include "store/database.h"
#include "store/defaultdb.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

using bench::Steady;

qint64 Count(Database &db, const QString &sql)
{
    Statement s = db.prepare(sql);
    s.step();
    return s.value(0).toLongLong();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int durableRows = argc > 1 ? std::atoi(argv[1]) : 2000;
    const qint64 totalRows = argc > 2 ? std::atoll(argv[2]) : 1000000;
    const int clearDays = argc > 3 ? std::atoi(argv[3]) : 100;

    QTemporaryDir dir(QStringLiteral("/var/tmp/kestrava-bench-XXXXXX"));
    if (!dir.isValid()) return 1;
    const QString folder = dir.path() + QLatin1Char('/');
    WriteDefaultDatabase(DatabasePath(folder), QString());
    AppDatabase db;
    db.Open(folder);

    // 1. durable rows, one at a time, each on disk when LogEvent returns
    const Steady::time_point t0 = Steady::now();
    for (int i = 0; i < durableRows; ++i)
        db.LogEvent(QStringLiteral("bench durable row %1").arg(i));
    const double seconds = bench::Ms(Steady::now() - t0) / 1000.0;
    bench::Figure("LogEvent durable rate", durableRows / seconds, "rows/s",
                  "(" + std::to_string(durableRows) + " rows, WAL, synchronous=FULL)");
    bench::Figure("LogEvent mean time", seconds * 1000.0 / durableRows, "ms");

    // 2. a million rows: 1000 a day over 1000 days from 2020-01-01
    db.conn.exec(QStringLiteral("DELETE FROM LOGFILES"));
    db.conn.exec(QStringLiteral("BEGIN"));
    db.conn.exec(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < %1) "
                       "INSERT INTO LOGFILES(ETIME, EVENT) SELECT datetime('2020-01-01', "
                       "'+' || (i * 86400 / 1000) || ' seconds'), 'bench row ' || i FROM n")
            .arg(totalRows));
    db.conn.exec(QStringLiteral("COMMIT"));
    const qint64 stored = Count(db.conn, QStringLiteral("SELECT COUNT(*) FROM LOGFILES"));
    std::printf("eventlog: %lld rows stored\n", static_cast<long long>(stored));

    FakeClock clock(QDateTime(QDate(2021, 6, 1), QTime(12, 0)));
    FakeMessageBoxes boxes;
    TfLogFiles viewer(nullptr, db.vLogFiles, boxes, clock);
    viewer.FormActivate();
    // one day: 2021-03-04 00:00:00 to 2021-03-04 23:59:59
    viewer.dtbd->setDate(QDate(2021, 3, 4));
    viewer.dted->setDate(QDate(2021, 3, 4));
    std::vector<double> statement, refresh;
    for (int i = 0; i < 10; ++i) {
        Steady::time_point s0 = Steady::now();
        viewer.FlushIt();
        refresh.push_back(bench::Ms(Steady::now() - s0));
        RecordSet query(db.conn);
        s0 = Steady::now();
        query.setSql(viewer.LastStatement());
        query.open();
        statement.push_back(bench::Ms(Steady::now() - s0));
    }
    const std::string rows =
        "(" + std::to_string(db.vLogFiles.recordCount()) + " rows listed of " + std::to_string(stored) + ")";
    bench::Spread("viewer statement, one-day window", statement, rows + " target < 100 ms");
    bench::Spread("viewer refresh with grid, one-day window", refresh);

    // 3. clear `clearDays` days of rows through the viewer, answering Yes
    viewer.dtbd->setDate(QDate(2021, 1, 1));
    viewer.dted->setDate(QDate(2021, 1, 1).addDays(clearDays - 1));
    const int listed = db.vLogFiles.recordCount();
    db.LogEvent(QStringLiteral("logged while the list is shown")); // must survive
    boxes.answers = {mb::kIdYes};
    const Steady::time_point c0 = Steady::now();
    viewer.Button3->click();
    const double clearMs = bench::Ms(Steady::now() - c0);
    const qint64 left = Count(db.conn, QStringLiteral("SELECT COUNT(*) FROM LOGFILES"));
    const qint64 inWindow =
        Count(db.conn, QStringLiteral("SELECT COUNT(*) FROM LOGFILES WHERE ETIME >= "
                                      "'2021-01-01' AND ETIME < date('2021-01-01', '+%1 days')")
                           .arg(clearDays));
    bench::Figure("viewer clear of listed rows", clearMs, "ms",
                  "(" + std::to_string(listed) + " rows) target < 2000 ms");
    const bool exact = left == stored + 1 - listed && inWindow == 0 &&
                       Count(db.conn, QStringLiteral("SELECT COUNT(*) FROM LOGFILES WHERE EVENT = "
                                                     "'logged while the list is shown'")) == 1;
    std::printf("eventlog: after the clear %lld rows, %lld in the window: %s\n", static_cast<long long>(left),
                static_cast<long long>(inWindow),
                exact ? "exactly the listed rows went" : "WRONG ROWS DELETED");
    return exact ? 0 : 1;
}
