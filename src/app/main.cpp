// Program entry: the real platform objects, created here and nowhere else, handed to the program.
#include "app/programdialogs.h"
#include "app/programmonitor.h"
#include "app/programparts.h"
#include "app/system_power_entry.h"
#include "platform/clock.h"
#include "platform/linux/desktop_shell_open.h"
#include "platform/linux/qt_message_boxes.h"
#include "platform/linux/qt_tray_icon.h"
#include "platform/linux/socket_single_instance.h"
#include "platform/linux/spawn_process_runner.h"
#include "platform/program_folder.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    SocketSingleInstance instance(QStringLiteral("Kestrava"));
    QtMessageBoxes boxes;
    QtTrayIcon tray;
    DesktopShellOpen shell;
    SystemClock clock;
    SpawnProcessRunner runner;
    // the one place the machine could be powered off from (linked per executable)
    const std::unique_ptr<SystemPower> power = MakeSystemPower();

    ProgramParts parts{ProgramFolder(), instance, boxes, tray, shell, clock};
    parts.makeMonitor = ProgramMonitorFactory({clock, shell, runner, *power, parts.programFolder, &boxes});
    AttachProgramDialogs(parts);
    return RunProgram(parts);
}
