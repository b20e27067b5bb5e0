// A program folder with a real database and a main window over fakes, shared by the shell's tests.
#pragma once

#include "app/monitorparts.h"
#include "app/tfmain.h"
#include "fakes/call_log.h"
#include "fakes/fake_alerts.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_power_states.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_shell_open.h"
#include "fakes/fake_tray_icon.h"

#include <QIcon>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

// Image n of the test artwork is a 4 x 4 picture whose red value is n, so a
// control's picture tells which image it shows; -1 for no picture.
int ImageIndexOf(const QImage &picture);

// Power monitoring as the window sees it, recording what the window asks of it.
class RecordingMonitor : public MonitorParts
{
public:
    explicit RecordingMonitor(CallLog &log) : log_(log), states(&log), port(&log) {}

    PowerStates *States() override { return &states; }
    Alerts *AlertsPart() override { return &alerts; }
    SerialPort *Port() override { return &port; }
    void SetStartStates() override { log_.Add(QStringLiteral("SetStartStates")); }
    void SelectLink() override { log_.Add(QStringLiteral("SelectLink")); }
    void PowerOffUps(const QString &scope) override { log_.Add(QStringLiteral("PowerOffUps ") + scope); }

private:
    CallLog &log_;

public:
    FakePowerStates states;
    FakeAlerts alerts;
    FakeSerialPort port;
};

class ShellTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The program folder, ending in '/'.
    QString Folder() const { return dir.path() + QLatin1Char('/'); }
    // A database as the installation makes it, with `images` test pictures.
    void MakeDatabase(int images = 34);
    // Writes settings columns into the database file before the window opens it.
    void SetStoredSettings(const std::vector<std::pair<const char *, QVariant>> &values);
    // Changes settings columns of the open window's settings row.
    void SetSettings(const std::vector<std::pair<const char *, QVariant>> &values);
    // The events in the database, oldest first.
    QStringList LoggedEvents();

    MainWindowDeps Deps();
    // Creates the window; with a monitor, the window's parts record into log.
    TfMain &CreateWindow(bool withMonitor = true);

    QTemporaryDir dir;
    CallLog log;
    FakeMessageBoxes boxes{&log};
    FakeTrayIcon tray{&log};
    FakeShellOpen shell{&log};
    FakeClock clock;
    QIcon programIcon;
    QIcon linkDownIcon;
    RecordingMonitor *monitor = nullptr;
    int endCalls = 0;
    std::unique_ptr<TfMain> window;
};
