// LogindPower against a private dbus-daemon with a recording logind, and its fallback.
#include "platform/linux/logind_power.h"
#include "wait_for.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

#include <optional>

namespace {

// A bus daemon of the test's own, never the machine's: killed by its PID at the end.
class PrivateBus
{
public:
    PrivateBus()
    {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"),
                       QStringLiteral("--address=unix:path=") + dir_.filePath("bus"),
                       QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000))
            address_ = QString::fromLocal8Bit(daemon_.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    QString Address() const { return address_; }
    QString SocketPath() const { return dir_.filePath("bus"); }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};

// Points the system bus at `address` for the test's lifetime.
class SystemBusOverride
{
public:
    explicit SystemBusOverride(const QString &address)
        : had_(qEnvironmentVariableIsSet("DBUS_SYSTEM_BUS_ADDRESS")), old_(qgetenv("DBUS_SYSTEM_BUS_ADDRESS"))
    {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toLocal8Bit());
    }
    ~SystemBusOverride()
    {
        if (had_)
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", old_);
        else
            qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }

private:
    bool had_;
    QByteArray old_;
};

class RecordingLogind : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    bool refuse = false;
    QList<bool> calls;

public slots:
    void PowerOff(bool interactive)
    {
        calls << interactive;
        if (refuse)
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                           QStringLiteral("Interactive authentication required."));
    }
};

// Serves `logind` as org.freedesktop.login1 on the bus at `address`.
class LogindOnBus
{
public:
    LogindOnBus(const QString &address, RecordingLogind &logind)
        : bus_(QDBusConnection::connectToBus(address, QStringLiteral("test-logind")))
    {
        registered_ = bus_.isConnected() && bus_.registerService(QStringLiteral("org.freedesktop.login1")) &&
                      bus_.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                          QDBusConnection::ExportAllSlots);
    }
    ~LogindOnBus() { QDBusConnection::disconnectFromBus(QStringLiteral("test-logind")); }
    bool Registered() const { return registered_; }

private:
    QDBusConnection bus_;
    bool registered_ = false;
};

struct Spawned
{
    QString program;
    QStringList arguments;
};

CommandSpawner Recorder(QList<Spawned> &spawned)
{
    return [&spawned](const QString &program, const QStringList &arguments) {
        spawned.append({program, arguments});
    };
}

TEST(LogindPower, AsksLogindNonInteractivelyAndSkipsTheFallback)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon did not start";
    RecordingLogind logind;
    LogindOnBus served(bus.Address(), logind);
    ASSERT_TRUE(served.Registered());
    SystemBusOverride env(bus.Address());

    QList<Spawned> spawned;
    LogindPower power(Recorder(spawned));
    power.RequestPowerOff();

    ASSERT_TRUE(WaitFor([&] { return !logind.calls.isEmpty(); }));
    EXPECT_EQ(logind.calls, QList<bool>{false});
    Settle(300); // the reply is back by now; a fallback would have run
    EXPECT_TRUE(spawned.isEmpty());
}

struct FallbackCase
{
    const char *name;
    const char *why;
    bool startBus;
    bool serveLogind;
    bool refuse;
};

// Names the case in test listings (the default prints raw bytes).
void PrintTo(const FallbackCase &c, std::ostream *os)
{
    *os << c.name;
}

class LogindPowerFallback : public ::testing::TestWithParam<FallbackCase>
{
};

TEST_P(LogindPowerFallback, SpawnsSystemctlPoweroffOnce)
{
    const FallbackCase c = GetParam();
    std::optional<PrivateBus> bus;
    QTemporaryDir empty;
    QString address = QStringLiteral("unix:path=") + empty.filePath("no-bus-here");
    if (c.startBus) {
        bus.emplace();
        ASSERT_FALSE(bus->Address().isEmpty()) << "dbus-daemon did not start";
        address = bus->Address();
    }
    RecordingLogind logind;
    logind.refuse = c.refuse;
    std::optional<LogindOnBus> served;
    if (c.serveLogind) {
        served.emplace(address, logind);
        ASSERT_TRUE(served->Registered());
    }
    SystemBusOverride env(address);

    QList<Spawned> spawned;
    LogindPower power(Recorder(spawned));
    power.RequestPowerOff();

    ASSERT_TRUE(WaitFor([&] { return !spawned.isEmpty(); })) << c.why;
    Settle(100);
    ASSERT_EQ(spawned.size(), 1) << c.why;
    EXPECT_EQ(spawned[0].program, "systemctl");
    EXPECT_EQ(spawned[0].arguments, QStringList{"poweroff"});
    EXPECT_EQ(logind.calls.size(), c.serveLogind ? 1 : 0) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, LogindPowerFallback,
    ::testing::Values(FallbackCase{"NoBus", "no bus at the address (no system bus on this machine)", false,
                                   false, false},
                      FallbackCase{"NoLogind", "a bus without logind on it", true, false, false},
                      FallbackCase{"LogindRefuses", "logind refuses the request", true, true, true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

#include "logind_power_test.moc"
