// Alert mail: one SendAlertMail to a local aiosmtpd, from the recipients' lookup to the logged outcome.
#include "alerts/alertmail.h"
#include "alerts/smtpclient.h"
#include "bench_stats.h"
#include "fakes/fake_clock.h"
#include "store/appdatabase.h"
#include "store/database.h"
#include "store/defaultdb.h"
#include "support/smtp_test_server.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

// Counts the outcomes the mail writes into the log.
class OutcomeLog : public EventLog
{
public:
    void LogEvent(const QString &text) override { lines << text; }
    QStringList lines;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int mails = argc > 1 ? std::atoi(argv[1]) : 100;

    SmtpTestServer::Options options;
    options.lifetimeSeconds = 300;
    SmtpTestServer server(options);
    if (!server.start()) {
        std::fprintf(stderr, "mail: no aiosmtpd: %s\n", server.errorString().toUtf8().constData());
        return 1;
    }
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    WriteDefaultDatabase(DatabasePath(folder), QString());
    AppDatabase db;
    db.Open(folder);
    db.tSet.edit();
    for (const auto &[column, value] : {std::pair<const char *, QVariant>{"bEMAIL", true},
                                        {"sSenderName", QStringLiteral("UPS")},
                                        {"sSenderEmail", QStringLiteral("ups@example.com")},
                                        {"sSenderServer", QStringLiteral("127.0.0.1")},
                                        {"sSenderCount", QStringLiteral("alert")},
                                        {"sSenderPassword", QStringLiteral("secret")},
                                        {"bSSL", false}})
        db.tSet.setValue(QLatin1String(column), value);
    db.tSet.post();
    db.tEmails.append();
    db.tEmails.setValue(QStringLiteral("ENAME"), QStringLiteral("admin"));
    db.tEmails.setValue(QStringLiteral("EMAIL"), QStringLiteral("admin@example.com"));
    db.tEmails.setValue(QStringLiteral("ETYPE"), 0);
    db.tEmails.post();

    SmtpClient smtp;
    smtp.Port = server.port();
    OutcomeLog log;
    FakeClock clock;
    AlertMail mail(smtp, db, db.tEmails, log, clock);
    std::vector<double> ms;
    for (int i = 0; i < mails; ++i) {
        const bench::Steady::time_point t0 = bench::Steady::now();
        mail.SendAlertMail(QStringLiteral("bench mains failed %1").arg(i), 1);
        ms.push_back(bench::Ms(bench::Steady::now() - t0));
    }
    const int failed =
        static_cast<int>(log.lines.size()) - static_cast<int>(log.lines.count(log.lines.value(0)));
    bench::Spread("SendAlertMail to local aiosmtpd", ms,
                  "(" + std::to_string(mails) + " mails, AUTH LOGIN, one recipient)");
    const auto received = server.messages().size();
    std::printf("mail: %lld of %d mails received by the server, %d outcomes differ from the first\n",
                static_cast<long long>(received), mails, failed);
    return received == mails ? 0 : 1;
}
