// The recording build of the program under faults: killed while it logs a storm of line changes, and a
// database that refuses its writes while it monitors.
#include <umockdev.h>

#include "emulated_serial.h"
#include "program_copy.h"
#include "store/database.h"
#include "virtual_ups.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include <signal.h>
#include <sys/stat.h>

namespace {

bool PumpUntil(const std::function<bool()> &done, int boundMs)
{
    QDeadlineTimer deadline(boundMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

void PumpFor(int ms)
{
    PumpUntil([] { return false; }, ms);
}

const QString kFailed = QStringLiteral("fault mains failed");
const QString kBack = QStringLiteral("fault mains back");

class ProgramFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testbed = umockdev_testbed_new();
        ASSERT_NO_THROW(vups::ShadowRealSerialPorts(testbed));
        serial = std::make_unique<EmulatedSerial>(testbed, "ttyUSB0");
        serial->setInputs(TIOCM_CTS | TIOCM_CD);
        vups::CopyOptions options;
        options.sourceFolder = QStringLiteral(KESTRAVA_BIN_DIR);
        copy = std::make_unique<vups::ProgramCopy>(options);
        copy->SetSettings({{QStringLiteral("sCOM"), QString::fromStdString(serial->path())},
                           {QStringLiteral("sACOff"), kFailed},
                           {QStringLiteral("sACOn"), kBack}});
    }
    void TearDown() override
    {
        Stop();
        serial.reset();
        copy.reset();
        if (testbed) g_object_unref(testbed);
    }

    void Start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), copy->noSystemBus());
        env.insert(QStringLiteral("PATH"),
                   copy->guardBin() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("KESTRAVA_POWEROFF_LOG"),
                   copy->folder() + QStringLiteral("poweroff-requests.log"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(copy->folder());
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(copy->executable(), {});
        ASSERT_TRUE(program.waitForStarted(10000));
    }
    // The program holds the cable as it should: watching the lines with RTS up.
    bool Watching(int boundMs)
    {
        return PumpUntil([&] { return serial->waitsPending() > 0; }, boundMs);
    }
    void Stop()
    {
        if (program.state() == QProcess::NotRunning) return;
        ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
        program.waitForFinished(5000);
    }
    void Flap(bool &mainsOn)
    {
        mainsOn = !mainsOn;
        serial->setInputs(mainsOn ? (TIOCM_CTS | TIOCM_CD) : TIOCM_CD);
    }

    QString DatabaseFile() const { return copy->folder() + QStringLiteral("Kestrava.mdb"); }

    UMockdevTestbed *testbed = nullptr;
    std::unique_ptr<EmulatedSerial> serial;
    std::unique_ptr<vups::ProgramCopy> copy;
    QProcess program;
};

qint64 One(Database &db, const QString &sql)
{
    Statement s = db.prepare(sql);
    return s.step() ? s.value(0).toLongLong() : -1;
}

} // namespace

// Every row a reader saw committed before the kill is there after it, the
// file stays sound, and each start finds it usable; the files holding the
// mail password stay the owner's.
TEST_F(ProgramFaults, KilledAtRandomWhileLoggingAStormLosesNoCommittedRow)
{
    constexpr int kKills = 50;
    std::mt19937 random(20240605);
    std::uniform_int_distribution<int> gap(310, 420);
    std::uniform_int_distribution<int> flaps(0, 3);
    const QString password = QString::fromLatin1(kDatabasePassword);
    Database reader;
    reader.open(DatabaseFile(), password);
    bool mainsOn = true;
    qint64 seenRows = 0;
    const auto startLines = [&] {
        return One(reader, QStringLiteral("SELECT COUNT(*) FROM LOGFILES WHERE EVENT = "
                                          "(SELECT EVENT FROM LOGFILES ORDER BY ID LIMIT 1)"));
    };
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE(kill);
        Start();
        // a wait of the instance killed before may still stand in the
        // emulation: this start is under way once its own start line is in
        ASSERT_TRUE(PumpUntil([&] { return startLines() == kill + 1; }, 20000)) << "no start line";
        ASSERT_TRUE(Watching(20000)) << "the program never watched the port";
        const int changes = flaps(random);
        for (int i = 0; i < changes; ++i) {
            Flap(mainsOn);
            PumpFor(gap(random));
        }
        // the last change's row is being written about now
        Flap(mainsOn);
        PumpFor(std::uniform_int_distribution<int>(280, 330)(random));
        seenRows = One(reader, QStringLiteral("SELECT MAX(ID) FROM LOGFILES"));
        Stop();
    }
    reader.close();

    Database after;
    after.open(DatabaseFile(), password);
    Statement check = after.prepare(QStringLiteral("PRAGMA integrity_check"));
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.value(0).toString(), QStringLiteral("ok"));
    EXPECT_GE(One(after, QStringLiteral("SELECT MAX(ID) FROM LOGFILES")), seenRows);
    // IDs only grow: a committed row is never rolled back and its ID reused
    EXPECT_EQ(One(after, QStringLiteral("SELECT COUNT(*) FROM LOGFILES")),
              One(after, QStringLiteral("SELECT COUNT(DISTINCT ID) FROM LOGFILES")));
    // the first row is the start line; each start wrote one
    const qint64 starts = One(after, QStringLiteral("SELECT COUNT(*) FROM LOGFILES WHERE EVENT = "
                                                    "(SELECT EVENT FROM LOGFILES ORDER BY ID LIMIT 1)"));
    EXPECT_EQ(starts, kKills) << "every start logged its start line";
    EXPECT_GT(
        One(after,
            QStringLiteral("SELECT COUNT(*) FROM LOGFILES WHERE EVENT IN ('%1', '%2')").arg(kFailed, kBack)),
        kKills / 2)
        << "the storm was logged";

    for (const char *suffix : {"", "-wal", "-shm"}) {
        struct stat st
        {
        };
        if (::stat((DatabaseFile() + QLatin1String(suffix)).toLocal8Bit().constData(), &st) != 0) continue;
        EXPECT_EQ(st.st_mode & 0077, 0u) << suffix << " is readable by others";
    }
}

// Another process holds the write lock for longer than the program's busy
// wait: its rows fail, it keeps watching and changing state, and once the
// lock goes its rows go in again.
TEST_F(ProgramFaults, ADatabaseThatRefusesWritesDoesNotStopTheMonitoring)
{
    Start();
    ASSERT_TRUE(Watching(20000));
    PumpFor(500);
    Database blocker;
    blocker.open(DatabaseFile(), QString::fromLatin1(kDatabasePassword));
    blocker.exec(QStringLiteral("BEGIN EXCLUSIVE"));

    bool mainsOn = true;
    Flap(mainsOn); // mains off: its row waits for the lock and fails
    PumpFor(7000);
    ASSERT_EQ(program.state(), QProcess::Running) << "the failed row ended the program";
    const std::vector<std::string> before = serial->outputHistory();
    Flap(mainsOn); // mains back: a second failure, not reported again
    PumpFor(7000);
    ASSERT_EQ(program.state(), QProcess::Running);
    blocker.exec(QStringLiteral("ROLLBACK"));

    Flap(mainsOn); // and off again, now logged
    ASSERT_TRUE(PumpUntil(
        [&] {
            Database reader;
            reader.open(DatabaseFile(), QString::fromLatin1(kDatabasePassword));
            return One(reader,
                       QStringLiteral("SELECT COUNT(*) FROM LOGFILES WHERE EVENT = '%1'").arg(kFailed)) == 1;
        },
        15000))
        << "no row after the lock went";
    // each evaluation raises RTS: the program kept evaluating the lines meanwhile
    EXPECT_GT(serial->outputHistory().size(), before.size());
    EXPECT_EQ(program.state(), QProcess::Running);
}
