// Runs tests/support/smtp_server.py with Debian's python and reads its JSON log.
#include "smtp_test_server.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
QString logPath(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("received.jsonl"));
}
} // namespace

SmtpTestServer::SmtpTestServer() : SmtpTestServer(Options{}) {}

SmtpTestServer::SmtpTestServer(Options options) : options_(std::move(options)) {}

SmtpTestServer::~SmtpTestServer()
{
    stop();
}

bool SmtpTestServer::start()
{
    QStringList args{QStringLiteral(KESTRAVA_SOURCE_DIR "/tests/support/smtp_server.py"),
                     QStringLiteral("--out"),
                     logPath(dir_),
                     QStringLiteral("--user"),
                     options_.user,
                     QStringLiteral("--password"),
                     options_.password,
                     QStringLiteral("--lifetime"),
                     QString::number(options_.lifetimeSeconds)};
    if (!options_.offerLogin) args << QStringLiteral("--no-login");
    if (options_.port != 0) args << QStringLiteral("--port") << QString::number(options_.port);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Debian's interpreter: the one on PATH may lack Debian's modules
    process_.start(QStringLiteral("/usr/bin/python3"), args);
    if (!process_.waitForStarted(5000)) {
        error_ = process_.errorString();
        return false;
    }
    QByteArray out;
    while (!out.contains('\n')) {
        if (!process_.waitForReadyRead(10000)) {
            error_ = QStringLiteral("smtp_server.py did not get ready");
            stop();
            return false;
        }
        out += process_.readAllStandardOutput();
    }
    const QList<QByteArray> words = out.left(out.indexOf('\n')).split(' ');
    if (words.size() != 2 || words[0] != "READY") {
        error_ = QString::fromUtf8(out);
        stop();
        return false;
    }
    port_ = static_cast<quint16>(words[1].toUInt());
    return port_ != 0;
}

void SmtpTestServer::stop()
{
    if (process_.state() == QProcess::NotRunning) return;
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

QList<QJsonObject> SmtpTestServer::records(const QString &event) const
{
    QList<QJsonObject> out;
    QFile f(logPath(dir_));
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value(QStringLiteral("event")).toString() == event) out.append(o);
    }
    return out;
}

QList<SmtpTestServer::Message> SmtpTestServer::messages() const
{
    QList<Message> out;
    for (const QJsonObject &o : records(QStringLiteral("message"))) {
        Message m;
        m.mailFrom = o.value(QStringLiteral("mail_from")).toString();
        for (const QJsonValue &v : o.value(QStringLiteral("rcpt_tos")).toArray())
            m.rcptTos.append(v.toString());
        m.data = QByteArray::fromBase64(o.value(QStringLiteral("data_b64")).toString().toLatin1());
        m.helo = o.value(QStringLiteral("helo")).toString();
        m.esmtp = o.value(QStringLiteral("esmtp")).toBool();
        m.auth = o.value(QStringLiteral("auth")).toString();
        m.headers = o.value(QStringLiteral("headers")).toObject();
        out.append(m);
    }
    return out;
}

QList<QJsonObject> SmtpTestServer::authAttempts() const
{
    return records(QStringLiteral("auth"));
}
