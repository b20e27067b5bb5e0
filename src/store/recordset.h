// A record set over one table or one SQL query: a cursor with reads, edits and deletes by column name.
#pragma once

#include "store/database.h"

#include <QHash>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Rows of a table are held by rowid only, and their values are read from the
// database at the moment of use, so other rows (or other processes) may change
// meanwhile. Rows of a query are a snapshot taken when it is opened.
//
// A row being edited or inserted is what the readers of the record set see;
// cancel() brings the stored values back. Moving the cursor, requery() or a
// new filter store a pending edit first. Misuse and store failures throw
// StoreError.
class RecordSet
{
public:
    enum class State { Browse, Edit, Insert };

    explicit RecordSet(Database &db) : db_(&db) {}
    RecordSet(const RecordSet &) = delete;
    RecordSet &operator=(const RecordSet &) = delete;

    // The connection it reads and writes through (for a caller's transaction).
    Database &connection() const { return *db_; }

    // The source. Replacing it closes the record set.
    void setTable(const QString &table, const QString &indexField = QString());
    void setSql(const QString &sql);
    QString table() const { return table_; }
    QString sql() const { return sql_; }

    // Opens the source set last (table or query) and goes to its first row.
    void open();
    void openTable(const QString &table, const QString &indexField = QString());
    void openSql(const QString &sql);
    // Discards a pending edit.
    void close();
    // False also once the connection it was opened on has been closed.
    bool isOpen() const;

    // Row selection of a table: "", "ETYPE=n" or "ETYPE=0 OR ETYPE=n". Any other
    // text is refused with StoreError and the previous filter stays. Applies at
    // once when the record set is open (and goes to the first row).
    void setFilter(const QString &filter);
    QString filter() const { return filter_; }

    void first();
    void next();
    bool eof() const;
    bool isEmpty() const;
    int recordCount() const;

    QStringList columnNames() const { return columns_; }
    bool hasColumn(const QString &column) const;
    // The current row's value (or the edit buffer's): null, qint64, double, QString or QByteArray.
    QVariant value(const QString &column) const;
    bool asBool(const QString &column) const;
    int asInt(const QString &column) const;
    QString asString(const QString &column) const;
    QByteArray asBytes(const QString &column) const;
    // Only while editing or inserting.
    void setValue(const QString &column, const QVariant &value);

    // append and insert both start a new row (it is added at the end of the set).
    void append();
    void insert() { append(); }
    void edit();
    void post();
    void cancel();
    // Deletes the current row from the database; the cursor moves to the row
    // after it (eof when it was the last). On a query this deletes the row of
    // its table through that table's integer key, which the query must list.
    void deleteCurrent();
    // Stores a pending edit, reads the source again and goes to the first row.
    void requery();
    State state() const { return state_; }

private:
    enum class Source { None, Table, Query };
    struct Filter
    {
        bool any = true;
        bool orZero = false;
        qint64 code = 0;
    };

    void requireOpen() const;
    void requireRow() const;
    int columnIndex(const QString &column) const;
    void load();
    void loadTable();
    void loadQuery();
    QVariant storedValue(int column) const;
    static Filter parseFilter(const QString &text);
    void discardEdit();

    Database *db_;
    Source source_ = Source::None;
    QString table_;
    QString indexField_;
    QString sql_;
    QString filter_;
    Filter parsedFilter_;

    bool open_ = false;
    std::uint64_t generation_ = 0;
    QStringList columns_;
    QHash<QString, int> columnIndex_; // lower-case name -> position
    int pos_ = 0;
    QVector<qint64> keys_;            // table: rowids in order
    QVector<QVector<QVariant>> rows_; // query: the snapshot
    QString baseTable_;               // query: table its rows come from
    int baseKey_ = -1;                // query: column holding that table's key
    QString baseKeyName_;             // query: that key's name in its table

    State state_ = State::Browse;
    QVector<QVariant> buffer_;
    QVector<bool> dirty_;
};
