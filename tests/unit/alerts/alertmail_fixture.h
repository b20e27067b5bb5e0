// Test helpers of the alert mail: a real database in a temp folder, its settings and recipients, and the
// sender.
#pragma once

#include "alerts/alertmail.h"
#include "alerts/smtpclient.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_event_log.h"
#include "store/appdatabase.h"
#include "store/defaultdb.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

// The default texts of the catalogue for the mail's log lines.
inline const QString kSentOk = QStringLiteral("邮件发送成功！");
inline const QString kSendFailed = QStringLiteral("邮件发送失败！");

class AlertMailTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QLatin1Char('/');
        WriteDefaultDatabase(DatabasePath(folder), QString());
        db.Open(folder, QStringLiteral("start"));
        setSettings({{"bEMAIL", true},
                     {"sSenderName", QStringLiteral("UPS 监控")},
                     {"sSenderEmail", QStringLiteral("ups@example.com")},
                     {"sSenderServer", QStringLiteral("127.0.0.1")},
                     {"sSenderCount", QStringLiteral("alert")},
                     {"sSenderPassword", QStringLiteral("secret")},
                     {"bSSL", false}});
        smtp.LocaleName = QStringLiteral("zh_CN");
        smtp.ConnectBound = std::chrono::milliseconds(5000);
        smtp.ReplyBound = std::chrono::milliseconds(5000);
    }

    // Stored in tSet, as the settings dialog's OK does.
    void setSettings(std::initializer_list<std::pair<const char *, QVariant>> values)
    {
        db.tSet.edit();
        for (const auto &[column, value] : values)
            db.tSet.setValue(QLatin1String(column), value);
        db.tSet.post();
    }

    void addRecipient(const QString &name, const QString &email, int eventType)
    {
        db.tEmails.append();
        db.tEmails.setValue(QStringLiteral("ENAME"), name);
        db.tEmails.setValue(QStringLiteral("EMAIL"), email);
        db.tEmails.setValue(QStringLiteral("ETYPE"), eventType);
        db.tEmails.post();
    }

    // The addresses tEmails shows now, in row order (moves its cursor).
    QStringList visibleEmails()
    {
        QStringList out;
        for (db.tEmails.first(); !db.tEmails.eof(); db.tEmails.next())
            out << db.tEmails.asString(QStringLiteral("EMAIL"));
        return out;
    }

    // The addresses on disk, read through a connection of their own.
    QStringList storedEmails() const
    {
        Database other;
        other.open(DatabasePath(folder), QString::fromLatin1(kDatabasePassword));
        Statement s = other.prepare(QStringLiteral("SELECT EMAIL FROM Emails ORDER BY rowid"));
        QStringList out;
        while (s.step())
            out << s.value(0).toString();
        return out;
    }

    QTemporaryDir dir;
    QString folder;
    AppDatabase db;
    SmtpClient smtp;
    FakeEventLog log;
    FakeClock clock{QDateTime(QDate(2024, 1, 5), QTime(9, 3, 7))};
    AlertMail alert{smtp, db, db.tEmails, log, clock, QLocale(QStringLiteral("zh_CN"))};
};
