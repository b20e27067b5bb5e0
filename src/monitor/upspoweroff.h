// UpsPowerOff: tells the UPS to switch itself off over whichever link is up.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class EventLog;
class LinkSelector;
class SettingsRow;

// Called at the end of a forced shutdown with the scope "ALL" (both links),
// "USB" or "COM"; any other scope acts like "ALL" but never raises DTR.
class UpsPowerOff
{
public:
    // programFolder ends in '/'; the flag goes to its "Kestrava.INI".
    // isWindowsNT tells the family of the operating system (false here).
    UpsPowerOff(const LinkSelector &links, EventLog &log, const SettingsRow &settings, QString programFolder,
                std::function<bool()> isWindowsNT = {});

    // Writes [settings] ShutDownUPS=0 into the program INI file on every call;
    // when that fails it raises IniWriteError and nothing else happens. Then,
    // with bShutUPS on: the power-off report to the held USB device (logged;
    // a failed write logs msgUSBWriteErr too) and, with the serial port open,
    // a log line and DTR raised for "ALL". An error driving DTR reaches the
    // caller.
    void PowerOffUps(const QString &scope);

    // The power-off report for a device whose output reports are length
    // bytes long (report id included): 00 01 and zeros up to that length.
    // Empty when the report has no room for the command.
    static QByteArray PowerOffReport(int length);

private:
    const LinkSelector &m_links;
    EventLog &m_log;
    const SettingsRow &m_settings;
    QString m_iniPath;
    std::function<bool()> m_isWindowsNT;
};
