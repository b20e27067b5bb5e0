// ProgramMonitor: the real power monitoring of the main window: serial port, states, alerts, links, UPS
// power-off.
#include "app/programmonitor.h"

// the warning window first: its alerts hold it in a guarded pointer
#include "alerts/alertmail.h"
#include "alerts/smtpclient.h"
#include "alerts/tftips.h"
#include "alerts/warningalerts.h"
#include "app/reportingeventlog.h"
#include "app/tfmain.h"
#include "devices/comport.h"
#include "devices/linux/hidrawcontroller.h"
#include "monitor/linkselector.h"
#include "monitor/powerstatus.h"
#include "monitor/upspoweroff.h"
#include "platform/message_boxes.h"
#include "platform/os_family.h"

namespace {
constexpr int kWarningFace = 32;
constexpr int kWarningCountdownFace = 33;
} // namespace

ProgramMonitor::ProgramMonitor(TfMain &window, const MonitorPlatform &platform)
{
    MessageBoxes *boxes = platform.boxes;
    TfMain *owner = &window;
    log_ = std::make_unique<ReportingEventLog>(window.db, [boxes, owner](const QString &why) {
        if (boxes) boxes->Show(owner, why, kProductName, mb::kIconError);
    });
    port_ = std::make_unique<TComPort>();
    smtp_ = std::make_unique<SmtpClient>();
    mail_ = std::make_unique<AlertMail>(*smtp_, window.db, window.db.tEmails, *log_, platform.clock);
    const CountdownDeps countdown{window.db,       *log_,          platform.clock, platform.shell,
                                  platform.runner, platform.power, window,         platform.programFolder};
    // Without a parent: the warning window must come up while the main
    // window hides in the tray.
    alerts_ = std::make_unique<WarningAlerts>(
        countdown, window.Image(kWarningFace), window.Image(kWarningCountdownFace), nullptr,
        [this](const QString &text, int eventType) { mail_->SendAlertMail(text, eventType); });
    status_ = std::make_unique<PowerStatus>(window, *alerts_, *log_, window.db);
    links_ = std::make_unique<LinkSelector>(*status_, window, *alerts_, window.db, *port_,
                                            [] { return std::make_unique<THidDeviceController>(); });
    powerOff_ = std::make_unique<UpsPowerOff>(*links_, *log_, window.db, platform.programFolder, IsWindowsNT);
}

ProgramMonitor::~ProgramMonitor() = default;

PowerStates *ProgramMonitor::States()
{
    return status_.get();
}

Alerts *ProgramMonitor::AlertsPart()
{
    return alerts_.get();
}

SerialPort *ProgramMonitor::Port()
{
    return port_.get();
}

void ProgramMonitor::SetStartStates()
{
    status_->SetStartStates();
}

void ProgramMonitor::SelectLink()
{
    links_->SelectLink();
}

void ProgramMonitor::PowerOffUps(const QString &scope)
{
    powerOff_->PowerOffUps(scope);
}

MonitorFactory ProgramMonitorFactory(const MonitorPlatform &platform)
{
    return [platform](TfMain &window) -> std::unique_ptr<MonitorParts> {
        return std::make_unique<ProgramMonitor>(window, platform);
    };
}
