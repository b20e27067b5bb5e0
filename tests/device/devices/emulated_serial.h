// An emulated serial UPS port: a umockdev tty whose modem lines a test drives and whose DTR/RTS it records.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/ioctl.h>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

// Adds a tty (e.g. "ttyUSB0", backed by a pty) to a testbed and answers its
// modem-line ioctls: TIOCMGET gives the lines set here, TIOCMBIS/TIOCMBIC move
// DTR/RTS and are recorded, TIOCMIWAIT waits until a watched line changes.
// Everything else goes to the pty (termios reaches it directly anyway).
//
// umockdev cannot interrupt a pending TIOCMIWAIT with a signal, so the port
// ends pending waits itself with EINTR every 100 ms (and at once through
// endWaits()), as a real port does when its waiter is signalled. An idle
// measurement picks a longer period, so the wake-ups it counts are few and
// known to be the emulation's.
class EmulatedSerial
{
public:
    EmulatedSerial(UMockdevTestbed *testbed, const std::string &name,
                   std::chrono::milliseconds waitPeriod = std::chrono::milliseconds(100));
    ~EmulatedSerial();
    EmulatedSerial(const EmulatedSerial &) = delete;
    EmulatedSerial &operator=(const EmulatedSerial &) = delete;

    std::string path() const { return "/dev/" + m_name; }
    std::string sysfsPath() const { return m_sysfsPath; }

    // Inputs from the UPS (TIOCM_CTS, TIOCM_CD, TIOCM_DSR, TIOCM_RNG bits);
    // a change of a watched line completes a pending TIOCMIWAIT.
    void setCts(bool on) { setInput(TIOCM_CTS, on); }
    void setDcd(bool on) { setInput(TIOCM_CD, on); }
    void setDsr(bool on) { setInput(TIOCM_DSR, on); }
    void setInputs(int bits); // all four inputs at once, one change
    int lines() const;        // inputs and outputs as TIOCMGET gives them
    bool dtr() const;
    bool rts() const;
    // Every DTR/RTS command the port received, in order: "DTR on", "RTS off", ...
    std::vector<std::string> outputHistory() const;

    // The device goes away: every later ioctl fails with EIO, pending waits too.
    void unplug();
    // Ends pending waits with EINTR now.
    void endWaits();
    // A driver without TIOCMIWAIT (answers ENOTTY), which forces line polling.
    void setWaitSupported(bool supported);
    // TCFLSH (the purge at close) fails with this errno; 0 lets it through.
    void setFlushError(int error);

    int ioctlCalls() const;   // every ioctl so far, answered or failed
    int lineReads() const;    // TIOCMGET calls so far
    int waitsStarted() const; // TIOCMIWAIT calls so far
    int waitsPending() const;

    // For the ioctl handler (runs in the testbed's worker thread).
    bool handleIoctl(UMockdevIoctlClient *client);

private:
    void setInput(int bit, bool on);
    void endWaitsWith(int error, int changedMask);

    UMockdevTestbed *m_testbed;
    UMockdevIoctlBase *m_handler = nullptr;
    std::string m_name;
    std::string m_sysfsPath;

    mutable std::mutex m_mutex;
    int m_lines = 0;
    std::vector<std::string> m_history;
    struct Wait
    {
        UMockdevIoctlClient *client;
        int mask;
    };
    std::vector<Wait> m_waits;
    bool m_unplugged = false;
    bool m_waitSupported = true;
    int m_flushError = 0;
    int m_ioctlCalls = 0;
    int m_lineReads = 0;
    int m_waitsStarted = 0;

    std::chrono::milliseconds m_waitPeriod;
    std::condition_variable m_tick;
    bool m_stopTicker = false;
    std::thread m_ticker;
};
