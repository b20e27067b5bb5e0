// A program folder with a real database and a main window over fakes, shared by the shell's tests.
#include "app_fixture.h"

#include "lang/messages.h"
#include "store/database.h"
#include "store/defaultdb.h"
#include "store/recordset.h"

#include <QDir>
#include <QPixmap>

namespace {

QIcon SolidIcon(QColor colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

void WriteSettings(RecordSet &settings, const std::vector<std::pair<const char *, QVariant>> &values)
{
    settings.edit();
    for (const auto &[column, value] : values)
        settings.setValue(QLatin1String(column), value);
    settings.post();
}

} // namespace

int ImageIndexOf(const QImage &picture)
{
    return picture.isNull() ? -1 : qRed(picture.pixel(0, 0));
}

void ShellTest::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    // no program INI file and no language file: the built-in texts
    LoadMessages(Folder());
    programIcon = SolidIcon(Qt::green);
    linkDownIcon = SolidIcon(Qt::red);
}

void ShellTest::TearDown()
{
    window.reset();
}

void ShellTest::MakeDatabase(int images)
{
    const QString imageDir = dir.path() + QStringLiteral("/img");
    ASSERT_TRUE(QDir().mkpath(imageDir));
    for (int n = 0; n < images; ++n) {
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(qRgb(n, 0x40, 0x80));
        ASSERT_TRUE(
            picture.save(QStringLiteral("%1/%2.bmp").arg(imageDir).arg(n, 2, 10, QLatin1Char('0')), "BMP"));
    }
    WriteDefaultDatabase(DatabasePath(Folder()), imageDir);
}

void ShellTest::SetStoredSettings(const std::vector<std::pair<const char *, QVariant>> &values)
{
    Database db;
    db.open(DatabasePath(Folder()), QString::fromLatin1(kDatabasePassword));
    RecordSet settings(db);
    settings.openTable(QStringLiteral("Settings"));
    WriteSettings(settings, values);
}

void ShellTest::SetSettings(const std::vector<std::pair<const char *, QVariant>> &values)
{
    WriteSettings(window->db.tSet, values);
}

QStringList ShellTest::LoggedEvents()
{
    Database db;
    db.open(DatabasePath(Folder()), QString::fromLatin1(kDatabasePassword));
    Statement rows = db.prepare(QStringLiteral("SELECT EVENT FROM LOGFILES ORDER BY ID"));
    QStringList events;
    while (rows.step())
        events << rows.value(0).toString();
    return events;
}

MainWindowDeps ShellTest::Deps()
{
    MainWindowDeps deps{Folder(), boxes, tray, shell, clock};
    deps.programIcon = programIcon;
    deps.linkDownIcon = linkDownIcon;
    deps.endProgram = [this] {
        ++endCalls;
        log.Add(QStringLiteral("EndProgram"));
    };
    return deps;
}

TfMain &ShellTest::CreateWindow(bool withMonitor)
{
    MainWindowDeps deps = Deps();
    if (withMonitor)
        deps.makeMonitor = [this](TfMain &) {
            auto parts = std::make_unique<RecordingMonitor>(log);
            monitor = parts.get();
            return parts;
        };
    window = std::make_unique<TfMain>(std::move(deps));
    return *window;
}
