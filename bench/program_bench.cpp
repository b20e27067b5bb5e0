// The real program (recording build) against an emulated UPS: start-up time, and idle cost over a quiet
// minute.
#include <umockdev.h>

#include "bench_stats.h"
#include "emulated_hid_ups.h"
#include "emulated_serial.h"
#include "program_copy.h"
#include "store/database.h"
#include "virtual_ups.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

using bench::Steady;

void PumpFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool PumpUntil(const std::function<bool()> &done, int boundMs)
{
    QDeadlineTimer deadline(boundMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

QString ReadText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

struct ProcessSample
{
    double cpuSeconds = 0;
    long rssKb = 0;
    std::map<QString, long> switches; // "tid comm" -> voluntary context switches
};

ProcessSample Sample(qint64 pid)
{
    ProcessSample s;
    const QString base = QStringLiteral("/proc/%1/").arg(pid);
    const QStringList stat = ReadText(base + QStringLiteral("stat")).section(QLatin1Char(')'), 1).split(' ');
    // after the name: state is field 3, utime 14 and stime 15 (1-based in proc(5))
    if (stat.size() > 13) s.cpuSeconds = (stat[12].toDouble() + stat[13].toDouble()) / sysconf(_SC_CLK_TCK);
    for (const QString &line : ReadText(base + QStringLiteral("status")).split('\n'))
        if (line.startsWith(QLatin1String("VmRSS:")))
            s.rssKb = line.section(':', 1).simplified().section(' ', 0, 0).toLong();
    for (const QString &tid :
         QDir(base + QStringLiteral("task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString task = base + QStringLiteral("task/") + tid + QLatin1Char('/');
        // the kernel function a thread sleeps in tells the device threads apart
        const QString name = tid + QLatin1Char(' ') + ReadText(task + QStringLiteral("comm")).trimmed() +
                             QStringLiteral(" [") + ReadText(task + QStringLiteral("wchan")).trimmed() +
                             QLatin1Char(']');
        for (const QString &line : ReadText(task + QStringLiteral("status")).split('\n'))
            if (line.startsWith(QLatin1String("voluntary_ctxt_switches:")))
                s.switches[name] = line.section(':', 1).trimmed().toLong();
    }
    return s;
}

class Program
{
public:
    explicit Program(const QStringList &settings)
    {
        vups::CopyOptions options;
        options.sourceFolder = QStringLiteral(KESTRAVA_BIN_DIR);
        copy_ = std::make_unique<vups::ProgramCopy>(options);
        std::vector<QPair<QString, QString>> pairs;
        for (const QString &s : settings)
            pairs.push_back({s.section('=', 0, 0), s.section('=', 1)});
        if (!pairs.empty()) copy_->SetSettings(pairs);
    }
    ~Program()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    void Start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), copy_->noSystemBus());
        env.insert(QStringLiteral("PATH"),
                   copy_->guardBin() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("KESTRAVA_POWEROFF_LOG"),
                   copy_->folder() + QStringLiteral("poweroff-requests.log"));
        if (!env.contains(QStringLiteral("DISPLAY")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(copy_->folder());
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(copy_->executable(), {});
        if (!process_.waitForStarted(10000)) std::abort();
    }
    qint64 pid() const { return process_.processId(); }
    QString database() const { return copy_->folder() + QStringLiteral("Kestrava.mdb"); }
    bool running() const { return process_.state() == QProcess::Running; }

private:
    std::unique_ptr<vups::ProgramCopy> copy_;
    QProcess process_;
};

int StartupRuns(int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        Program program({});
        Database reader;
        reader.open(program.database(), QString::fromLatin1(kDatabasePassword));
        const auto rows = [&] {
            Statement s = reader.prepare(QStringLiteral("SELECT COUNT(*) FROM LOGFILES"));
            s.step();
            return s.value(0).toLongLong();
        };
        const qint64 before = rows();
        const Steady::time_point t0 = Steady::now();
        program.Start();
        if (!PumpUntil([&] { return rows() > before; }, 20000)) {
            std::fprintf(stderr, "startup: no start line within 20 s\n");
            return 1;
        }
        ms.push_back(bench::Ms(Steady::now() - t0));
    }
    bench::Spread("start-up: exec -> start line committed", ms,
                  "(" + std::to_string(runs) + " runs, default database, offscreen)");
    return 0;
}

void Report(const char *link, const ProcessSample &a, const ProcessSample &b, double seconds)
{
    const double cpu = b.cpuSeconds - a.cpuSeconds;
    bench::Figure(std::string("idle ") + link + ": CPU seconds", cpu, "s",
                  "(over " + std::to_string(int(seconds)) + " s)");
    bench::Figure(std::string("idle ") + link + ": CPU share of one core", 100.0 * cpu / seconds, "%",
                  "target < 0.2 %");
    bench::Figure(std::string("idle ") + link + ": VmRSS", b.rssKb / 1024.0, "MB", "target < 60 MB");
    for (const auto &[thread, count] : b.switches) {
        const auto was = a.switches.find(thread);
        const long delta = count - (was == a.switches.end() ? 0 : was->second);
        std::printf("idle %s: thread %-44s %8.3f voluntary switches/s\n", link, thread.toUtf8().constData(),
                    delta / seconds);
        std::fflush(stdout);
    }
}

int IdleUsb(int seconds)
{
    HidTestbed testbed;
    vups::ShadowRealSerialPorts(testbed.get());
    EmulatedHidUps ups(testbed);
    ups.Plug();
    Program program({QStringLiteral("sCOM=USB"),
                     QStringLiteral("shidDevName=") + QString::fromUtf8(EmulatedHidUps::kProduct)});
    program.Start();
    if (!PumpUntil([&] { return ups.OutputReports().size() >= 2; }, 30000)) {
        std::fprintf(stderr, "idle usb: no keep-alives from the program\n");
        return 1;
    }
    ups.SendStatus(3);
    PumpFor(3000);
    const int readsBefore = ups.ReadCalls();
    const std::size_t outputsBefore = ups.OutputReports().size();
    const ProcessSample a = Sample(program.pid());
    PumpFor(seconds * 1000);
    const ProcessSample b = Sample(program.pid());
    Report("usb", a, b, seconds);
    std::printf(
        "idle usb: the emulated UPS sent nothing; the program read() %d times and wrote %zu keep-alives "
        "(each forwarded write costs switches under the emulation)\n",
        ups.ReadCalls() - readsBefore, ups.OutputReports().size() - outputsBefore);
    return program.running() ? 0 : 1;
}

int IdleSerial(int seconds, int eintrSeconds)
{
    UMockdevTestbed *tb = umockdev_testbed_new();
    vups::ShadowRealSerialPorts(tb);
    int rc = 0;
    {
        EmulatedSerial serial(tb, "ttyUSB0", std::chrono::seconds(eintrSeconds));
        serial.setInputs(TIOCM_CTS | TIOCM_CD);
        Program program({QStringLiteral("sCOM=") + QString::fromStdString(serial.path())});
        program.Start();
        if (!PumpUntil([&] { return serial.waitsPending() > 0 && serial.rts(); }, 30000)) {
            std::fprintf(stderr, "idle serial: the program never waited on the port\n");
            return 1;
        }
        PumpFor(3000);
        const int waitsBefore = serial.waitsStarted();
        const int ioctlsBefore = serial.ioctlCalls();
        const ProcessSample a = Sample(program.pid());
        PumpFor(seconds * 1000);
        const ProcessSample b = Sample(program.pid());
        Report("serial", a, b, seconds);
        std::printf(
            "idle serial: the emulation ended the pending wait with EINTR every %d s: %d new waits, %d "
            "ioctls in the window (all of them the emulation's doing: no line changed)\n",
            eintrSeconds, serial.waitsStarted() - waitsBefore, serial.ioctlCalls() - ioctlsBefore);
        rc = program.running() ? 0 : 1;
    }
    g_object_unref(tb);
    return rc;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int startupRuns = argc > 2 ? std::atoi(argv[2]) : 10;
    if (int rc = StartupRuns(startupRuns)) return rc;
    if (int rc = IdleUsb(idleSeconds)) return rc;
    return IdleSerial(idleSeconds, 25);
}
