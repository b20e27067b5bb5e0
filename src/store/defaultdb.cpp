// The database a new installation starts with: schema, default settings, artwork.
#include "store/defaultdb.h"

#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// Image indexes the main window addresses (0 to 31).
constexpr int kImagesExpected = 32;

struct Default
{
    const char *column;
    QVariant value;
};

// What a new user would expect: the USB link (never a serial port: on these
// machines the first one may be the console), warnings on, and nothing that
// powers the machine or the UPS off until the user asks for it.
QList<Default> defaults()
{
    return {
        {"bSysNoClose", true},
        {"bSysNoTB", false},
        {"bSysStayOnTop", false},
        {"sCOM", QStringLiteral("USB")},
        {"shidDevName", QStringLiteral("UPS")},
        {"bEMAIL", false},
        {"sSenderName", QString()},
        {"sSenderEmail", QString()},
        {"sSenderServer", QString()},
        {"sSenderCount", QString()},
        {"sSenderPassword", QString()},
        {"bSSL", false},
        {"bShutWinOS", false},
        {"bAutoSave", false},
        {"bExecuteApp", false},
        {"sExecuteApp", QString()},
        {"bShutUPS", false},
        {"iACTimer", 10},
        {"iBatTimer", 30},
        {"iAppTimer", 2},
        {"bWarning", true},
        {"iWarnTimer", 30},
        {"sACOff", QStringLiteral("市电断电，UPS 正在用电池供电")},
        {"sACOn", QStringLiteral("市电已恢复")},
        {"sBatDown", QStringLiteral("UPS 电池电压低")},
        {"sBatUp", QStringLiteral("UPS 电池电压恢复正常")},
    };
}

void writeSettings(Database &db)
{
    QStringList columns;
    QStringList marks;
    const QList<Default> values = defaults();
    for (int i = 0; i < values.size(); ++i) {
        columns.append(QLatin1String(values[i].column));
        marks.append(QStringLiteral("?%1").arg(i + 1));
    }
    Statement insert = db.prepare(QStringLiteral("INSERT INTO Settings(%1) VALUES(%2)")
                                      .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    for (int i = 0; i < values.size(); ++i) {
        insert.bind(i + 1, values[i].value);
    }
    insert.step();
}

// NN.bmp files of folder by their number.
QMap<int, QString> findImages(const QString &folder)
{
    QMap<int, QString> images;
    if (folder.isEmpty()) return images;
    static const QRegularExpression name(QStringLiteral("^(\\d{2,4})\\.bmp$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QRegularExpressionMatch match = name.match(file);
        if (!match.hasMatch()) continue;
        const int number = match.captured(1).toInt();
        if (images.contains(number))
            throw StoreError(QStringLiteral("two images numbered %1 in %2: %3 and %4")
                                 .arg(number)
                                 .arg(folder, QFileInfo(images[number]).fileName(), file));
        images.insert(number, QDir(folder).filePath(file));
    }
    return images;
}

int writeImages(Database &db, const QMap<int, QString> &images)
{
    Statement insert = db.prepare(QStringLiteral("INSERT INTO imglst(IMGID, imgdat) VALUES(?1, ?2)"));
    for (auto it = images.constBegin(); it != images.constEnd(); ++it) {
        QFile file(it.value());
        if (!file.open(QIODevice::ReadOnly))
            throw StoreError(QStringLiteral("cannot read %1: %2").arg(it.value(), file.errorString()));
        const QByteArray bytes = file.readAll();
        // The main window decodes every row as a bitmap file; anything else is a build fault.
        if (bytes.size() < 54 || !bytes.startsWith("BM"))
            throw StoreError(QStringLiteral("%1 is not a BMP file").arg(it.value()));
        insert.reset();
        insert.bind(1, it.key());
        insert.bind(2, bytes);
        insert.step();
    }
    return int(images.size());
}

void removeWithCompanions(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

DefaultDatabaseResult WriteDefaultDatabase(const QString &path, const QString &imageFolder)
{
    DefaultDatabaseResult result;
    const QFileInfo target(path);
    QDir().mkpath(target.absolutePath());
    const QString temp = target.absoluteFilePath() + QStringLiteral(".new-%1").arg(::getpid());
    removeWithCompanions(temp);
    try {
        const QMap<int, QString> images = findImages(imageFolder);
        Database db;
        db.create(temp, QString::fromLatin1(kDatabasePassword));
        CreateSchema(db);
        db.exec(QStringLiteral("BEGIN"));
        writeSettings(db);
        result.images = writeImages(db, images);
        db.exec(QStringLiteral("COMMIT"));
        db.close();
    } catch (...) {
        removeWithCompanions(temp);
        throw;
    }
    // A journal left beside the old file would be replayed into the new one.
    for (const char *suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(target.absoluteFilePath() + QLatin1String(suffix));
    if (::rename(QFile::encodeName(temp).constData(),
                 QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        const int error = errno;
        removeWithCompanions(temp);
        throw StoreError(
            QStringLiteral("cannot replace %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    if (result.images == 0)
        result.notes.append(
            QStringLiteral("no artwork found%1: the database holds no images")
                .arg(imageFolder.isEmpty() ? QString() : QStringLiteral(" in ") + imageFolder));
    else if (result.images < kImagesExpected)
        result.notes.append(QStringLiteral("only %1 images (the main window uses %2)")
                                .arg(result.images)
                                .arg(kImagesExpected));
    return result;
}
