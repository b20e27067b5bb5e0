// What the main window holds of power monitoring: the states, the alerts, the links and the UPS power-off.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class Alerts;
class PowerStates;
class SerialPort;
class TfMain;

// Built by the main window once its database is open and its artwork loaded,
// and owned by it to the end. Every part may be missing (a window under test
// without links): the window then skips what it would have done with it.
class MonitorParts
{
public:
    virtual ~MonitorParts() = default;

    virtual PowerStates *States() { return nullptr; }
    virtual Alerts *AlertsPart() { return nullptr; }
    // The window's serial port, closed by the window's destruction when open.
    virtual SerialPort *Port() { return nullptr; }

    // The three states to Unknown, without any display, log or alert.
    virtual void SetStartStates() {}
    virtual void SelectLink() {}
    virtual void PowerOffUps(const QString &scope) { (void)scope; }
};

using MonitorFactory = std::function<std::unique_ptr<MonitorParts>(TfMain &window)>;
