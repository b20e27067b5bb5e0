// The serial link end to end: the real port on an emulated tty, link selection and the status model.
#include "chain_fixture.h"
#include "monitor/upspoweroff.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Outputs = std::vector<std::string>;

class SerialChain : public SerialChainTest
{
protected:
    SerialChain() : SerialChainTest(true) {}
    void SetUp() override
    {
        SerialChainTest::SetUp();
        if (HasFatalFailure()) return;
        serial = &AddSerial("ttyUSB7");
    }

    void SelectEmulatedPort() { Select(*serial); }
    int RtsRaises() const
    {
        int n = 0;
        for (const std::string &o : serial->outputHistory())
            n += o == "RTS on";
        return n;
    }

    EmulatedSerial *serial = nullptr;
};

} // namespace

TEST_F(SerialChain, OpeningDropsDtrAfterTheSettingsRaisedItAndHoldsRtsHigh)
{
    serial->setInputs(TIOCM_CTS | TIOCM_CD);
    settings.Set("sCOM", QString::fromStdString(serial->path()));
    links->SelectLink();
    EXPECT_EQ(serial->outputHistory(), (Outputs{"DTR on", "RTS on", "DTR off", "RTS on"}));
    EXPECT_EQ(view.lines.value(DisplayLine::Port), QString::fromUtf8("> 监控端口:") + serial->path().c_str());
    ASSERT_TRUE(PumpUntil([&] { return !links->tmDelay.isActive(); }));
    // the open's own evaluation, without any line change, raises RTS once more
    EXPECT_EQ(serial->outputHistory(), (Outputs{"DTR on", "RTS on", "DTR off", "RTS on", "RTS on"}));
    EXPECT_FALSE(serial->dtr());
    EXPECT_EQ(Now(), std::make_tuple(1, 1, 1));
}

TEST_F(SerialChain, EachLineRowReachesTheThreeStates)
{
    struct Row
    {
        int inputs;
        std::tuple<int, int, int> states; // mains, battery, link
    };
    const Row rows[] = {
        {TIOCM_CTS | TIOCM_CD, {1, 1, 1}},
        {TIOCM_CTS, {0, 0, 1}},
        {TIOCM_CD, {0, 1, 1}},
        {0, {2, 2, 0}},
        {TIOCM_CTS | TIOCM_CD | TIOCM_DSR, {1, 1, 1}},
    };
    SelectEmulatedPort();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.inputs);
        const int raises = RtsRaises();
        serial->setInputs(row.inputs);
        ASSERT_TRUE(PumpUntil([&] { return RtsRaises() > raises; })) << "no evaluation";
        EXPECT_EQ(Now(), row.states);
        EXPECT_TRUE(serial->rts());
        EXPECT_FALSE(serial->dtr());
    }
    // failure, battery low, (mains still failed), unknown: the logged events
    EXPECT_EQ(events.lines, (QStringList{QString::fromUtf8("市电断电"), QString::fromUtf8("电池电压低")}));
}

TEST_F(SerialChain, APortThatCannotBeOpenedShowsTheAlertAndLeavesTheStatesUnknown)
{
    struct Row
    {
        const char *why;
        bool heldByAnother;
    };
    for (const Row row : {Row{"absent", false}, Row{"held by another opener", true}}) {
        SCOPED_TRACE(row.why);
        alerts.alerts.clear();
        TComPort other;
        QString name = QStringLiteral("/dev/ttyKestravaAbsent");
        if (row.heldByAnother) {
            name = QString::fromStdString(serial->path());
            other.SetPort(name);
            other.OpenPort();
            ASSERT_TRUE(other.Connected());
        }
        settings.Set("sCOM", name);
        links->SelectLink();
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(alerts.alerts,
                  QStringList{QString::fromUtf8("ShowAlert(打开串口%1失败,-1,false,-1)").arg(name)});
        PumpFor(400);
        EXPECT_EQ(Now(), std::make_tuple(2, 2, 2));
        EXPECT_TRUE(events.lines.isEmpty());
        // a selection elsewhere, so the next row is a change again
        settings.Set("sCOM", "USB");
        links->SelectLink();
    }
}

TEST_F(SerialChain, AGlitchShorterThanTheWindowGivesOneUnchangedEvaluation)
{
    serial->setInputs(TIOCM_CTS | TIOCM_CD);
    SelectEmulatedPort();
    log.entries.clear();
    const int raises = RtsRaises();

    serial->setCts(false);
    PumpFor(100);
    serial->setCts(true);
    ASSERT_TRUE(PumpUntil([&] { return RtsRaises() > raises; }));
    PumpFor(400); // nothing else may follow
    EXPECT_EQ(RtsRaises(), raises + 1);
    // the link animation goes on meanwhile; its frames are not effects of the evaluation
    QStringList effects = log.entries;
    const QRegularExpression frame(QStringLiteral(R"(^Image\(Link,(2[4-9]|3[01])\)$)"));
    effects.removeIf([&](const QString &e) { return frame.match(e).hasMatch(); });
    EXPECT_TRUE(effects.isEmpty()) << effects.join(" | ").toStdString();
    EXPECT_EQ(Now(), std::make_tuple(1, 1, 1));
}

TEST_F(SerialChain, ABurstOfFlapsEndsInTheTrueStateWithOneLogLinePerTransitionSeen)
{
    serial->setInputs(TIOCM_CTS | TIOCM_CD);
    SelectEmulatedPort();

    // the UPS flaps CTS from its own thread while the program runs
    std::atomic<bool> done{false};
    std::thread ups([&] {
        for (int i = 0; i < 10000; ++i)
            serial->setCts(i % 2 == 0); // off first, off last: mains failed
        done = true;
    });
    const bool finished = PumpUntil([&] { return done.load(); }, 15000);
    ups.join();
    ASSERT_TRUE(finished);
    ASSERT_TRUE(PumpUntil([&] { return !links->tmDelay.isActive() && status.MainsState() == 0; }))
        << "mains " << int(status.MainsState()) << " lines " << serial->lines() << " events "
        << events.lines.join(",").toStdString();
    PumpFor(400);
    EXPECT_EQ(Now(), std::make_tuple(0, 1, 1));
    ASSERT_FALSE(events.lines.isEmpty());
    // failures and recoveries alternate: no transition was logged twice
    for (int i = 0; i < events.lines.size(); ++i)
        EXPECT_EQ(events.lines[i], QString::fromUtf8(i % 2 == 0 ? "市电断电" : "市电恢复")) << i;
    EXPECT_EQ(events.lines.last(), QString::fromUtf8("市电断电"));
    EXPECT_EQ(alerts.alerts.size(), events.lines.size());
}

TEST_F(SerialChain, PowerOffRaisesDtrAndItStaysRaisedAfterTheClose)
{
    SelectEmulatedPort();
    settings.Set("bShutUPS", true);
    QTemporaryDir dir;
    UpsPowerOff(*links, events, settings, dir.path() + "/").PowerOffUps("ALL");
    EXPECT_TRUE(serial->dtr());
    EXPECT_EQ(events.lines, QStringList{QString::fromUtf8("UPS强制关闭")});

    // the tty does not drop DTR on the last close (no hang-up on close)
    const int fd = ::open(serial->path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(tio.c_cflag & HUPCL, 0u);
    port.ClosePort();
    EXPECT_TRUE(serial->dtr());
    EXPECT_EQ(serial->outputHistory().back(), "DTR on");
}
