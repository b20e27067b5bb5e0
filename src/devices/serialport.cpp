// The serial layer's error texts and the Port/Connected rules shared by every port.
#include "devices/serialport.h"

namespace {

std::string messageFor(int code, int winCode)
{
    return EComPort::codeText(code).toStdString() + " (win error code: " + std::to_string(winCode) + ")";
}

} // namespace

EComPort::EComPort(int code, int winCode)
    : std::runtime_error(messageFor(code, winCode)), m_code(code), m_winCode(winCode)
{
}

QString EComPort::codeText(int code)
{
    switch (code) {
    case OpenFailed:
        return QStringLiteral("Unable to open com port");
    case PurgeFailed:
        return QStringLiteral("PurgeComm function failed");
    case SetStateFailed:
        return QStringLiteral("SetCommState function failed");
    case TimeoutsFailed:
        return QStringLiteral("SetCommTimeouts failed");
    case SetupFailed:
        return QStringLiteral("SetupComm function failed");
    case ModemStatusFailed:
        return QStringLiteral("GetCommModemStatus function failed");
    case EscapeFailed:
        return QStringLiteral("EscapeCommFunction function failed");
    case ListFailed:
        return QStringLiteral("Registry error");
    default:
        return QString();
    }
}

SerialPort::SerialPort(QObject *parent) : QObject(parent) {}

SerialPort::~SerialPort() = default;

void SerialPort::SetPort(const QString &port)
{
    if (port == m_port) return;
    if (m_connected) {
        ClosePort();
        m_port = port;
        OpenPort();
    } else {
        m_port = port;
    }
}

void SerialPort::SetConnected(bool on)
{
    if (on == m_connected) return;
    if (on)
        OpenPort();
    else
        ClosePort();
}
