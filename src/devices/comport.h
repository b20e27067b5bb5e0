// TComPort: the serial port on termios, with a thread that waits for modem-line changes.
#pragma once

#include "devices/serialport.h"

#include <memory>
#include <thread>

// The port is opened exclusively with the fixed line setting 9600 8N1 raw, no
// flow control; applying it raises DTR and RTS. HUPCL is cleared so a raised
// DTR (the UPS power-off line) stays raised after the port is closed or the
// process ends. No data is ever read or written.
//
// While open, a thread of its own sleeps in the kernel until CTS, DSR or DCD
// changes and hands each change to the object's thread synchronously, so the
// handlers run there and never concurrently with it. ClosePort keeps handing
// over while it waits for that thread, so it may be called at any time on the
// object's thread, also from a line-change handler. Do not delete the object
// from inside one of its own handlers (use deleteLater).
class TComPort : public SerialPort
{
    Q_OBJECT

public:
    explicit TComPort(QObject *parent = nullptr);
    ~TComPort() override;

    void OpenPort() override;
    void ClosePort() override;
    ModemLineSet ModemLines() override;
    void DriveDtr(bool on) override;
    void DriveRts(bool on) override;

    // The device path opened for a port name: a path as it stands, "COMn" (any
    // case, settings carried over from Windows) as /dev/ttyS(n-1), any other
    // name under /dev.
    static QString DevicePath(const QString &port);

private:
    struct Watch;

    void applyPortSettings();
    void startWatcher(int announcedLines);
    void stopWatcher();
    void deliver(const std::shared_ptr<Watch> &watch, int changed, int lines);
    void drive(int line, bool on);
    void closeDescriptors();
    static void watchLines(TComPort *port, std::shared_ptr<Watch> watch, int lineFd, int waitFd,
                           int announcedLines);

    int m_fd = -1;     // settings, DTR/RTS, line reads
    int m_waitFd = -1; // the watcher's waits only, so a pending wait never holds up the others
    std::thread m_thread;
    std::shared_ptr<Watch> m_watch;
    Watch *m_inHandOver = nullptr; // the watcher whose hand-over is running right now
    unsigned m_session = 0;        // counts opens, so a handler that reopens is noticed
    bool m_closing = false;
};
