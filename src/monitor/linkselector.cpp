// Link selection, the serial line evaluation with its settling window, and the USB link's handlers.
#include "monitor/linkselector.h"

#include "alerts/alerts.h"
#include "devices/hiddevice.h"
#include "devices/serialport.h"
#include "lang/messages.h"
#include "monitor/powerstates.h"
#include "monitor/statusview.h"
#include "store/settingsrow.h"

#include <QtGlobal>

#include <exception>

namespace {

// Enabling a timer that runs already must not restart its interval.
void enable(QTimer &timer)
{
    if (!timer.isActive()) timer.start();
}

using Setter = void (PowerStates::*)(uint8_t, bool);

struct Call
{
    Setter setter;
    uint8_t state;
};

// How the contact-closure cable encodes the UPS state on CTS and DCD, with the
// calls in the order that matters to the countdown: a battery recovery (which
// cancels it) is reported before a mains failure (which arms it).
struct LineRow
{
    bool cts;
    bool dcd;
    Call calls[3];
};
constexpr LineRow kLineRows[] = {
    {true,
     true,
     {{&PowerStates::SetMainsState, UpsState::Normal},
      {&PowerStates::SetBatteryState, UpsState::Normal},
      {&PowerStates::SetLinkState, UpsState::Normal}}},
    {true,
     false,
     {{&PowerStates::SetLinkState, UpsState::Normal},
      {&PowerStates::SetMainsState, UpsState::Off},
      {&PowerStates::SetBatteryState, UpsState::Off}}},
    {false,
     true,
     {{&PowerStates::SetLinkState, UpsState::Normal},
      {&PowerStates::SetBatteryState, UpsState::Normal},
      {&PowerStates::SetMainsState, UpsState::Off}}},
    // cable pulled or UPS off
    {false,
     false,
     {{&PowerStates::SetMainsState, UpsState::Unknown},
      {&PowerStates::SetBatteryState, UpsState::Unknown},
      {&PowerStates::SetLinkState, UpsState::Off}}},
};

// The status code in the first data byte of the UPS's input report; the
// link is reported Connected after each row.
struct StatusRow
{
    int code;
    Call calls[2];
};
constexpr StatusRow kStatusRows[] = {
    {1, {{&PowerStates::SetBatteryState, UpsState::Normal}, {&PowerStates::SetMainsState, UpsState::Off}}},
    {2, {{&PowerStates::SetMainsState, UpsState::Off}, {&PowerStates::SetBatteryState, UpsState::Off}}},
    {3, {{&PowerStates::SetBatteryState, UpsState::Normal}, {&PowerStates::SetMainsState, UpsState::Normal}}},
};
constexpr StatusRow kUnknownStatus = {
    -1,
    {{&PowerStates::SetBatteryState, UpsState::Unknown}, {&PowerStates::SetMainsState, UpsState::Unknown}}};

} // namespace

const QString LinkSelector::kUsb = QStringLiteral("USB");

LinkSelector::LinkSelector(PowerStates &states, StatusView &view, Alerts &alerts, const SettingsRow &settings,
                           SerialPort &port, ControllerFactory makeController, QObject *parent)
    : QObject(parent), m_states(states), m_view(view), m_alerts(alerts), m_settings(settings), m_port(port),
      m_makeController(std::move(makeController))
{
    tmDelay.setInterval(300);
    // A coarse timer may fire 5 % (15 ms) off either way: the settling window
    // is part of how fast a power event is seen, so it is kept to the ms.
    tmDelay.setTimerType(Qt::PreciseTimer);
    tmLose.setInterval(2000);
    tmFeed.setInterval(500);
    connect(&tmDelay, &QTimer::timeout, this, &LinkSelector::delayTick);
    connect(&tmLose, &QTimer::timeout, this, &LinkSelector::tmLoseTimer);
    connect(&tmFeed, &QTimer::timeout, this, &LinkSelector::tmFeedTimer);
    connect(&m_port, &SerialPort::OnCTSChange, this, [this](bool) { CommSignalChange(); });
    connect(&m_port, &SerialPort::OnRLSDChange, this, [this](bool) { CommSignalChange(); });
    connect(&m_port, &SerialPort::OnDeviceLost, this, &LinkSelector::CommDeviceLost);
}

LinkSelector::~LinkSelector()
{
    // the program releases nothing at its end: the controller marks a held
    // device unplugged and hands it to us, so it goes with this object
    if (m_hidController) {
        m_hidController->OnArrival = nullptr;
        m_hidController->OnRemoval = nullptr;
    }
}

void LinkSelector::SelectLink()
{
    const QString com = m_settings.GetText("sCOM");
    const QString hidName = m_settings.GetText("shidDevName");
    if (com == m_selectedPort && hidName == m_selectedHidName) return;

    // the close reports CTS and DCD off, which opens a settling window
    if (m_port.Connected()) m_port.SetConnected(false);

    if (m_selectedPort == kUsb) {
        if (m_upsHidDevice && m_hidController) m_hidController->ReleaseDevice(m_upsHidDevice);
        m_upsHidDevice = nullptr;
        m_hidController.reset();
    }

    m_states.SetLinkState(UpsState::Unknown, true);
    m_states.SetMainsState(UpsState::Unknown, true);
    m_states.SetBatteryState(UpsState::Unknown, true);

    m_selectedPort = com;
    m_selectedHidName = hidName;
    m_view.SetDisplayLine(DisplayLine::Port, QStringLiteral("> ") + Msg().msgVCT5 + m_selectedPort);

    if (m_selectedPort != kUsb) {
        try {
            m_port.SetPort(m_selectedPort);
            m_port.OpenPort();
            m_port.DriveDtr(false);
            m_port.DriveRts(true);
        } catch (const std::exception &) {
            m_alerts.ShowAlert(FormatPattern(Msg().msgOpenCOMFail, {m_selectedPort}), -1, false, -1);
        }
        return;
    }

    m_hidController = m_makeController();
    if (!m_hidController) return;
    // a device the controller still holds when it goes is handed to its parent
    m_hidController->setParent(this);
    // the controller announces the devices already plugged in only after we
    // have returned to the event loop, so both handlers are in place first
    m_hidController->OnArrival = [this](HidDevice *device) { HidArrival(device); };
    m_hidController->OnRemoval = [this](HidDevice *device) { HidRemoval(device); };
}

void LinkSelector::CommSignalChange()
{
    // later reports inside the window neither extend nor restart it
    enable(tmDelay);
}

void LinkSelector::delayTick()
{
    try {
        CommSignalActChg();
    } catch (const std::exception &e) {
        // no state changes and RTS is not raised again; the next line change
        // evaluates afresh
        qWarning("Kestrava: reading the serial port's modem lines failed: %s", e.what());
    }
}

void LinkSelector::CommSignalActChg()
{
    tmDelay.stop();
    if (!m_port.Connected() || m_selectedPort == kUsb) return;
    const ModemLineSet lines = m_port.ModemLines();
    const bool cts = lines.testFlag(ModemLine::CTS);
    const bool dcd = lines.testFlag(ModemLine::RLSD);
    for (const LineRow &row : kLineRows) {
        if (row.cts != cts || row.dcd != dcd) continue;
        for (const Call &call : row.calls)
            (m_states.*call.setter)(call.state, false);
        break;
    }
    m_port.DriveRts(true);
}

void LinkSelector::CommDeviceLost()
{
    if (m_selectedPort == kUsb) return;
    tmDelay.stop(); // an evaluation could only fail on the gone device
    // the same calls, in the same order, as both lines off
    m_states.SetMainsState(UpsState::Unknown, false);
    m_states.SetBatteryState(UpsState::Unknown, false);
    m_states.SetLinkState(UpsState::Off, false);
}

void LinkSelector::tmLoseTimer()
{
    tmLose.stop();
    // a device came back within the two seconds
    if (m_upsHidDevice) return;
    m_states.SetLinkState(UpsState::Off, false);
    m_states.SetMainsState(UpsState::Unknown, false);
    m_states.SetBatteryState(UpsState::Unknown, false);
}

bool LinkSelector::matchesSelectedName(HidDevice *device)
{
    // exact and case-sensitive; an empty name matches an unreadable product
    return device->ProductText() == m_selectedHidName;
}

void LinkSelector::HidArrival(HidDevice *device)
{
    if (!device || !matchesSelectedName(device)) return;
    if (!device->ClaimDevice()) return;
    m_upsHidDevice = device;
    if (device->OpenedForReadWrite()) {
        tmLose.stop();
        device->SetDataHandler([this](HidDevice *dev, uint8_t id, const uint8_t *data, int size) {
            HidStatusReport(dev, id, data, size);
        });
        enable(tmFeed);
    } else {
        // claimed but never read: the states stay as they are
        device->SetDataHandler(nullptr);
    }
}

void LinkSelector::HidRemoval(HidDevice *device)
{
    if (!device || !matchesSelectedName(device)) return;
    HidDevice *released = device;
    if (m_hidController) m_hidController->ReleaseDevice(released);
    m_upsHidDevice = nullptr;
    enable(tmLose);
    tmFeed.stop();
}

void LinkSelector::HidStatusReport(HidDevice *, uint8_t, const uint8_t *Data, int Size)
{
    const int code = Size > 0 && Data ? Data[0] : -1;
    const StatusRow *row = &kUnknownStatus;
    for (const StatusRow &candidate : kStatusRows)
        if (candidate.code == code) row = &candidate;
    for (const Call &call : row->calls)
        (m_states.*call.setter)(call.state, false);
    m_states.SetLinkState(UpsState::Normal, false);
}

void LinkSelector::tmFeedTimer()
{
    if (m_selectedPort != kUsb || !m_upsHidDevice) return;
    // always two bytes, whatever the device's output report length
    const uint8_t keepAlive[2] = {0x00, 0x02};
    m_upsHidDevice->WriteReport(keepAlive, 2);
}
