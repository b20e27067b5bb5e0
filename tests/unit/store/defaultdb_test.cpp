// The default database of a new installation, as written by mkdb and read by the sqlcipher shell.
#include "store_fixture.h"

#include <sys/stat.h>

namespace {

// A tiny but well-formed BMP header followed by a marker, so rows can be told apart.
QByteArray bitmap(char marker)
{
    QByteArray bytes("BM");
    bytes += QByteArray(52, '\0');
    bytes += marker;
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

TEST_F(StoreTest, DefaultSettingsRowIsSafeAndWithinTheDialogsRanges)
{
    AppDatabase app;
    app.Open(folder, QStringLiteral("start"));
    EXPECT_EQ(count(app.conn, QStringLiteral("SELECT count(*) FROM Settings")), 1);
    EXPECT_EQ(app.tSet.recordCount(), 1);
    EXPECT_EQ(app.tSet.columnNames().size(), 26);
    for (const QString &column : app.tSet.columnNames())
        EXPECT_FALSE(app.tSet.value(column).isNull()) << column.toStdString() << " has a value";

    EXPECT_EQ(app.GetText("sCOM"), QStringLiteral("USB")) << "never a serial port";
    EXPECT_FALSE(app.GetText("shidDevName").isEmpty());
    EXPECT_FALSE(app.GetBool("bShutWinOS")) << "a new install powers nothing off";
    EXPECT_FALSE(app.GetBool("bShutUPS"));
    EXPECT_FALSE(app.GetBool("bAutoSave"));
    EXPECT_FALSE(app.GetBool("bExecuteApp"));
    EXPECT_FALSE(app.GetBool("bEMAIL"));
    EXPECT_TRUE(app.GetBool("bWarning"));
    EXPECT_TRUE(app.GetBool("bSysNoClose"));
    EXPECT_FALSE(app.GetBool("bSysNoTB"));
    EXPECT_FALSE(app.GetBool("bSysStayOnTop"));
    for (const char *sender :
         {"sSenderName", "sSenderEmail", "sSenderServer", "sSenderCount", "sSenderPassword"})
        EXPECT_EQ(app.GetText(sender), QString()) << sender;
    for (const char *text : {"sACOff", "sACOn", "sBatDown", "sBatUp"})
        EXPECT_FALSE(app.GetText(text).isEmpty()) << text;

    const int ac = app.GetInt("iACTimer"), bat = app.GetInt("iBatTimer");
    const int appTimer = app.GetInt("iAppTimer"), warn = app.GetInt("iWarnTimer");
    EXPECT_TRUE(ac >= 0 && ac <= 2000) << ac;
    EXPECT_TRUE(bat >= 0 && bat <= 60) << bat;
    EXPECT_TRUE(appTimer >= 0 && appTimer <= 15 && appTimer <= ac) << appTimer;
    EXPECT_TRUE(warn >= 5 && warn <= 60) << warn;

    EXPECT_TRUE(app.tEmails.isEmpty());
    EXPECT_TRUE(app.tCloseFiles.isEmpty());
}

TEST_F(StoreTest, SqlcipherShellReadsTheFileOnlyWithThePassword)
{
    const ShellResult keyed =
        RunSqlcipherShell(path(), QStringLiteral("PRAGMA key='%1';\nselect count(*) from Settings;\n")
                                      .arg(QLatin1String(kDatabasePassword)));
    EXPECT_EQ(keyed.exitCode, 0) << keyed.err.toStdString();
    EXPECT_EQ(keyed.out.trimmed(), QStringLiteral("1"));

    const ShellResult plain = RunSqlcipherShell(path(), QStringLiteral("select count(*) from Settings;\n"));
    EXPECT_NE(plain.exitCode, 0);
    EXPECT_TRUE(plain.err.contains(QLatin1String("file is encrypted or is not a database")))
        << plain.err.toStdString();
    EXPECT_FALSE(plain.out.contains(QLatin1Char('1')));

    // Nothing of the settings is readable in the file itself.
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.contains("SQLite format 3"));
    EXPECT_FALSE(bytes.contains("sSenderPassword"));
}

TEST_F(StoreTest, DefaultDatabaseIsPrivateAndReplacesAnOldFile)
{
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "it holds the mail password";

    // A stale journal of an older file must not be replayed into the new one.
    writeFile(path(), QByteArray(4096, 'j'));
    writeFile(path() + QStringLiteral("-wal"), QByteArray(4096, 'w'));
    const DefaultDatabaseResult result = WriteDefaultDatabase(path(), QString());
    EXPECT_EQ(result.images, 0);
    EXPECT_FALSE(result.notes.isEmpty()) << "says that no artwork was written";
    EXPECT_FALSE(QFile::exists(path() + QStringLiteral("-wal")));
    AppDatabase app;
    EXPECT_NO_THROW(app.Open(folder, QStringLiteral("start")));
    EXPECT_TRUE(app.tImgLst.isEmpty());
    const QStringList left = QDir(folder).entryList(QDir::Files);
    for (const QString &name : left)
        EXPECT_FALSE(name.contains(QLatin1String(".new"))) << name.toStdString();
}

TEST_F(StoreTest, ImagesAreTakenFromNumberedBitmapsInOrder)
{
    const QString images = folder + QStringLiteral("imglst");
    ASSERT_TRUE(QDir().mkpath(images));
    writeFile(images + QStringLiteral("/02.bmp"), bitmap('c'));
    writeFile(images + QStringLiteral("/00.bmp"), bitmap('a'));
    writeFile(images + QStringLiteral("/01.bmp"), bitmap('b'));
    writeFile(images + QStringLiteral("/10.bmp"), bitmap('d'));
    writeFile(images + QStringLiteral("/notes.txt"), "not an image");
    writeFile(images + QStringLiteral("/logo.bmp"), bitmap('x'));

    const DefaultDatabaseResult result = WriteDefaultDatabase(path(), images);
    EXPECT_EQ(result.images, 4);
    AppDatabase app;
    app.Open(folder, QStringLiteral("start"));
    QList<int> ids;
    QByteArray markers;
    for (app.tImgLst.first(); !app.tImgLst.eof(); app.tImgLst.next()) {
        ids.append(app.tImgLst.asInt(QStringLiteral("IMGID")));
        markers += app.tImgLst.asBytes(QStringLiteral("imgdat")).right(1);
    }
    EXPECT_EQ(ids, QList<int>({0, 1, 2, 10}));
    EXPECT_EQ(markers, QByteArray("abcd"));
}

TEST_F(StoreTest, AFileThatIsNoBitmapFailsAndKeepsTheOldDatabase)
{
    const QString images = folder + QStringLiteral("imglst");
    ASSERT_TRUE(QDir().mkpath(images));
    writeFile(images + QStringLiteral("/00.bmp"), bitmap('a'));
    writeFile(images + QStringLiteral("/01.bmp"), QByteArray(100, 'P'));
    {
        AppDatabase app;
        app.Open(folder, QStringLiteral("kept"));
    }
    EXPECT_THROW(WriteDefaultDatabase(path(), images), StoreError);
    Database db;
    openOther(db);
    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM LOGFILES WHERE EVENT='kept'")), 1);
    for (const QString &name : QDir(folder).entryList(QDir::Files))
        EXPECT_FALSE(name.contains(QLatin1String(".new"))) << name.toStdString();
}
