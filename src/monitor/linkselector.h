// LinkSelector: picks the serial or USB link from the settings and turns what each reports into states.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

class Alerts;
class HidDevice;
class HidDeviceController;
class PowerStates;
class SerialPort;
class SettingsRow;
class StatusView;

// One link at a time: a serial port with a contact-closure cable (CTS and DCD
// encode the UPS state, DTR held low, RTS high) or, for the keyword "USB", the
// HID device whose product string is the setting shidDevName. A change of
// either setting tears the old link down, forces the three states to Unknown
// and builds the new one. Everything runs on the user-interface thread.
class LinkSelector : public QObject
{
    Q_OBJECT

public:
    using ControllerFactory = std::function<std::unique_ptr<HidDeviceController>()>;

    // The keyword of the USB link in place of a port name (exact case).
    static const QString kUsb;

    // port is the main window's serial port (it owns it); makeController
    // creates the HID controller each time the USB link is selected.
    LinkSelector(PowerStates &states, StatusView &view, Alerts &alerts, const SettingsRow &settings,
                 SerialPort &port, ControllerFactory makeController, QObject *parent = nullptr);
    ~LinkSelector() override;

    // Rebuilds the link when sCOM or shidDevName differ from the last
    // selection. A port that fails to open shows msgOpenCOMFail and is not
    // tried again until the selection changes. An error while closing the
    // old port reaches the caller.
    void SelectLink();

    // Serial link. The line-change handler opens the 300 ms settling window;
    // the evaluation at its end reads the lines as they are then. An error
    // reading the lines reaches the caller (the timer's tick reports it as a
    // warning; RTS is then not raised again).
    void CommSignalChange();
    void CommSignalActChg();
    // The serial port's device went away while open: reported as a pulled
    // cable (mains and battery Unknown, link Lost), since no line change can
    // come any more to correct the last states.
    void CommDeviceLost();
    // The USB link's loss report, two seconds after a removal.
    void tmLoseTimer();

    // USB link.
    void HidArrival(HidDevice *device);
    void HidRemoval(HidDevice *device);
    void HidStatusReport(HidDevice *HidDev, uint8_t ReportID, const uint8_t *Data, int Size);
    void tmFeedTimer();

    const QString &SelectedPort() const { return m_selectedPort; }
    const QString &SelectedHidName() const { return m_selectedHidName; }
    HidDeviceController *HidController() const { return m_hidController.get(); }
    HidDevice *UpsHidDevice() const { return m_upsHidDevice; }
    SerialPort &ComPort() const { return m_port; }

    QTimer tmDelay; // 300 ms, serial line settling
    QTimer tmLose;  // 2000 ms, USB link loss
    QTimer tmFeed;  // 500 ms, USB keep-alive

private:
    bool matchesSelectedName(HidDevice *device);
    void delayTick();

    PowerStates &m_states;
    StatusView &m_view;
    Alerts &m_alerts;
    const SettingsRow &m_settings;
    SerialPort &m_port;
    ControllerFactory m_makeController;

    QString m_selectedPort;
    QString m_selectedHidName;
    std::unique_ptr<HidDeviceController> m_hidController;
    HidDevice *m_upsHidDevice = nullptr;
};
