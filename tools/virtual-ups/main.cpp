// virtual-ups: runs the monitor's recording build against an emulated UPS on USB or a serial cable.
#include "runner.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kUsage[] =
    "usage: virtual-ups --usb|--serial [options]\n"
    "  --scenario FILE        timed steps, one a line: +2s mains off, +500ms unplug, # comment\n"
    "  --shutdown-after TIME  automatic shutdown on: the battery countdown is TIME (e.g. 30s), the\n"
    "                         mains countdown TIME in whole minutes (at least 1), auto-save and\n"
    "                         the UPS power-off on; default: no automatic shutdown\n"
    "  --set COLUMN=VALUE     any other setting of the copy's database (repeatable), e.g. iWarnTimer=5\n"
    "  --mail-to [N:]ADDRESS  a mail recipient for event type N (default 0: every event)\n"
    "  --database FILE        run with this database file instead of the program folder's\n"
    "  --language NAME        the language file to use (e.g. English)\n"
    "  --program-dir DIR      where Kestrava-recording, Kestrava.mdb and languages/ are\n"
    "                         (default: the build's program folder)\n"
    "  --folder DIR           put the program folder copy here and keep it (default: a temporary one)\n"
    "  --no-program           only the UPS: print the testbed and wait for commands\n"
    "The program runs from a copy of its folder; its power-off is only recorded.\n";

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 1;
    (void)!::write(g_signalPipe[1], &c, 1);
}

[[noreturn]] void Usage(const QString &why)
{
    if (!why.isEmpty()) std::fprintf(stderr, "virtual-ups: %s\n", why.toLocal8Bit().constData());
    std::fputs(kUsage, stderr);
    std::exit(2);
}

// The testbed's hot-plug events are sent with libudev, which must see the
// testbed's sysfs: the tool runs under the umockdev preload itself.
void RunUnderPreload(char **argv)
{
    const char *preload = std::getenv("LD_PRELOAD");
    if (preload && std::strstr(preload, "libumockdev-preload")) return;
    std::vector<char *> args{const_cast<char *>("umockdev-wrapper")};
    for (char **a = argv; *a; ++a)
        args.push_back(*a);
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::perror("virtual-ups: cannot run umockdev-wrapper");
    std::exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    RunUnderPreload(argv);
    QCoreApplication app(argc, argv);
    vups::RunOptions options;
    options.copy.sourceFolder = QStringLiteral(VUPS_PROGRAM_DIR);
    bool linkChosen = false;

    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const auto value = [&]() -> QString {
            if (i + 1 >= args.size()) Usage(a + QStringLiteral(" wants a value"));
            return args[++i];
        };
        if (a == QLatin1String("--usb") || a == QLatin1String("--serial")) {
            if (linkChosen) Usage(QStringLiteral("choose one of --usb and --serial"));
            options.link = a == QLatin1String("--usb") ? vups::Link::Usb : vups::Link::Serial;
            linkChosen = true;
        } else if (a == QLatin1String("--scenario")) {
            const QString path = value();
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) Usage(QStringLiteral("cannot read %1").arg(path));
            try {
                options.scenario = vups::ParseScenario(QString::fromUtf8(f.readAll()));
            } catch (const vups::ScenarioError &e) {
                Usage(QStringLiteral("%1: %2").arg(path, QString::fromUtf8(e.what())));
            }
        } else if (a == QLatin1String("--shutdown-after")) {
            const QString text = value();
            const auto d = vups::ParseDuration(text);
            if (!d || d->count() < 1000) Usage(QStringLiteral("--shutdown-after wants a time of 1s or more"));
            const long long seconds = d->count() / 1000;
            const long long minutes = std::max(1LL, (seconds + 59) / 60);
            for (const auto &[k, v] :
                 {std::pair{"bShutWinOS", QStringLiteral("1")},
                  std::pair{"iBatTimer", QString::number(seconds)},
                  std::pair{"iACTimer", QString::number(minutes)},
                  std::pair{"bAutoSave", QStringLiteral("1")}, std::pair{"bShutUPS", QStringLiteral("1")}})
                options.settings.push_back({QLatin1String(k), v});
        } else if (a == QLatin1String("--set")) {
            const QString setting = value();
            const qsizetype eq = setting.indexOf(QLatin1Char('='));
            if (eq <= 0) Usage(QStringLiteral("--set wants COLUMN=VALUE"));
            const QString column = setting.left(eq);
            // the link options decide the port: a typed one might be a real port
            if (column.compare(QLatin1String("sCOM"), Qt::CaseInsensitive) == 0)
                Usage(QStringLiteral("sCOM follows --usb or --serial"));
            options.settings.push_back({column, setting.mid(eq + 1)});
        } else if (a == QLatin1String("--mail-to")) {
            const QString text = value();
            const qsizetype colon = text.indexOf(QLatin1Char(':'));
            bool ok = true;
            const int type = colon > 0 ? text.left(colon).toInt(&ok) : 0;
            if (!ok || type < 0 || type > 4) Usage(QStringLiteral("--mail-to: the event type is 0 to 4"));
            options.recipients.push_back({type, colon > 0 ? text.mid(colon + 1) : text});
        } else if (a == QLatin1String("--database")) {
            options.copy.database = value();
        } else if (a == QLatin1String("--language")) {
            options.copy.language = value();
        } else if (a == QLatin1String("--program-dir")) {
            options.copy.sourceFolder = value();
        } else if (a == QLatin1String("--folder")) {
            options.copy.folder = value();
        } else if (a == QLatin1String("--no-program")) {
            options.runProgram = false;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            Usage(QStringLiteral("unknown option %1").arg(a));
        }
    }
    if (!linkChosen) Usage(QStringLiteral("choose --usb or --serial"));

    // Ctrl-C and kill end the program first, then the tool.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return 1;
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);

    vups::Runner runner(std::move(options));
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&runner] {
        char c;
        (void)!::read(g_signalPipe[0], &c, 1);
        runner.Say(QStringLiteral("signal: stopping"));
        QCoreApplication::exit(130);
    });
    try {
        runner.Start();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "virtual-ups: %s\n", e.what());
        return 1;
    }
    return app.exec();
}
