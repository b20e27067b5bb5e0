// Lists the serial ports from sysfs: ttys with a real device behind them.
#include "devices/serialportlist.h"

#include "devices/serialport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

namespace {

// A sysfs attribute as text, or an empty string when there is none.
QString attribute(const QString &dir, const char *name)
{
    QFile file(dir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromLatin1(file.readAll()).trimmed();
}

// serial8250 registers a fixed number of ttySn whether or not a UART answers
// there; those report UART type 0 (unknown) and no clock, and cannot be opened
// usefully.
bool isPlaceholder(const QString &dir)
{
    return attribute(dir, "type") == QLatin1String("0") || attribute(dir, "uartclk") == QLatin1String("0");
}

} // namespace

QStringList ListSerialPorts(const QString &sysfsRoot)
{
    const QDir ttys(sysfsRoot + QStringLiteral("/class/tty"));
    QStringList ports;
    const QStringList names = ttys.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString dir = ttys.filePath(name);
        // virtual consoles, ptys and the console alias have no device behind them
        if (!QFileInfo::exists(dir + QStringLiteral("/device")) || isPlaceholder(dir)) continue;
        ports << QStringLiteral("/dev/") + name;
    }
    if (ports.isEmpty()) throw EComPort(EComPort::ListFailed, ENOENT);
    std::sort(ports.begin(), ports.end(), [](const QString &a, const QString &b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return ports;
}
