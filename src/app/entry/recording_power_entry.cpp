// The recording build's power-off: appends the request to a file and never touches the system.
#include "app/system_power_entry.h"

#include "platform/program_folder.h"

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace {

// The virtual UPS looks for this text in an executable before it runs it, so
// it never starts a build that could really power the machine off.
[[gnu::used]] const char kRecordingMarker[] = "KESTRAVA-RECORDING-POWER-OFF-BUILD";

class RecordingSystemPower final : public SystemPower
{
public:
    void RequestPowerOff() override
    {
        const QByteArray named = qgetenv("KESTRAVA_POWEROFF_LOG");
        const QString path = named.isEmpty() ? ProgramFolder() + QStringLiteral("poweroff-requests.log")
                                             : QString::fromLocal8Bit(named);
        const QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() +
                                " power-off requested (recorded only)\n";
        QFile file(path);
        if (file.open(QIODevice::Append | QIODevice::WriteOnly)) {
            file.write(line);
            return;
        }
        // Somebody should still learn that the program asked.
        std::fprintf(stderr, "Kestrava-recording: %s: %s", qPrintable(path), line.constData());
    }
};

} // namespace

std::unique_ptr<SystemPower> MakeSystemPower()
{
    (void)kRecordingMarker;
    return std::make_unique<RecordingSystemPower>();
}
