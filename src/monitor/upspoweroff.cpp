// The UPS power-off command: the INI flag, the USB power-off report and the serial DTR line.
#include "monitor/upspoweroff.h"

#include "devices/hiddevice.h"
#include "devices/serialport.h"
#include "lang/inifile.h"
#include "lang/messages.h"
#include "monitor/linkselector.h"
#include "platform/os_family.h"
#include "store/eventlog.h"
#include "store/settingsrow.h"

#include <QByteArray>

UpsPowerOff::UpsPowerOff(const LinkSelector &links, EventLog &log, const SettingsRow &settings,
                         QString programFolder, std::function<bool()> isWindowsNT)
    : m_links(links), m_log(log), m_settings(settings),
      m_iniPath(programFolder + QStringLiteral("Kestrava.INI")),
      m_isWindowsNT(isWindowsNT ? std::move(isWindowsNT) : std::function<bool()>(IsWindowsNT))
{
}

QByteArray UpsPowerOff::PowerOffReport(int length)
{
    if (length < 2) return {};
    // a hidraw device refuses a report shorter than its output report, so a
    // longer one is padded with zeros to its full length
    QByteArray report(length, '\0');
    report[1] = '\x01';
    return report;
}

void UpsPowerOff::PowerOffUps(const QString &scope)
{
    IniFile(m_iniPath).writeString(QStringLiteral("settings"), QStringLiteral("ShutDownUPS"),
                                   QStringLiteral("0"));
    if (!m_settings.GetBool("bShutUPS")) return;

    HidDevice *ups = m_links.UpsHidDevice();
    if (m_links.SelectedPort() == LinkSelector::kUsb && ups && scope != QLatin1String("COM")) {
        m_log.LogEvent(Msg().msgUPSShutdown);
        const QByteArray report = PowerOffReport(ups->Capabilities().OutputReportByteLength);
        // a device without room for the command has not been told: say so
        if (report.isEmpty() || !ups->WriteReport(report.constData(), int(report.size())))
            m_log.LogEvent(Msg().msgUSBWriteErr);
    }

    SerialPort &port = m_links.ComPort();
    if (port.Connected() && scope != QLatin1String("USB")) {
        m_log.LogEvent(Msg().msgUPSShutdown);
        if (!m_isWindowsNT() && scope == QLatin1String("ALL")) port.DriveDtr(true);
    }
}
