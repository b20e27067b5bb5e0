// The serial port surface the serial link drives: modem lines, DTR/RTS, line-change signals, errors.
#pragma once

#include <QFlags>
#include <QObject>
#include <QString>

#include <stdexcept>

// The four modem status lines as the link tests them: bit 0 CTS, bit 1 DSR,
// bit 2 ring indicator, bit 3 RLSD (carrier detect, DCD).
enum class ModemLine : unsigned { CTS = 0x1, DSR = 0x2, Ring = 0x4, RLSD = 0x8 };
Q_DECLARE_FLAGS(ModemLineSet, ModemLine)
Q_DECLARE_OPERATORS_FOR_FLAGS(ModemLineSet)

// A failure of the serial layer: the layer's own code and the system's error
// number (errno). The message is the code's text and " (win error code: N)".
class EComPort : public std::runtime_error
{
public:
    enum Code {
        OpenFailed = 1,
        PurgeFailed = 5,
        SetStateFailed = 7,
        TimeoutsFailed = 8,
        SetupFailed = 9,
        ModemStatusFailed = 11,
        EscapeFailed = 12,
        ListFailed = 23,
    };

    EComPort(int code, int winCode);

    int code() const noexcept { return m_code; }
    int winCode() const noexcept { return m_winCode; }

    // The text for a code of the table above; empty for any other code.
    static QString codeText(int code);

private:
    int m_code;
    int m_winCode;
};

// One serial port as the link sees it. Port and Connected follow the same rules
// for every implementation, so they live here; the device work is virtual.
// Line-change signals arrive on the thread the object lives on; the sender is
// the port object (QObject::sender()).
class SerialPort : public QObject
{
    Q_OBJECT

public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    QString Port() const { return m_port; }
    // Equal value: nothing. While open: close, take the new name, open again
    // (an error of the reopening reaches the caller).
    void SetPort(const QString &port);

    bool Connected() const { return m_connected; }
    // true opens, false closes; the current value does nothing.
    void SetConnected(bool on);

    virtual void OpenPort() = 0;
    virtual void ClosePort() = 0;
    virtual ModemLineSet ModemLines() = 0;
    virtual void DriveDtr(bool on) = 0;
    virtual void DriveRts(bool on) = 0;

Q_SIGNALS:
    void OnCTSChange(bool onOff);
    void OnDSRChange(bool onOff);
    void OnRLSDChange(bool onOff);
    void OnBeforeOpen();
    void OnAfterOpen();
    void OnBeforeClose();
    void OnAfterClose();
    // The port's device went away while open (an adapter pulled out): no
    // further line change will come until the port is opened again.
    void OnDeviceLost();

protected:
    void setConnectedState(bool connected) { m_connected = connected; }

private:
    QString m_port = QStringLiteral("COM1");
    bool m_connected = false;
};
