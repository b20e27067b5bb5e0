// The program folder, found through /proc/self/exe.
#include "platform/program_folder.h"

#include <QFile>
#include <unistd.h>

#include <array>

QString ProgramFolder()
{
    std::array<char, 4096> buf{};
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return QStringLiteral("./");
    // An executable replaced while running reads "<path> (deleted)"; the
    // folder part is still right, so only the text after the last '/' is cut.
    QByteArray path(buf.data(), static_cast<int>(n));
    return QFile::decodeName(path.left(path.lastIndexOf('/') + 1));
}
