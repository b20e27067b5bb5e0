// A private X screen (Xvfb) and the xdotool calls that find and answer a message box on it.
#include "virtual_screen.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

VirtualScreen::~VirtualScreen()
{
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(5000)) server_.kill();
        server_.waitForFinished(2000);
    }
}

bool VirtualScreen::Start()
{
    for (int n = 120; n < 160; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) continue;
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral(":%1").arg(n), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                       QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24")});
        if (!server_.waitForStarted(5000)) return false;
        QDeadlineTimer deadline(5000);
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        while (!deadline.hasExpired() && server_.state() == QProcess::Running && !QFile::exists(socket))
            QThread::msleep(20);
        if (server_.state() == QProcess::Running && QFile::exists(socket)) {
            display_ = QStringLiteral(":%1").arg(n);
            return true;
        }
        server_.kill();
        server_.waitForFinished(2000); // taken meanwhile: the next one
    }
    return false;
}

QString VirtualScreen::Run(const QStringList &args, int timeoutMs, bool *ok)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), args);
    const bool finished = p.waitForStarted(5000) && p.waitForFinished(timeoutMs);
    if (!finished) {
        p.kill();
        p.waitForFinished(2000);
    }
    if (ok) *ok = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QStringList VirtualScreen::WaitForWindows(const QString &title, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        bool ok = false;
        const QString out = Run({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--name"), QStringLiteral("^%1$").arg(title)},
                                5000, &ok);
        if (ok && !out.isEmpty()) return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QThread::msleep(200);
    } while (!deadline.hasExpired());
    return {};
}

bool VirtualScreen::PressReturn(const QString &window)
{
    bool focused = false;
    Run({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}, 5000, &focused);
    bool pressed = false;
    Run({QStringLiteral("key"), QStringLiteral("Return")}, 5000, &pressed);
    return focused && pressed;
}

bool VirtualScreenAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}
