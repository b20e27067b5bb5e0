// The recording build of the program against the virtual UPS: what the UPS, the mail server, the event
// log and the program folder show.
#include "virtual_screen.h"
#include "virtual_ups_run.h"

#include "lang/inifile.h"
#include "lang/messages.h"
#include "store/database.h"
#include "support/smtp_test_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kPassword = QString::fromLatin1(kDatabasePassword);
const QString kPowerOffReport =
    QStringLiteral("received the power-off report (9 bytes: 00 01 00 00 00 00 00 00 00)");

// The user's alert texts, set so the log rows say which event they are.
const QStringList kTexts = {QStringLiteral("--set"), QStringLiteral("sACOff=e2e mains failed"),
                            QStringLiteral("--set"), QStringLiteral("sACOn=e2e mains back"),
                            QStringLiteral("--set"), QStringLiteral("sBatDown=e2e battery low"),
                            QStringLiteral("--set"), QStringLiteral("sBatUp=e2e battery back"),
                            QStringLiteral("--set"), QStringLiteral("iWarnTimer=5")};

QStringList Log(VirtualUpsRun &run)
{
    return EventLog(run.Folder() + QStringLiteral("Kestrava.mdb"), kPassword);
}

int CountOf(const QStringList &rows, const QString &text)
{
    return static_cast<int>(rows.count(text));
}

bool SomethingListensOnSmtp()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(25);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool listening = ::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
    ::close(fd);
    return listening;
}

// The second-instance and database-failure boxes block their program until
// answered: these tests answer them on a screen of their own.
#define REQUIRE_SCREEN(screen)                                                                               \
    if (!VirtualScreenAvailable()) GTEST_SKIP() << "needs Xvfb and xdotool";                                 \
    ASSERT_TRUE((screen).Start()) << "no Xvfb display could be started"

} // namespace

TEST(EndToEnd, SerialMainsFailureToRecoveryIsLogged)
{
    VirtualUpsRun run(QStringList{QStringLiteral("--serial")} + kTexts,
                      QStringLiteral("+0s wait link 40s\n+1s mains off\n+2s mains on\n+2s quit\n"));
    ASSERT_TRUE(run.Start());
    ASSERT_EQ(run.Finish(70000), 0) << run.Transcript();

    EXPECT_EQ(Log(run), (QStringList{Msg().msgMonStart, QStringLiteral("e2e mains failed"),
                                     QStringLiteral("e2e mains back")}));
    // the cable as the program holds it: DTR low, RTS high, and no power-off
    EXPECT_GE(run.Count(QStringLiteral("UPS: RTS on")), 1);
    EXPECT_GE(run.Count(QStringLiteral("UPS: DTR off")), 1);
    EXPECT_EQ(run.Count(QStringLiteral("DTR raised: the power-off command")), 0);
    EXPECT_EQ(run.Count(QStringLiteral("program: ended")), 0);
}

TEST(EndToEnd, AlertMailsReachTheServer)
{
    if (SomethingListensOnSmtp()) GTEST_SKIP() << "127.0.0.1:25 is taken (no private network here)";
    SmtpTestServer::Options mailOptions;
    mailOptions.port = 25;
    SmtpTestServer mail(mailOptions);
    if (!mail.start()) GTEST_SKIP() << "no mail server on 127.0.0.1:25: " << mail.errorString().toStdString();

    VirtualUpsRun run(QStringList{QStringLiteral("--serial"), QStringLiteral("--set"),
                                  QStringLiteral("bEMAIL=1"), QStringLiteral("--set"),
                                  QStringLiteral("sSenderServer=127.0.0.1"), QStringLiteral("--set"),
                                  QStringLiteral("sSenderEmail=ups@example.com"), QStringLiteral("--mail-to"),
                                  QStringLiteral("0:admin@example.com")} +
                          kTexts,
                      QStringLiteral("+0s wait link 40s\n+1s mains off\n+3s mains on\n+3s quit\n"));
    ASSERT_TRUE(run.Start());
    ASSERT_EQ(run.Finish(70000), 0) << run.Transcript();

    const QStringList rows = Log(run);
    EXPECT_EQ(CountOf(rows, QStringLiteral("e2e mains failed")), 1)
        << rows.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(CountOf(rows, QStringLiteral("e2e mains back")), 1);
    EXPECT_EQ(CountOf(rows, Msg().msgSendMailOK), 2);
    EXPECT_EQ(CountOf(rows, Msg().msgSendMailErr), 0);

    const QList<SmtpTestServer::Message> mails = mail.messages();
    ASSERT_EQ(mails.size(), 2);
    EXPECT_EQ(mails[0].rcptTos, QStringList{QStringLiteral("admin@example.com")});
    EXPECT_EQ(mails[0].headers.value(QStringLiteral("Subject")).toString(),
              QStringLiteral("Kestrava:e2e mains failed"));
    EXPECT_EQ(mails[1].headers.value(QStringLiteral("Subject")).toString(),
              QStringLiteral("Kestrava:e2e mains back"));
}

TEST(EndToEnd, UsbBatteryLowRunsTheWholeShutdown)
{
    VirtualUpsRun run(
        QStringList{QStringLiteral("--usb"), QStringLiteral("--shutdown-after"), QStringLiteral("3s")} +
            kTexts,
        QStringLiteral("+0s wait link 40s\n+1s mains off\n+1s battery low\n"
                       "+0s wait power-off 30s\n+3s quit\n"));
    ASSERT_TRUE(run.Start());
    ASSERT_EQ(run.Finish(80000), 0) << run.Transcript();

    // the auto-save program ran and was waited for before the UPS was told
    EXPECT_EQ(run.ReadFile(QStringLiteral("shutsave-runs.log")), QStringLiteral("started\nended\n"));
    const std::optional<double> saveStarted = run.TimeOf(QStringLiteral("SHUTSAVE.EXE started"));
    const std::optional<double> firstReport = run.TimeOf(kPowerOffReport);
    ASSERT_TRUE(saveStarted && firstReport) << run.Transcript();
    EXPECT_GE(*firstReport - *saveStarted, 0.9) << "the power-off report came before SHUTSAVE.EXE had ended";

    // two power-off reports (before and after the system's power-off), one recorded request
    EXPECT_EQ(run.Count(kPowerOffReport), 2) << run.Transcript();
    EXPECT_EQ(run.ReadFile(QStringLiteral("poweroff-requests.log")).count(QLatin1Char('\n')), 1);
    EXPECT_FALSE(QFile::exists(run.Folder() + QStringLiteral("blocked-power-commands.log")));

    const QStringList rows = Log(run);
    const qsizetype low = rows.indexOf(QStringLiteral("e2e battery low"));
    ASSERT_GE(low, 0) << rows.join(QLatin1Char('|')).toStdString();
    const QStringList tail = rows.mid(rows.size() - 3);
    EXPECT_EQ(tail, (QStringList{Msg().msgUPSShutdown, Msg().msgSysShutDown, Msg().msgUPSShutdown}))
        << rows.join(QLatin1Char('|')).toStdString();
    EXPECT_LT(low, rows.size() - 3);

    EXPECT_EQ(
        IniFile(run.Folder() + QStringLiteral("Kestrava.INI"))
            .readString(QStringLiteral("settings"), QStringLiteral("ShutDownUPS"), QStringLiteral("missing")),
        QStringLiteral("0"));
    // it waits for the system to end it, which the recording build never does
    EXPECT_EQ(run.Count(QStringLiteral("program: ended")), 0);
}

TEST(EndToEnd, UsbUnplugForLongerThanTheLossTimeIsNotLoggedAndReplugRecovers)
{
    VirtualUpsRun run(QStringList{QStringLiteral("--usb")} + kTexts,
                      QStringLiteral("+0s wait link 40s\n+1s unplug\n+4s plug\n+0s wait link 20s\n"
                                     "+1s mains off\n+2s quit\n"));
    ASSERT_TRUE(run.Start());
    ASSERT_EQ(run.Finish(70000), 0) << run.Transcript();

    EXPECT_EQ(Log(run), (QStringList{Msg().msgMonStart, QStringLiteral("e2e mains failed")}));
    EXPECT_EQ(run.Count(QStringLiteral("UPS: keep-alives stopped")), 1) << run.Transcript();
    EXPECT_EQ(run.Count(QStringLiteral("UPS: keep-alives started")), 2);
    EXPECT_EQ(run.Count(QStringLiteral("program: ended")), 0);
}

TEST(EndToEnd, MailServerDownIsOneLogRowAndTheCountdownGoesOn)
{
    if (SomethingListensOnSmtp()) GTEST_SKIP() << "127.0.0.1:25 is taken (no private network here)";
    // only the battery-low alert has a recipient
    VirtualUpsRun run(QStringList{QStringLiteral("--usb"), QStringLiteral("--shutdown-after"),
                                  QStringLiteral("3s"), QStringLiteral("--set"), QStringLiteral("bEMAIL=1"),
                                  QStringLiteral("--set"), QStringLiteral("sSenderServer=127.0.0.1"),
                                  QStringLiteral("--set"), QStringLiteral("sSenderEmail=ups@example.com"),
                                  QStringLiteral("--mail-to"), QStringLiteral("3:admin@example.com")} +
                          kTexts,
                      QStringLiteral("+0s wait link 40s\n+1s mains off\n+1s battery low\n"
                                     "+0s wait power-off 30s\n+2s quit\n"));
    ASSERT_TRUE(run.Start());
    ASSERT_EQ(run.Finish(80000), 0) << run.Transcript();

    const QStringList rows = Log(run);
    EXPECT_EQ(CountOf(rows, Msg().msgSendMailErr), 1) << rows.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(CountOf(rows, Msg().msgSendMailOK), 0);
    EXPECT_LT(rows.indexOf(Msg().msgSendMailErr), rows.indexOf(Msg().msgSysShutDown));
    EXPECT_EQ(run.ReadFile(QStringLiteral("poweroff-requests.log")).count(QLatin1Char('\n')), 1);

    // the countdown ran its three seconds from the low battery, no less
    const std::optional<double> low = run.TimeOf(QStringLiteral("> battery low"));
    const std::optional<double> off = run.TimeOf(kPowerOffReport);
    ASSERT_TRUE(low && off) << run.Transcript();
    EXPECT_GE(*off - *low, 2.5);
}

TEST(EndToEnd, SecondInstanceIsRefusedAndTheFirstKeepsWatching)
{
    VirtualScreen screen;
    REQUIRE_SCREEN(screen);
    VirtualUpsRun run(QStringList{QStringLiteral("--usb")} + kTexts, QStringLiteral("+0s wait link 40s\n"));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForLine(QStringLiteral("scenario: link seen"), 45000)) << run.Transcript();

    // the second start, on a screen, as a user would make it
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), screen.Display());
    env.insert(QStringLiteral("KESTRAVA_POWEROFF_LOG"),
               run.Folder() + QStringLiteral("poweroff-requests.log"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(run.Folder() + QStringLiteral("Kestrava"), {});
    ASSERT_TRUE(second.waitForStarted(10000));

    const QStringList boxes = screen.WaitForWindows(QStringLiteral("Kestrava"), 20000);
    ASSERT_EQ(boxes.size(), 1) << "the refusal box should be the second instance's only window";
    EXPECT_TRUE(screen.PressReturn(boxes.first()));
    ASSERT_TRUE(second.waitForFinished(15000)) << "the second instance did not end after its box";
    if (second.state() != QProcess::NotRunning) second.kill();

    // the first one still follows the UPS
    run.Send(QStringLiteral("mains off"));
    ASSERT_TRUE(run.WaitForLine(QStringLiteral("sends status code 1"), 5000));
    QStringList rows;
    for (int i = 0; i < 50 && !rows.contains(QStringLiteral("e2e mains failed")); ++i) {
        run.WaitForLine(QStringLiteral("never printed"), 200);
        rows = Log(run);
    }
    run.Send(QStringLiteral("quit"));
    EXPECT_EQ(run.Finish(20000), 0) << run.Transcript();
    EXPECT_EQ(CountOf(rows, Msg().msgMonStart), 1) << rows.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(rows.contains(QStringLiteral("e2e mains failed")));
    EXPECT_EQ(run.Count(QStringLiteral("program: ended")), 0);
}

TEST(EndToEnd, DatabaseWithAnotherPasswordIsRefusedWithoutALogRow)
{
    VirtualScreen screen;
    REQUIRE_SCREEN(screen);
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    {
        Database db;
        db.create(other, QStringLiteral("not the program's password"));
        CreateSchema(db);
    }
    VirtualUpsRun run({QStringLiteral("--usb"), QStringLiteral("--database"), other},
                      QStringLiteral("+0s wait exit 60s\n+0s quit\n"));
    run.SetEnvironment(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    run.SetEnvironment(QStringLiteral("DISPLAY"), screen.Display());
    ASSERT_TRUE(run.Start());

    const QStringList boxes = screen.WaitForWindows(QStringLiteral("Kestrava"), 30000);
    ASSERT_EQ(boxes.size(), 1) << "the failure box should be the only window\n" << run.Transcript();
    // while the box is up: the program runs, has not touched the UPS and logged nothing
    EXPECT_EQ(run.Count(QStringLiteral("program: ended")), 0);
    EXPECT_EQ(run.Count(QStringLiteral("keep-alives started")), 0);
    EXPECT_TRUE(
        EventLog(run.Folder() + QStringLiteral("Kestrava.mdb"), QStringLiteral("not the program's password"))
            .isEmpty());

    EXPECT_TRUE(screen.PressReturn(boxes.first()));
    EXPECT_EQ(run.Finish(30000), 0) << run.Transcript();
    EXPECT_EQ(run.Count(QStringLiteral("program: ended with exit code")), 1) << run.Transcript();
    EXPECT_EQ(run.Count(QStringLiteral("keep-alives started")), 0);
    Database db;
    db.open(run.Folder() + QStringLiteral("Kestrava.mdb"), QStringLiteral("not the program's password"));
    Statement count = db.prepare(QStringLiteral("SELECT COUNT(*) FROM LOGFILES"));
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.value(0).toInt(), 0);
}
