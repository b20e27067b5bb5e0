// Test helpers of the store: a temporary program folder holding a fresh default database.
#pragma once

#include "store/appdatabase.h"
#include "store/database.h"
#include "store/defaultdb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A program folder with the default database (no artwork) in a fresh temp dir.
class StoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QLatin1Char('/');
        WriteDefaultDatabase(DatabasePath(folder), QString());
    }

    QString path() const { return DatabasePath(folder); }

    // A second, independent connection to the same file.
    void openOther(Database &other) const { other.open(path(), QString::fromLatin1(kDatabasePassword)); }

    qint64 count(Database &db, const QString &sql) const
    {
        Statement s = db.prepare(sql);
        EXPECT_TRUE(s.step());
        return s.value(0).toLongLong();
    }

    QTemporaryDir dir;
    QString folder;
};

struct ShellResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the sqlcipher shell on file with script on its standard input.
inline ShellResult RunSqlcipherShell(const QString &file, const QString &script)
{
    QProcess shell;
    shell.start(QStringLiteral("/usr/bin/sqlcipher"), {file});
    ShellResult result;
    if (!shell.waitForStarted(10000)) {
        result.err = shell.errorString();
        return result;
    }
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    if (!shell.waitForFinished(15000)) {
        shell.kill();
        shell.waitForFinished(2000);
        result.err = QStringLiteral("sqlcipher shell did not finish");
        return result;
    }
    result.exitCode = shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
    result.out = QString::fromUtf8(shell.readAllStandardOutput());
    result.err = QString::fromUtf8(shell.readAllStandardError());
    return result;
}
