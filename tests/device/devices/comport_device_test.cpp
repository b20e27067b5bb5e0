// TComPort against a tty emulated by umockdev: settings, announcements, hand-overs, closing, unplugging.
#include <umockdev.h>

#include "devices/comport.h"
#include "devices/serialportlist.h"
#include "emulated_serial.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Pumps the event loop until pred holds or the bound runs out.
bool waitFor(const std::function<bool()> &pred, int boundMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > boundMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// What the port announced, in order ("CTS on", "RLSD off", "opened", ...), and
// whether every announcement ran on the object's thread.
struct Announcements
{
    std::vector<std::string> seen;
    bool allOnUiThread = true;

    void watch(SerialPort &port)
    {
        const auto line = [this](const char *name) {
            return [this, name](bool on) {
                allOnUiThread = allOnUiThread && QThread::currentThread() == qApp->thread();
                seen.push_back(std::string(name) + (on ? " on" : " off"));
            };
        };
        QObject::connect(&port, &SerialPort::OnCTSChange, &port, line("CTS"));
        QObject::connect(&port, &SerialPort::OnDSRChange, &port, line("DSR"));
        QObject::connect(&port, &SerialPort::OnRLSDChange, &port, line("RLSD"));
        QObject::connect(&port, &SerialPort::OnAfterOpen, &port, [this] { seen.push_back("opened"); });
        QObject::connect(&port, &SerialPort::OnAfterClose, &port, [this] { seen.push_back("closed"); });
    }
    // The last announced state of each line, as ModemLines bits.
    int lastState() const
    {
        int bits = 0;
        for (const char *name : {"CTS", "DSR", "RLSD"}) {
            for (auto it = seen.rbegin(); it != seen.rend(); ++it) {
                if (it->rfind(std::string(name) + " ", 0) == 0) {
                    if (it->ends_with(" on")) bits |= name[0] == 'C' ? 1 : name[0] == 'D' ? 2 : 8;
                    break;
                }
            }
        }
        return bits;
    }
};

class ComPortDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testbed = umockdev_testbed_new();
        ASSERT_TRUE(umockdev_in_mock_environment()) << "these tests run under umockdev-wrapper";
        serial = addSerial();
        port = std::make_unique<TComPort>();
        port->SetPort(QString::fromStdString(serial->path()));
        announced.watch(*port);
    }

    void TearDown() override
    {
        port.reset();
        others.clear();
        serial.reset();
        if (testbed) g_object_unref(testbed);
    }

    std::unique_ptr<EmulatedSerial> addSerial()
    {
        static int next = 0;
        return std::make_unique<EmulatedSerial>(testbed, "ttyUSB" + std::to_string(next++));
    }

    // Waits until the watcher sleeps in its wait, so nothing is in flight.
    void waitUntilWatching()
    {
        ASSERT_TRUE(waitFor([&] { return serial->waitsPending() > 0; })) << "the watcher never waited";
    }

    UMockdevTestbed *testbed = nullptr;
    std::unique_ptr<EmulatedSerial> serial;
    std::vector<std::unique_ptr<EmulatedSerial>> others;
    std::unique_ptr<TComPort> port;
    Announcements announced;
};

using Seen = std::vector<std::string>;

TEST_F(ComPortDevice, OpenAppliesFixedRawSettingsAndTheLinkDrivesDtrRts)
{
    port->OpenPort();
    ASSERT_TRUE(port->Connected());

    // read back what the tty was set to, through a descriptor of our own
    const int fd = ::open(serial->path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&tio), B9600);
    EXPECT_EQ(::cfgetispeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u) << "no parity, one stop bit, no flow control";
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_cflag & HUPCL, 0u) << "DTR must stay raised after close";
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    EXPECT_EQ(serial->outputHistory(), (Seen{"DTR on", "RTS on"})) << "applying the settings raises both";

    // what the link does right after opening, then the power-off command
    port->DriveDtr(false);
    port->DriveRts(true);
    EXPECT_FALSE(serial->dtr());
    EXPECT_TRUE(serial->rts());
    port->DriveDtr(true);
    port->DriveRts(false);
    EXPECT_TRUE(serial->dtr());
    EXPECT_FALSE(serial->rts());
    port->ClosePort();
    EXPECT_EQ(serial->outputHistory(), (Seen{"DTR on", "RTS on", "DTR off", "RTS on", "DTR on", "RTS off"}))
        << "closing must not drive the lines";
}

TEST_F(ComPortDevice, OpenAndCloseAnnounceEveryLineInOrder)
{
    struct Row
    {
        int inputs;
        Seen expected;
    };
    const Row rows[] = {
        {TIOCM_CTS | TIOCM_CD, {"opened", "CTS on", "DSR off", "RLSD on"}},
        {TIOCM_DSR, {"opened", "CTS off", "DSR on", "RLSD off"}},
        {TIOCM_CD | TIOCM_RNG, {"opened", "CTS off", "DSR off", "RLSD on"}},
    };
    for (const Row &row : rows) {
        serial->setInputs(row.inputs);
        announced.seen.clear();
        port->OpenPort();
        // before OpenPort returned, without the event loop
        EXPECT_EQ(announced.seen, row.expected) << "inputs " << row.inputs;
        EXPECT_EQ(port->ModemLines().toInt() & 0xF,
                  ((row.inputs & TIOCM_CTS) ? 1 : 0) | ((row.inputs & TIOCM_DSR) ? 2 : 0) |
                      ((row.inputs & TIOCM_RNG) ? 4 : 0) | ((row.inputs & TIOCM_CD) ? 8 : 0));

        announced.seen.clear();
        port->ClosePort();
        EXPECT_EQ(announced.seen, (Seen{"CTS off", "DSR off", "RLSD off", "closed"}))
            << "inputs " << row.inputs;
        EXPECT_FALSE(port->Connected());
    }
    EXPECT_TRUE(announced.allOnUiThread);
}

TEST_F(ComPortDevice, LineChangesAreHandedOverOnTheUiThreadInOrder)
{
    port->OpenPort();
    waitUntilWatching();
    announced.seen.clear();

    serial->setCts(true);
    ASSERT_TRUE(waitFor([&] { return announced.seen.size() == 1; }));
    EXPECT_EQ(announced.seen, (Seen{"CTS on"}));

    // three lines in one change: one hand-over, CTS, DSR, RLSD in that order
    serial->setInputs(TIOCM_DSR | TIOCM_CD);
    ASSERT_TRUE(waitFor([&] { return announced.seen.size() == 4; }));
    EXPECT_EQ(announced.seen, (Seen{"CTS on", "CTS off", "DSR on", "RLSD on"}));
    EXPECT_TRUE(announced.allOnUiThread);
    EXPECT_EQ(port->ModemLines(), ModemLine::DSR | ModemLine::RLSD);

    // the ring indicator is not watched
    serial->setInputs(TIOCM_DSR | TIOCM_CD | TIOCM_RNG);
    serial->setDcd(false);
    ASSERT_TRUE(waitFor([&] { return announced.seen.size() == 5; }));
    EXPECT_EQ(announced.seen.back(), "RLSD off");
}

TEST_F(ComPortDevice, SecondOpenerIsRefusedUntilTheFirstIsGone)
{
    port->OpenPort();
    TComPort second;
    second.SetPort(port->Port());
    try {
        second.OpenPort();
        FAIL() << "a second opener got the port";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.code(), 1);
        EXPECT_EQ(e.winCode(), EBUSY);
    }
    EXPECT_FALSE(second.Connected());
    EXPECT_NO_THROW(port->ModemLines()) << "the refusal must not disturb the owner";

    port.reset(); // destruction closes the port
    ASSERT_NO_THROW(second.OpenPort());
    EXPECT_TRUE(second.Connected());
}

TEST_F(ComPortDevice, ClosingAQuietPortReturnsPromptly)
{
    port->OpenPort();
    waitUntilWatching();
    QElapsedTimer clock;
    clock.start();
    port->ClosePort();
    EXPECT_LT(clock.elapsed(), 1000) << "bound, not a benchmark";
    EXPECT_FALSE(port->Connected());
}

TEST_F(ComPortDevice, CloseWhileTheWatcherIsInAHandOverDoesNotDeadlock)
{
    port->OpenPort();
    waitUntilWatching();
    announced.seen.clear();

    // the watcher wakes and queues its hand-over; this thread does not run it
    const int reads = serial->lineReads();
    serial->setCts(true);
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (serial->lineReads() == reads && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    ASSERT_GT(serial->lineReads(), reads);
    std::this_thread::sleep_for(50ms);

    port->ClosePort();
    EXPECT_FALSE(port->Connected());
    // a late change may or may not be told, but never after the close
    ASSERT_GE(announced.seen.size(), 4u);
    const Seen tail(announced.seen.end() - 4, announced.seen.end());
    EXPECT_EQ(tail, (Seen{"CTS off", "DSR off", "RLSD off", "closed"}));
    EXPECT_LE(announced.seen.size(), 5u);
}

TEST_F(ComPortDevice, AHandlerMayCloseThePortDuringOpenOrAHandOver)
{
    QObject::connect(port.get(), &SerialPort::OnCTSChange, port.get(), [this](bool on) {
        if (on) port->ClosePort();
    });
    const Seen closing{"CTS off", "DSR off", "RLSD off", "closed"};

    // inside OpenPort's own announcements: the open has nothing left to do
    serial->setCts(true);
    ASSERT_NO_THROW(port->OpenPort());
    EXPECT_FALSE(port->Connected());
    Seen expected{"opened", "CTS on"};
    expected.insert(expected.end(), closing.begin(), closing.end());
    EXPECT_EQ(announced.seen, expected);

    // inside a hand-over: the watcher is parked in it and cannot be waited for
    serial->setCts(false);
    port->OpenPort();
    waitUntilWatching();
    announced.seen.clear();
    serial->setCts(true);
    ASSERT_TRUE(waitFor([&] { return !port->Connected(); }));
    expected = Seen{"CTS on"};
    expected.insert(expected.end(), closing.begin(), closing.end());
    EXPECT_EQ(announced.seen, expected);

    // the parked watcher has left by itself; the port opens again as new
    serial->setCts(false);
    announced.seen.clear();
    ASSERT_NO_THROW(port->OpenPort());
    waitUntilWatching();
    serial->setDcd(true);
    ASSERT_TRUE(waitFor([&] { return announced.seen.size() == 5; }));
    EXPECT_EQ(announced.seen.back(), "RLSD on");
}

TEST_F(ComPortDevice, UnpluggedDeviceFailsWithTheTableCodesWithoutSpinning)
{
    port->OpenPort();
    waitUntilWatching();
    serial->unplug();

    try {
        port->ModemLines();
        FAIL() << "lines read from a device that is gone";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.code(), 11);
        EXPECT_EQ(e.winCode(), EIO);
    }
    try {
        port->DriveDtr(true);
        FAIL() << "DTR driven on a device that is gone";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.code(), 12);
        EXPECT_EQ(e.winCode(), EIO);
    }
    EXPECT_TRUE(port->Connected()) << "the port stays marked open";

    // the watcher's wait failed: it must stop, not retry in a loop
    ASSERT_TRUE(waitFor([&] { return serial->waitsPending() == 0; }));
    const int before = serial->ioctlCalls();
    std::this_thread::sleep_for(300ms);
    QCoreApplication::processEvents();
    EXPECT_EQ(serial->ioctlCalls(), before);

    announced.seen.clear();
    EXPECT_NO_THROW(port->ClosePort());
    EXPECT_FALSE(port->Connected());
    EXPECT_EQ(announced.seen, (Seen{"CTS off", "DSR off", "RLSD off", "closed"}));
}

TEST_F(ComPortDevice, BurstOfFlapsEndsWithTheTrueState)
{
    port->OpenPort();
    waitUntilWatching();
    announced.seen.clear();

    const int patterns[] = {TIOCM_CTS, TIOCM_CTS | TIOCM_CD, TIOCM_CD, 0, TIOCM_CTS | TIOCM_DSR};
    constexpr int kFlaps = 10000;
    for (int i = 0; i < kFlaps; ++i) {
        serial->setInputs(patterns[i % 5]);
        if (i % 64 == 0) // let hand-overs run in between, so reads race with changes
            QCoreApplication::processEvents();
    }
    const int last = patterns[(kFlaps - 1) % 5]; // CTS|DSR
    const int expected =
        ((last & TIOCM_CTS) ? 1 : 0) | ((last & TIOCM_DSR) ? 2 : 0) | ((last & TIOCM_CD) ? 8 : 0);

    EXPECT_TRUE(waitFor([&] { return announced.lastState() == expected; }, 10000))
        << "last announced " << announced.lastState();
    EXPECT_EQ(port->ModemLines().toInt(), expected);
    // each announcement is a real change: a line is never told the same state twice running
    for (const char *name : {"CTS ", "DSR ", "RLSD "}) {
        std::string previous = std::string(name) + "off"; // the open announced all off
        for (const std::string &entry : announced.seen) {
            if (entry.rfind(name, 0) != 0) continue;
            EXPECT_NE(entry, previous);
            previous = entry;
        }
    }
}

TEST_F(ComPortDevice, DriverWithoutChangeWaitsIsPolled)
{
    serial->setWaitSupported(false);
    port->OpenPort();
    announced.seen.clear();
    serial->setCts(true);
    ASSERT_TRUE(waitFor([&] { return announced.seen.size() == 1; }));
    EXPECT_EQ(announced.seen, (Seen{"CTS on"}));

    QElapsedTimer clock;
    clock.start();
    port->ClosePort();
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(ComPortDevice, FailedPurgeIsReportedAfterThePortIsClosed)
{
    port->OpenPort();
    serial->setFlushError(EINVAL);
    try {
        port->ClosePort();
        FAIL() << "a failed purge was reported as success";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.code(), 5);
        EXPECT_EQ(e.winCode(), EINVAL);
        EXPECT_STREQ(e.what(), "PurgeComm function failed (win error code: 22)");
    }
    EXPECT_FALSE(port->Connected());
    serial->setFlushError(0);
    EXPECT_NO_THROW(port->OpenPort()) << "the failed close left the port locked";
}

TEST_F(ComPortDevice, ChangingThePortWhileOpenMovesToTheNewDevice)
{
    others.push_back(addSerial());
    EmulatedSerial &other = *others.back();
    port->OpenPort();
    port->SetPort(QString::fromStdString(other.path()));
    EXPECT_TRUE(port->Connected());
    EXPECT_EQ(other.outputHistory(), (Seen{"DTR on", "RTS on"}));
    other.setDsr(true);
    ASSERT_TRUE(waitFor([&] { return !announced.seen.empty() && announced.seen.back() == "DSR on"; }));

    TComPort first;
    first.SetPort(QString::fromStdString(serial->path()));
    EXPECT_NO_THROW(first.OpenPort()) << "the old device is still held";
}

TEST_F(ComPortDevice, ListsTheEmulatedAdapter)
{
    EXPECT_EQ(ListSerialPorts(), QStringList{QString::fromStdString(serial->path())});
}

} // namespace
