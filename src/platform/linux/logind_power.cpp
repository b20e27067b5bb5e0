// Power-off through systemd-logind on the system bus, with a spawned `systemctl poweroff` as fallback.
#include "platform/linux/logind_power.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QObject>
#include <QProcess>
#include <QtGlobal>

#include <atomic>

namespace {

// Same default as libdbus uses when the variable is unset.
constexpr char kDefaultSystemBus[] = "unix:path=/var/run/dbus/system_bus_socket";
// logind answers PowerOff at once; a bus that does not answer within this is
// treated as failed so the fallback still gets its turn.
constexpr int kCallTimeoutMs = 10000;

QString SystemBusAddress()
{
    const QByteArray env = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    return env.isEmpty() ? QString::fromLatin1(kDefaultSystemBus) : QString::fromLocal8Bit(env);
}

} // namespace

void SpawnDetached(const QString &program, const QStringList &arguments)
{
    QProcess::startDetached(program, arguments);
}

LogindPower::LogindPower(CommandSpawner fallback) : fallback_(std::move(fallback)) {}

void LogindPower::RequestPowerOff()
{
    const CommandSpawner fallback = fallback_;
    const auto runFallback = [fallback] {
        if (fallback) fallback(QStringLiteral("systemctl"), {QStringLiteral("poweroff")});
    };

    // A connection of our own, opened by address, reads the variable at the
    // moment of the request: the shared systemBus() would fix it at first use.
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("kestrava-power-%1").arg(serial.fetch_add(1));
    QDBusConnection bus = QDBusConnection::connectToBus(SystemBusAddress(), name);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        runFallback();
        return;
    }

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false; // not interactive: never wait for a password prompt
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [runFallback, name](QDBusPendingCallWatcher *w) {
                         if (w->isError()) runFallback();
                         w->deleteLater();
                         QDBusConnection::disconnectFromBus(name);
                     });
}
