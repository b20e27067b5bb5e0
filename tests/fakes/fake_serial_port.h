// A serial port whose modem lines a test sets, with DTR/RTS history, injectable failures and real
// announcements.
#pragma once

#include "call_log.h"
#include "devices/serialport.h"

#include <QStringList>

#include <cerrno>

// Behaves like the real port towards its handlers: opening raises DTR and RTS
// (the applied settings), then announces the present CTS, DSR and RLSD states
// before OpenPort returns; closing announces all three off. SetLines() hands
// over a change of the lines as the watching thread would (changed lines
// only, in the order CTS, DSR, RLSD).
//
// Call log entries: "Open(<port>)", "Close", "ModemLines", "DTR(on|off)",
// "RTS(on|off)"; outputs holds every DTR/RTS level in order ("DTR on", ...).
class FakeSerialPort : public SerialPort
{
public:
    explicit FakeSerialPort(CallLog *log = nullptr) : log_(log) {}
    ~FakeSerialPort() override { ClosePort(); }

    void OpenPort() override
    {
        if (Connected()) return;
        Q_EMIT OnBeforeOpen();
        add(QStringLiteral("Open(%1)").arg(Port()));
        ++opens;
        if (openError) throw EComPort(EComPort::OpenFailed, openError);
        setConnectedState(true);
        outputs << QStringLiteral("DTR on") << QStringLiteral("RTS on");
        dtr = rts = true;
        Q_EMIT OnAfterOpen();
        Q_EMIT OnCTSChange(lines.testFlag(ModemLine::CTS));
        Q_EMIT OnDSRChange(lines.testFlag(ModemLine::DSR));
        Q_EMIT OnRLSDChange(lines.testFlag(ModemLine::RLSD));
    }
    void ClosePort() override
    {
        if (!Connected()) return;
        Q_EMIT OnCTSChange(false);
        Q_EMIT OnDSRChange(false);
        Q_EMIT OnRLSDChange(false);
        Q_EMIT OnBeforeClose();
        add(QStringLiteral("Close"));
        if (closeError) throw EComPort(EComPort::PurgeFailed, closeError);
        setConnectedState(false);
        Q_EMIT OnAfterClose();
    }
    ModemLineSet ModemLines() override
    {
        add(QStringLiteral("ModemLines"));
        ++lineReads;
        if (modemError) throw EComPort(EComPort::ModemStatusFailed, modemError);
        return lines;
    }
    void DriveDtr(bool on) override
    {
        add(QStringLiteral("DTR(%1)").arg(onOff(on)));
        if (dtrError) throw EComPort(EComPort::EscapeFailed, dtrError);
        dtr = on;
        outputs << QStringLiteral("DTR ") + onOff(on);
    }
    void DriveRts(bool on) override
    {
        add(QStringLiteral("RTS(%1)").arg(onOff(on)));
        if (rtsError) throw EComPort(EComPort::EscapeFailed, rtsError);
        rts = on;
        outputs << QStringLiteral("RTS ") + onOff(on);
    }

    // The UPS changes its lines; while open the change is announced.
    void SetLines(ModemLineSet now)
    {
        const ModemLineSet before = lines;
        lines = now;
        if (!Connected()) return;
        if (before.testFlag(ModemLine::CTS) != now.testFlag(ModemLine::CTS))
            Q_EMIT OnCTSChange(now.testFlag(ModemLine::CTS));
        if (before.testFlag(ModemLine::DSR) != now.testFlag(ModemLine::DSR))
            Q_EMIT OnDSRChange(now.testFlag(ModemLine::DSR));
        if (before.testFlag(ModemLine::RLSD) != now.testFlag(ModemLine::RLSD))
            Q_EMIT OnRLSDChange(now.testFlag(ModemLine::RLSD));
    }

    ModemLineSet lines;
    // errno values; 0 lets the call succeed
    int openError = 0;
    int closeError = 0;
    int modemError = 0;
    int dtrError = 0;
    int rtsError = 0;

    bool dtr = false;
    bool rts = false;
    QStringList outputs;
    int opens = 0;
    int lineReads = 0;

private:
    static QString onOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }
    void add(const QString &entry)
    {
        if (log_) log_->Add(entry);
    }
    CallLog *log_;
};
