// Import of the auto-save program's record into CloseFiles: the rows, the hand-over flag, re-entry.
#include "store_fixture.h"

#include "lang/gb2312.h"
#include "lang/inifile.h"
#include "store/shutdownfiles.h"

#include <QFile>

#include <memory>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using Rows = std::vector<std::pair<QString, QString>>;

class ShutdownFilesTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        app.Open(folder, QStringLiteral("start"));
        // What the last import left: replaced by a new record, kept otherwise.
        app.tCloseFiles.append();
        app.tCloseFiles.setValue(QStringLiteral("pathfilename"), QStringLiteral("Old"));
        app.tCloseFiles.setValue(QStringLiteral("filename"), QStringLiteral("old.txt"));
        app.tCloseFiles.post();
        import = std::make_unique<ShutdownFilesImport>(record(), app.tCloseFiles, [this] {
            ++viewerOpened;
        if (whileViewerOpen) whileViewerOpen();
    });
}

QString
record() const
{
    return ShutdownRecordPath(folder);
}

void writeRecord(const QString &text)
{
    QFile f(record());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(gb::encode(text));
}

Rows rows()
{
    Statement s =
        app.conn.prepare(QStringLiteral("SELECT pathfilename, filename FROM CloseFiles ORDER BY rowid"));
    Rows out;
    while (s.step())
        out.emplace_back(s.value(0).toString(), s.value(1).toString());
    return out;
}

int showMsg() const
{
    return IniFile(record()).readInteger(QStringLiteral("Main"), QStringLiteral("ShowMsg"), -1);
}

AppDatabase app;
int viewerOpened = 0;
std::function<void()> whileViewerOpen;
std::unique_ptr<ShutdownFilesImport> import;
}; // namespace

const char *const kExample = "[Main]\r\nShowMsg=1\r\nAppNumber=2\r\nApp0=W\r\nApp1=X\r\n"
                             "[W]\r\nTitle=Editor\r\nFileNumber=2\r\nFile0=a.doc\r\nFile1=b.doc\r\n"
                             "[X]\r\n";

// Sets or clears the immutable flag, which stops even root from writing the file.
bool SetImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

TEST_F(ShutdownFilesTest, ANewRecordReplacesTheRowsIsMarkedReadAndIsShownOnce)
{
    writeRecord(QString::fromLatin1(kExample));
    // The clock ticks on while the viewer is open and enters the import again.
    Rows seenByViewer;
    int markSeenByViewer = -1;
    whileViewerOpen = [&] {
        seenByViewer = rows();
        markSeenByViewer = showMsg();
        import->ImportShutdownFiles();
    };
    import->ImportShutdownFiles();

    const Rows expected = {{QStringLiteral("Editor"), QStringLiteral("a.doc")},
                           {QStringLiteral("Editor"), QStringLiteral("b.doc")},
                           {QStringLiteral("X"), QString()}};
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(seenByViewer, expected);
    EXPECT_EQ(markSeenByViewer, 0);
    EXPECT_EQ(viewerOpened, 1);

    import->ImportShutdownFiles();
    EXPECT_EQ(viewerOpened, 1);
    EXPECT_EQ(rows(), expected);
}

TEST_F(ShutdownFilesTest, RecordsAreReadByTheProfileRules)
{
    struct Case
    {
        const char *why;
        const char *record; // nullptr: no file
        Rows rows;
        bool shown;
    };
    const Rows old = {{QStringLiteral("Old"), QStringLiteral("old.txt")}};
    const Case cases[] = {
        {"no file: nothing", nullptr, old, false},
        {"nothing new", "[Main]\nShowMsg=0\nAppNumber=1\nApp0=W\n[W]\nTitle=T\n", old, false},
        {"no ShowMsg", "[Main]\nAppNumber=1\nApp0=W\n", old, false},
        {"no applications: emptied and shown", "[Main]\nShowMsg=1\nAppNumber=0\n", {}, true},
        {"a negative count", "[Main]\nShowMsg=1\nAppNumber=-2\nApp0=W\n", {}, true},
        {"App1 missing is skipped",
         "[Main]\nShowMsg=1\nAppNumber=3\nApp0=P\nApp2=R\n[P]\nTitle=Paint\n[R]\n",
         {{QStringLiteral("Paint"), QString()}, {QStringLiteral("R"), QString()}},
         true},
        {"hex counts with 0x and $",
         "[Main]\nShowMsg=0x1\nAppNumber=$1\nApp0=W\n[W]\nFileNumber=0x2\nFile0=a\nFile1=b\n",
         {{QStringLiteral("W"), QStringLiteral("a")}, {QStringLiteral("W"), QStringLiteral("b")}},
         true},
        {"a missing file name gives an empty one",
         "[Main]\nShowMsg=5\nAppNumber=1\nApp0=W\n[W]\nFileNumber=2\nFile1=b\n",
         {{QStringLiteral("W"), QString()}, {QStringLiteral("W"), QStringLiteral("b")}},
         true},
        {"names without regard to case, quotes stripped",
         "[MAIN]\nshowmsg=1\nappnumber=1\napp0=Word\n[word]\ntitle=\"文字处理\"\nfilenumber=1\nfile0=报告."
         "doc\n",
         {{QStringLiteral("文字处理"), QStringLiteral("报告.doc")}},
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        app.conn.exec(
            QStringLiteral("DELETE FROM CloseFiles; INSERT INTO CloseFiles VALUES('Old', 'old.txt')"));
        QFile::remove(record());
        if (c.record) writeRecord(QString::fromUtf8(c.record));
        viewerOpened = 0;
        ShutdownFilesImport fresh(record(), app.tCloseFiles, [this] { ++viewerOpened; });
        fresh.ImportShutdownFiles();
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(viewerOpened, c.shown ? 1 : 0);
        if (c.shown) {
            EXPECT_EQ(showMsg(), 0);
        }
    }
}

TEST_F(ShutdownFilesTest, ARecordThatCannotBeMarkedReadIsShownOnceAndNotAgain)
{
    writeRecord(QString::fromLatin1(kExample));
    if (!SetImmutable(record(), true))
        GTEST_SKIP() << "this file system cannot make a file unwritable for root";
    struct Unlock
    {
        QString path;
        ~Unlock() { SetImmutable(path, false); }
    } unlock{record()};

    whileViewerOpen = [&] { import->ImportShutdownFiles(); };
    import->ImportShutdownFiles();
    EXPECT_EQ(viewerOpened, 1);
    EXPECT_EQ(rows().size(), 3u);
    EXPECT_EQ(showMsg(), 1); // still unread on disk
    for (int tick = 0; tick < 3; ++tick)
        import->ImportShutdownFiles();
    EXPECT_EQ(viewerOpened, 1);

    // A new record from the auto-save program is imported again.
    SetImmutable(record(), false);
    writeRecord(QStringLiteral("[Main]\nShowMsg=1\nAppNumber=1\nApp0=Calc\n"));
    import->ImportShutdownFiles();
    EXPECT_EQ(viewerOpened, 2);
    EXPECT_EQ(rows(), (Rows{{QStringLiteral("Calc"), QString()}}));
    EXPECT_EQ(showMsg(), 0);
}
