// The password-protected database connection (SQLCipher), its statements and the schema.
#include "store/database.h"

#include "store/cvdate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Long enough for the sqlcipher shell or a second instance to finish a short
// write while we wait, short enough that a stuck peer is reported.
constexpr int kBusyTimeoutMs = 5000;

std::atomic<std::uint64_t> nextGeneration{1};

const char *const kTables[] = {"Settings", "Emails", "LOGFILES", "CloseFiles", "imglst"};

} // namespace

QString DatabasePath(const QString &programFolder)
{
    if (programFolder.isEmpty()) return QStringLiteral("Kestrava.mdb");
    QString folder = programFolder;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder + QStringLiteral("Kestrava.mdb");
}

QString QuoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// ---- Statement ----

Statement::Statement(Statement &&other) noexcept : db_(other.db_), stmt_(other.stmt_)
{
    other.db_ = nullptr;
    other.stmt_ = nullptr;
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = other.stmt_;
        other.db_ = nullptr;
        other.stmt_ = nullptr;
    }
    return *this;
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

void Statement::check(int rc) const
{
    if (rc == SQLITE_OK) return;
    db_->fail(QString::fromUtf8(sqlite3_errmsg(db_->db_)));
}

void Statement::bind(int index, const QVariant &value)
{
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(stmt_, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(stmt_, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Long:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            rc = sqlite3_bind_int64(stmt_, index, value.toLongLong());
            break;
        case QMetaType::ULongLong:
        case QMetaType::ULong:
            // Beyond the signed range a number can only be kept exactly as text.
            if (value.toULongLong() > static_cast<qulonglong>(INT64_MAX)) {
                const QByteArray text = value.toString().toUtf8();
                rc = sqlite3_bind_text(stmt_, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            } else {
                rc = sqlite3_bind_int64(stmt_, index, value.toLongLong());
            }
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt_, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(stmt_, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                     SQLITE_TRANSIENT);
            break;
        }
        default: {
            // An empty or null QString is stored as the empty text, never as NULL.
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text64(stmt_, index, text.isNull() ? "" : text.constData(),
                                     sqlite3_uint64(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    check(rc);
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // The error code of a failed step is only reliable after a reset.
    sqlite3_reset(stmt_);
    db_->fail(QString::fromUtf8(sqlite3_errmsg(db_->db_)));
}

void Statement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(stmt_);
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

QVariant Statement::value(int column) const
{
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt_, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt_, column));
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column)));
    }
    case SQLITE_BLOB: {
        const void *data = sqlite3_column_blob(stmt_, column);
        const int size = sqlite3_column_bytes(stmt_, column);
        return QVariant(QByteArray(static_cast<const char *>(data), size));
    }
    default:
        return QVariant();
    }
}

bool Statement::readOnly() const
{
    return sqlite3_stmt_readonly(stmt_) != 0;
}

QString Statement::originTable(int column) const
{
    return QString::fromUtf8(sqlite3_column_table_name(stmt_, column));
}

QString Statement::originColumn(int column) const
{
    return QString::fromUtf8(sqlite3_column_origin_name(stmt_, column));
}

// ---- Database ----

Database::~Database()
{
    close();
}

void Database::fail(const QString &what)
{
    lastError_ = what;
    throw StoreError(what);
}

void Database::openFile(const QString &path, const QString &password, int flags)
{
    close();
    lastError_.clear();
    const QByteArray file = QFile::encodeName(path);
    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(file.constData(), &handle, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString why =
            handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QStringLiteral("out of memory");
        sqlite3_close(handle);
        fail(QStringLiteral("cannot open %1: %2").arg(path, why));
    }
    db_ = handle;
    path_ = path;
    try {
        const QByteArray key = password.toUtf8();
        if (sqlite3_key(db_, key.constData(), int(key.size())) != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(db_)));
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        // A wrong password only shows at the first read of the file.
        exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        if (!RegisterCVDate(db_)) fail(QStringLiteral("cannot register CVDate"));
        configure();
    } catch (const StoreError &e) {
        const QString why = lastError_;
        close();
        lastError_ = why;
        throw StoreError(QStringLiteral("cannot open %1: %2").arg(path, why));
    }
    generation_ = nextGeneration++;
}

void Database::configure()
{
    // WAL lets the sqlcipher shell or a second reader look in while we write.
    // Switching needs the file to ourselves; when another process holds it,
    // the file keeps its rollback journal, which is just as safe.
    {
        Statement mode = prepare(QStringLiteral("PRAGMA journal_mode=WAL"));
        mode.step();
    }
    // A logged event must survive the power cut that may follow it: every
    // commit is synced to disk before LogEvent returns.
    exec(QStringLiteral("PRAGMA synchronous=FULL"));
}

void Database::verify()
{
    // A file cut short by whole pages fails the first read (its header knows
    // the size); one cut inside its last page must be caught here, or it fails
    // only when that page is first read, long after the start. Damage inside
    // the file is left to the statements that meet it: a monitor that refuses
    // to start over one bad old log page would protect nothing.
    {
        Statement size = prepare(QStringLiteral("PRAGMA page_size"));
        const qint64 pageSize = size.step() ? size.value(0).toLongLong() : 0;
        const qint64 fileSize = QFileInfo(path_).size();
        if (pageSize <= 0 || fileSize % pageSize != 0)
            fail(QStringLiteral("truncated database (%1 bytes)").arg(fileSize));
    }
    for (const char *table : kTables) {
        if (!tableExists(QLatin1String(table)))
            fail(QStringLiteral("table %1 is missing").arg(QLatin1String(table)));
    }
}

void Database::open(const QString &path, const QString &password)
{
    openFile(path, password, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX);
    try {
        verify();
    } catch (const StoreError &) {
        const QString why = lastError_;
        close();
        lastError_ = why;
        throw StoreError(QStringLiteral("cannot open %1: %2").arg(path, why));
    }
}

void Database::create(const QString &path, const QString &password)
{
    close();
    const QByteArray file = QFile::encodeName(path);
    // Created here, not by SQLite, so the file is never readable by others,
    // not even for a moment.
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
    openFile(path, password, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX);
}

void Database::close()
{
    if (!db_) return;
    // Statements still held elsewhere keep the handle alive until they are finalised.
    sqlite3_close_v2(db_);
    db_ = nullptr;
    path_.clear();
}

void Database::exec(const QString &sql)
{
    if (!db_) fail(QStringLiteral("database is not open"));
    char *message = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QString why = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(message);
        fail(why);
    }
}

Statement Database::prepare(const QString &sql)
{
    if (!db_) fail(QStringLiteral("database is not open"));
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_, text.constData(), int(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fail(QString::fromUtf8(sqlite3_errmsg(db_)));
    }
    if (!stmt) fail(QStringLiteral("empty statement"));
    Statement result(this, stmt);
    for (const char *p = tail; p && *p; ++p) {
        if (*p != ';' && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
            fail(QStringLiteral("more than one statement in: %1").arg(sql));
    }
    return result;
}

qint64 Database::lastInsertRowId() const
{
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

int Database::changes() const
{
    return db_ ? sqlite3_changes(db_) : 0;
}

bool Database::tableExists(const QString &name)
{
    if (!db_) return false;
    Statement query =
        prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"));
    query.bind(1, name);
    return query.step();
}

void CreateSchema(Database &db)
{
    db.exec(QStringLiteral("BEGIN;"
                           "CREATE TABLE Settings("
                           " bSysNoClose INTEGER NOT NULL DEFAULT 1,"
                           " bSysNoTB INTEGER NOT NULL DEFAULT 0,"
                           " bSysStayOnTop INTEGER NOT NULL DEFAULT 0,"
                           " sCOM TEXT NOT NULL DEFAULT 'USB',"
                           " shidDevName TEXT NOT NULL DEFAULT '',"
                           " bEMAIL INTEGER NOT NULL DEFAULT 0,"
                           " sSenderName TEXT NOT NULL DEFAULT '',"
                           " sSenderEmail TEXT NOT NULL DEFAULT '',"
                           " sSenderServer TEXT NOT NULL DEFAULT '',"
                           " sSenderCount TEXT NOT NULL DEFAULT '',"
                           " sSenderPassword TEXT NOT NULL DEFAULT '',"
                           " bSSL INTEGER NOT NULL DEFAULT 0,"
                           " bShutWinOS INTEGER NOT NULL DEFAULT 0,"
                           " bAutoSave INTEGER NOT NULL DEFAULT 0,"
                           " bExecuteApp INTEGER NOT NULL DEFAULT 0,"
                           " sExecuteApp TEXT NOT NULL DEFAULT '',"
                           " bShutUPS INTEGER NOT NULL DEFAULT 0,"
                           " iACTimer INTEGER NOT NULL DEFAULT 10,"
                           " iBatTimer INTEGER NOT NULL DEFAULT 30,"
                           " iAppTimer INTEGER NOT NULL DEFAULT 2,"
                           " bWarning INTEGER NOT NULL DEFAULT 1,"
                           " iWarnTimer INTEGER NOT NULL DEFAULT 30,"
                           " sACOff TEXT NOT NULL DEFAULT '',"
                           " sACOn TEXT NOT NULL DEFAULT '',"
                           " sBatDown TEXT NOT NULL DEFAULT '',"
                           " sBatUp TEXT NOT NULL DEFAULT '');"
                           "CREATE TABLE Emails(ENAME TEXT, EMAIL TEXT, ETYPE INTEGER NOT NULL DEFAULT 0);"
                           // AUTOINCREMENT: a deleted highest ID is never handed out again, so
                           // IDs keep the order of insertion.
                           "CREATE TABLE LOGFILES(ID INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " ETIME DATETIME NOT NULL DEFAULT (datetime('now','localtime')),"
                           " EVENT TEXT);"
                           "CREATE INDEX LOGFILES_ETIME ON LOGFILES(ETIME);"
                           "CREATE TABLE CloseFiles(pathfilename TEXT, filename TEXT);"
                           "CREATE TABLE imglst(IMGID INTEGER PRIMARY KEY, imgdat BLOB);"
                           "COMMIT;"));
}
