// ProgramMonitor: the real power monitoring of the main window: serial port, states, alerts, links, UPS
// power-off.
#pragma once

#include "app/monitorparts.h"

#include <memory>

class AlertMail;
class Clock;
class LinkSelector;
class MessageBoxes;
class PowerStatus;
class ProcessRunner;
class ReportingEventLog;
class ShellOpen;
class SmtpClient;
class SystemPower;
class TComPort;
class UpsPowerOff;
class WarningAlerts;

// What the monitoring reaches outside the main window.
struct MonitorPlatform
{
    Clock &clock;
    ShellOpen &shell;
    ProcessRunner &runner;
    SystemPower &power;
    // The program's folder, ending in '/'.
    QString programFolder;
    // Where a failing event log is reported (once); null: nowhere.
    MessageBoxes *boxes = nullptr;
};

class ProgramMonitor final : public MonitorParts
{
public:
    // The window's database is open and its image list loaded (the warning
    // window's two faces are images 32 and 33).
    ProgramMonitor(TfMain &window, const MonitorPlatform &platform);
    ~ProgramMonitor() override;

    PowerStates *States() override;
    Alerts *AlertsPart() override;
    SerialPort *Port() override;
    void SetStartStates() override;
    void SelectLink() override;
    void PowerOffUps(const QString &scope) override;

private:
    // Declared in the order of creation: each refers only to those above it.
    // Every log line but the start line: a store failure is reported, not raised.
    std::unique_ptr<ReportingEventLog> log_;
    std::unique_ptr<TComPort> port_;
    // the warning window's mail client: its greeting switch lasts for the run
    std::unique_ptr<SmtpClient> smtp_;
    std::unique_ptr<AlertMail> mail_;
    std::unique_ptr<WarningAlerts> alerts_;
    std::unique_ptr<PowerStatus> status_;
    std::unique_ptr<LinkSelector> links_;
    std::unique_ptr<UpsPowerOff> powerOff_;
};

// The factory the program hands its main window.
MonitorFactory ProgramMonitorFactory(const MonitorPlatform &platform);
