// The password-protected database connection (SQLCipher), its statements and the schema.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// Every failure of the store: opening, statements, record-set misuse.
class StoreError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    explicit StoreError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// The password of the application database; the mail password lives in it.
inline const char *const kDatabasePassword = "wqpz@4816";

// The database file in the program folder (with or without a trailing separator).
QString DatabasePath(const QString &programFolder);

class Database;

// One prepared statement; finalised when it goes out of scope.
class Statement
{
public:
    Statement() = default;
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    // Parameters count from 1, as in SQL. A null QVariant binds NULL, bool binds 0/1,
    // QByteArray binds a blob, numbers bind numbers, anything else binds its text.
    void bind(int index, const QVariant &value);
    // Runs to the next row: true when a row is ready, false when done. Throws StoreError.
    bool step();
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    // The current row's value: null, qint64, double, QString or QByteArray.
    QVariant value(int column) const;
    bool readOnly() const;
    // Where a result column comes from (empty for an expression).
    QString originTable(int column) const;
    QString originColumn(int column) const;

private:
    friend class Database;
    Statement(Database *db, sqlite3_stmt *stmt) : db_(db), stmt_(stmt) {}
    void check(int rc) const;

    Database *db_ = nullptr;
    sqlite3_stmt *stmt_ = nullptr;
};

class Database
{
public:
    Database() = default;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    ~Database();

    // Opens an existing database file with its password and checks at once that
    // the password fits, the file is an intact database and the five tables exist.
    // Never creates a file. Any failure leaves the connection closed.
    void open(const QString &path, const QString &password);
    // Creates a new, empty database file readable by its owner only (0600) and
    // opens it; fails if the file exists. The schema is up to the caller.
    void create(const QString &path, const QString &password);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    // Changes on every open, so holders of rows from an earlier connection can tell.
    std::uint64_t generation() const { return generation_; }

    // Runs one or more statements; results are discarded. Throws StoreError.
    void exec(const QString &sql);
    // Prepares exactly one statement (trailing text other than blanks and ';' is refused).
    Statement prepare(const QString &sql);
    QString lastError() const { return lastError_; }
    qint64 lastInsertRowId() const;
    int changes() const;
    bool tableExists(const QString &name);

private:
    friend class Statement;
    [[noreturn]] void fail(const QString &what);
    void openFile(const QString &path, const QString &password, int flags);
    void configure();
    void verify();

    sqlite3 *db_ = nullptr;
    QString path_;
    QString lastError_;
    std::uint64_t generation_ = 0;
};

// The five tables of the application and the index the log viewer needs.
void CreateSchema(Database &db);

// Quotes an SQL identifier ("name" with inner quotes doubled).
QString QuoteIdentifier(const QString &name);
