// Detection latency: from a line change or an input report of an emulated UPS to the state change and its
// committed event-log row, with the real port, link selection, status model and database.
#include <umockdev.h>

#include "bench_stats.h"
#include "devices/comport.h"
#include "devices/linux/hidrawcontroller.h"
#include "emulated_hid_ups.h"
#include "emulated_serial.h"
#include "fakes/fake_alerts.h"
#include "fakes/fake_settings_row.h"
#include "fakes/fake_status_view.h"
#include "monitor/linkselector.h"
#include "monitor/powerstatus.h"
#include "store/appdatabase.h"
#include "store/database.h"
#include "store/defaultdb.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <cstdlib>
#include <functional>
#include <random>

namespace {

using bench::Steady;

bool PumpUntil(const std::function<bool()> &done, int boundMs)
{
    QDeadlineTimer deadline(boundMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

void PumpFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

// The database's event log, with the moments a row was asked for (the state
// setter runs) and was on disk (LogEvent returned).
class TimedLog : public EventLog
{
public:
    explicit TimedLog(AppDatabase &db) : db_(db) {}
    void LogEvent(const QString &text) override
    {
        entered = Steady::now();
        db_.LogEvent(text);
        committed = Steady::now();
        ++rows;
    }
    Steady::time_point entered, committed;
    int rows = 0;

private:
    AppDatabase &db_;
};

struct Harness
{
    Harness()
    {
        if (!dir.isValid()) std::abort();
        const QString folder = dir.path() + QLatin1Char('/');
        WriteDefaultDatabase(DatabasePath(folder), QString());
        db.Open(folder);
        settings.Set("sACOff", QStringLiteral("bench mains failed"));
        settings.Set("sACOn", QStringLiteral("bench mains back"));
        settings.Set("sBatDown", QStringLiteral("bench battery low"));
        settings.Set("sBatUp", QStringLiteral("bench battery back"));
        status.SetStartStates();
    }
    QTemporaryDir dir;
    AppDatabase db;
    TimedLog log{db};
    FakeStatusView view;
    FakeAlerts alerts;
    FakeSettingsRow settings;
    TComPort port;
    PowerStatus status{view, alerts, log, settings};
    std::unique_ptr<LinkSelector> links = std::make_unique<LinkSelector>(
        status, view, alerts, settings, port, [] { return std::make_unique<THidDeviceController>(); });
};

int SerialRun(int changes)
{
    UMockdevTestbed *testbed = umockdev_testbed_new();
    {
        // the port goes before the emulated tty, and both before the testbed
        EmulatedSerial serial(testbed, "ttyUSB3");
        Harness h;
        serial.setInputs(TIOCM_CTS | TIOCM_CD);
        h.settings.Set("sCOM", QString::fromStdString(serial.path()));
        h.links->SelectLink();
        if (!h.port.Connected() || !PumpUntil([&] { return !h.links->tmDelay.isActive(); }, 5000)) {
            std::fprintf(stderr, "serial: the emulated port did not open\n");
            return 1;
        }
        std::mt19937 random(7);
        std::uniform_int_distribution<int> gap(360, 460);
        std::vector<double> toState, toRow;
        bool mainsOn = true;
        for (int i = 0; i < changes; ++i) {
            PumpFor(gap(random));
            const int rowsBefore = h.log.rows;
            mainsOn = !mainsOn;
            const Steady::time_point t0 = Steady::now();
            serial.setInputs(mainsOn ? (TIOCM_CTS | TIOCM_CD) : TIOCM_CD);
            if (!PumpUntil([&] { return h.log.rows > rowsBefore; }, 3000)) {
                std::fprintf(stderr, "serial: change %d was never logged\n", i);
                return 1;
            }
            toState.push_back(bench::Ms(h.log.entered - t0));
            toRow.push_back(bench::Ms(h.log.committed - t0));
        }
        std::vector<double> overState, overRow;
        for (double v : toState)
            overState.push_back(v - 300.0);
        for (double v : toRow)
            overRow.push_back(v - 300.0);
        const std::string n = "(" + std::to_string(changes) + " changes)";
        bench::Spread("serial line change -> state change", toState, n);
        bench::Spread("serial line change -> committed row", toRow);
        bench::Spread("serial state change beyond 300 ms settling", overState);
        bench::Spread("serial committed row beyond 300 ms settling", overRow, "target p99 <= 5 ms");
        h.links.reset();
    }
    g_object_unref(testbed);
    return 0;
}

int UsbRun(int changes)
{
    HidTestbed testbed;
    Harness h;
    EmulatedHidUps ups(testbed);
    ups.Plug();
    h.settings.Set("sCOM", "USB");
    h.settings.Set("shidDevName", QString::fromUtf8(EmulatedHidUps::kProduct));
    h.links->SelectLink();
    if (!PumpUntil([&] { return h.links->UpsHidDevice() != nullptr; }, 5000)) {
        std::fprintf(stderr, "usb: the UPS was never claimed\n");
        return 1;
    }
    ups.SendStatus(3);
    PumpUntil([&] { return h.status.LinkState() == 1; }, 3000);
    std::mt19937 random(11);
    std::uniform_int_distribution<int> gap(15, 40);
    std::vector<double> toState, toRow;
    bool mainsOn = true;
    for (int i = 0; i < changes; ++i) {
        PumpFor(gap(random));
        const int rowsBefore = h.log.rows;
        mainsOn = !mainsOn;
        const Steady::time_point t0 = Steady::now();
        if (!ups.SendStatus(mainsOn ? 3 : 1)) {
            std::fprintf(stderr, "usb: report %d was not taken\n", i);
            return 1;
        }
        if (!PumpUntil([&] { return h.log.rows > rowsBefore; }, 3000)) {
            std::fprintf(stderr, "usb: report %d was never logged\n", i);
            return 1;
        }
        toState.push_back(bench::Ms(h.log.entered - t0));
        toRow.push_back(bench::Ms(h.log.committed - t0));
    }
    bench::Spread("usb input report -> state change", toState,
                  "(" + std::to_string(changes) + " reports) target p99 <= 5 ms");
    bench::Spread("usb input report -> committed row", toRow);
    h.links.reset();
    return 0;
}

} // namespace

// Runs under umockdev-wrapper (the emulated devices live in its preload).
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int serialChanges = argc > 1 ? std::atoi(argv[1]) : 200;
    const int usbChanges = argc > 2 ? std::atoi(argv[2]) : 500;
    std::printf(
        "latency: in-process (real TComPort/HID controller, LinkSelector, PowerStatus, AppDatabase)\n");
    if (int rc = UsbRun(usbChanges)) return rc;
    return SerialRun(serialChanges);
}
