// Serial layer without emulation: error texts, port names, the port list, Port/Connected rules, failed opens.
#include "devices/comport.h"
#include "devices/serialportlist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace {

template <typename F> EComPort raised(F &&f)
{
    try {
        f();
    } catch (const EComPort &e) {
        return e;
    }
    ADD_FAILURE() << "no EComPort raised";
    return EComPort(0, 0);
}

TEST(EComPort, MessageIsTheCodeTextAndTheSystemErrorNumber)
{
    const struct
    {
        int code;
        const char *text;
    } rows[] = {
        {1, "Unable to open com port"},
        {5, "PurgeComm function failed"},
        {7, "SetCommState function failed"},
        {8, "SetCommTimeouts failed"},
        {9, "SetupComm function failed"},
        {11, "GetCommModemStatus function failed"},
        {12, "EscapeCommFunction function failed"},
        {23, "Registry error"},
    };
    for (const auto &row : rows) {
        const EComPort e(row.code, 2);
        EXPECT_EQ(e.code(), row.code);
        EXPECT_EQ(e.winCode(), 2);
        EXPECT_EQ(std::string(e.what()), std::string(row.text) + " (win error code: 2)");
    }
    EXPECT_STREQ(EComPort(11, EIO).what(), "GetCommModemStatus function failed (win error code: 5)");
}

TEST(ComPortNames, MapToDevicePaths)
{
    const struct
    {
        const char *port;
        const char *path;
    } rows[] = {
        {"COM1", "/dev/ttyS0"}, // settings carried over from Windows
        {"com3", "/dev/ttyS2"}, // Windows port names are not case-sensitive
        {"COM10", "/dev/ttyS9"},
        {"COM0", "/dev/COM0"}, // no such Windows port: only a name
        {"COM1x", "/dev/COM1x"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"serial/by-id/usb-UPS", "/dev/serial/by-id/usb-UPS"},
        {"/dev/ttyACM0", "/dev/ttyACM0"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(TComPort::DevicePath(QString::fromLatin1(row.port)), QString::fromLatin1(row.path))
            << row.port;
}

// A sysfs class/tty tree in a temporary folder.
class FakeSysfs : public ::testing::Test
{
protected:
    void addTty(const QString &name, bool hasDevice, const QString &type = QString(),
                const QString &uartclk = QString())
    {
        const QString dir = root.path() + QStringLiteral("/class/tty/") + name;
        ASSERT_TRUE(QDir().mkpath(dir));
        if (hasDevice) {
            const QString device = root.path() + QStringLiteral("/devices/") + name;
            ASSERT_TRUE(QDir().mkpath(device));
            ASSERT_TRUE(QFile::link(device, dir + QStringLiteral("/device")));
        }
        const auto write = [&](const char *file, const QString &value) {
            if (value.isNull()) return;
            QFile f(dir + QLatin1Char('/') + QLatin1String(file));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(value.toLatin1() + '\n');
        };
        write("type", type);
        write("uartclk", uartclk);
    }

    QTemporaryDir root;
};

TEST_F(FakeSysfs, ListsRealDevicesOnlySortedWithoutRegardToCase)
{
    addTty(QStringLiteral("ttyS0"), true, QStringLiteral("4"), QStringLiteral("1843200"));
    addTty(QStringLiteral("ttyS1"), true, QStringLiteral("0"), QStringLiteral("1843200")); // placeholder
    addTty(QStringLiteral("ttyS2"), true, QStringLiteral("4"), QStringLiteral("0"));       // placeholder
    addTty(QStringLiteral("ttyS10"), true, QStringLiteral("4"), QStringLiteral("1843200"));
    addTty(QStringLiteral("ttyUSB0"), true);
    addTty(QStringLiteral("ttyacm0"), true);
    addTty(QStringLiteral("ttyAMA0"), true);
    addTty(QStringLiteral("tty0"), false); // virtual console
    addTty(QStringLiteral("console"), false);
    addTty(QStringLiteral("ptmx"), false);

    EXPECT_EQ(ListSerialPorts(root.path()),
              (QStringList{"/dev/ttyacm0", "/dev/ttyAMA0", "/dev/ttyS0", "/dev/ttyS10", "/dev/ttyUSB0"}));
}

TEST_F(FakeSysfs, NoPortsRaisesCode23)
{
    addTty(QStringLiteral("tty0"), false);
    addTty(QStringLiteral("ttyS0"), true, QStringLiteral("0"), QStringLiteral("0"));
    EComPort e = raised([&] { ListSerialPorts(root.path()); });
    EXPECT_EQ(e.code(), 23);
    EXPECT_EQ(e.winCode(), ENOENT);
    EXPECT_EQ(raised([&] { ListSerialPorts(root.path() + QStringLiteral("/absent")); }).code(), 23);
}

// Records what the shared Port/Connected rules ask of an implementation.
class RecordingPort : public SerialPort
{
public:
    void OpenPort() override
    {
        calls.push_back("open " + Port().toStdString());
        setConnectedState(true);
    }
    void ClosePort() override
    {
        calls.push_back("close " + Port().toStdString());
        setConnectedState(false);
    }
    ModemLineSet ModemLines() override { return {}; }
    void DriveDtr(bool) override {}
    void DriveRts(bool) override {}

    std::vector<std::string> calls;
};

TEST(SerialPortRules, PortAndConnectedSetters)
{
    RecordingPort port;
    EXPECT_EQ(port.Port(), QStringLiteral("COM1"));
    port.SetPort(QStringLiteral("COM1"));
    port.SetPort(QStringLiteral("COM3")); // closed: only stored
    port.SetConnected(false);
    EXPECT_TRUE(port.calls.empty());

    port.SetConnected(true);
    port.SetConnected(true);
    port.SetPort(QStringLiteral("COM3"));
    port.SetPort(QStringLiteral("COM4")); // open: close, then open under the new name
    port.SetConnected(false);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"open COM3", "close COM3", "open COM4", "close COM4"}));
}

class FailedOpen : public ::testing::Test
{
protected:
    static int openDescriptors()
    {
        return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System).size());
    }
};

TEST_F(FailedOpen, LeavesThePortClosedWithNothingHeld)
{
    TComPort port;
    const int before = openDescriptors();

    port.SetPort(QStringLiteral("ttyKestravaAbsent0"));
    EComPort missing = raised([&] { port.OpenPort(); });
    EXPECT_EQ(missing.code(), 1);
    EXPECT_EQ(missing.winCode(), ENOENT);
    EXPECT_STREQ(missing.what(), "Unable to open com port (win error code: 2)");
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(raised([&] { port.OpenPort(); }).code(), 1) << "a second open tries again";

    // not a device at all
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("plain"));
    QFile(file).open(QIODevice::WriteOnly);
    port.SetPort(file);
    EComPort plain = raised([&] { port.OpenPort(); });
    EXPECT_EQ(plain.code(), 1);
    EXPECT_EQ(plain.winCode(), ENOTTY);

    // a pty is a terminal without modem lines: the settings take, raising
    // DTR/RTS does not, and the open is undone
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const int withPty = openDescriptors();
    port.SetPort(QString::fromLatin1(name));
    EComPort pty = raised([&] { port.OpenPort(); });
    EXPECT_EQ(pty.code(), 7);
    EXPECT_EQ(pty.winCode(), ENOTTY);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(openDescriptors(), withPty) << "a failed open kept a descriptor";
    ::close(slave);
    ::close(master);

    EXPECT_EQ(openDescriptors(), before);
}

TEST(ClosedPort, LineAccessFailsWithTheTableCodes)
{
    TComPort port;
    EXPECT_EQ(raised([&] { port.ModemLines(); }).code(), 11);
    EXPECT_EQ(raised([&] { port.DriveDtr(true); }).code(), 12);
    EXPECT_EQ(raised([&] { port.DriveRts(false); }).winCode(), EBADF);
    EXPECT_NO_THROW(port.ClosePort());
}

} // namespace
