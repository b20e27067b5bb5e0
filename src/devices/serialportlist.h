// The serial ports of this machine, for the settings dialog's port list.
#pragma once

#include <QString>
#include <QStringList>

// The ttys under <sysfsRoot>/class/tty that stand for a real device (they have
// a `device` link; the serial8250 placeholders with an unknown UART are left
// out), named as they are opened (/dev/ttyUSB0), sorted without regard to case.
// Raises EComPort code 23 with ENOENT when there is none.
QStringList ListSerialPorts(const QString &sysfsRoot = QStringLiteral("/sys"));
