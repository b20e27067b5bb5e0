// A record set over one table or one SQL query: a cursor with reads, edits and deletes by column name.
#include "store/recordset.h"

#include <QRegularExpression>

namespace {

QString lower(const QString &name)
{
    return name.toLower();
}

// Integer key column of a table (its rowid alias), or empty when it has none.
QString integerKeyOf(Database &db, const QString &table)
{
    Statement info = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(QuoteIdentifier(table)));
    QString key;
    int keys = 0;
    while (info.step()) {
        if (info.value(5).toInt() > 0) {
            ++keys;
            if (info.value(2).toString().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                key = info.value(1).toString();
        }
    }
    return keys == 1 ? key : QString();
}

} // namespace

// ---- source ----

void RecordSet::setTable(const QString &table, const QString &indexField)
{
    close();
    source_ = Source::Table;
    table_ = table;
    indexField_ = indexField;
    sql_.clear();
}

void RecordSet::setSql(const QString &sql)
{
    close();
    source_ = Source::Query;
    sql_ = sql;
    table_.clear();
    indexField_.clear();
}

void RecordSet::openTable(const QString &table, const QString &indexField)
{
    setTable(table, indexField);
    open();
}

void RecordSet::openSql(const QString &sql)
{
    setSql(sql);
    open();
}

void RecordSet::open()
{
    if (source_ == Source::None) throw StoreError("record set has no source");
    if (!db_->isOpen()) throw StoreError("database is not open");
    close();
    if (source_ == Source::Query && parsedFilter_.any == false)
        throw StoreError("a filter applies to a table only");
    try {
        load();
    } catch (...) {
        close();
        throw;
    }
    open_ = true;
    generation_ = db_->generation();
    pos_ = 0;
}

void RecordSet::close()
{
    open_ = false;
    discardEdit();
    columns_.clear();
    columnIndex_.clear();
    keys_.clear();
    rows_.clear();
    baseTable_.clear();
    baseKey_ = -1;
    baseKeyName_.clear();
    pos_ = 0;
}

bool RecordSet::isOpen() const
{
    return open_ && db_->isOpen() && db_->generation() == generation_;
}

void RecordSet::requireOpen() const
{
    if (!isOpen()) throw StoreError("record set is not open");
}

void RecordSet::requireRow() const
{
    requireOpen();
    if (state_ != State::Insert && eof()) throw StoreError("record set has no current row");
}

void RecordSet::load()
{
    if (source_ == Source::Table)
        loadTable();
    else
        loadQuery();
}

void RecordSet::loadTable()
{
    // The real name of the table, which the caller may have spelt in another case.
    {
        Statement find = db_->prepare(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"));
        find.bind(1, table_);
        if (!find.step()) throw StoreError(QStringLiteral("no such table: %1").arg(table_));
        table_ = find.value(0).toString();
    }
    columns_.clear();
    columnIndex_.clear();
    {
        Statement info = db_->prepare(QStringLiteral("PRAGMA table_info(%1)").arg(QuoteIdentifier(table_)));
        while (info.step()) {
            const QString name = info.value(1).toString();
            columnIndex_.insert(lower(name), int(columns_.size()));
            columns_.append(name);
        }
    }
    QString order = QStringLiteral("rowid");
    if (!indexField_.isEmpty()) {
        const int index = columnIndex(indexField_);
        order = QuoteIdentifier(columns_[index]) + QStringLiteral(", rowid");
    }
    QString where;
    if (!parsedFilter_.any) {
        // The code is bound, never pasted: a filter text cannot reach the SQL.
        where = parsedFilter_.orZero ? QStringLiteral(" WHERE ETYPE=0 OR ETYPE=?1")
                                     : QStringLiteral(" WHERE ETYPE=?1");
    }
    Statement rows = db_->prepare(
        QStringLiteral("SELECT rowid FROM %1%2 ORDER BY %3").arg(QuoteIdentifier(table_), where, order));
    if (!parsedFilter_.any) rows.bind(1, parsedFilter_.code);
    keys_.clear();
    while (rows.step())
        keys_.append(rows.value(0).toLongLong());
}

void RecordSet::loadQuery()
{
    Statement query = db_->prepare(sql_);
    if (!query.readOnly()) throw StoreError(QStringLiteral("a record set only reads: %1").arg(sql_));
    columns_.clear();
    columnIndex_.clear();
    const int count = query.columnCount();
    QString origin;
    bool oneOrigin = count > 0;
    for (int c = 0; c < count; ++c) {
        const QString name = query.columnName(c);
        if (!columnIndex_.contains(lower(name))) columnIndex_.insert(lower(name), c);
        columns_.append(name);
        const QString table = query.originTable(c);
        if (table.isEmpty() || (!origin.isEmpty() && origin.compare(table, Qt::CaseInsensitive) != 0))
            oneOrigin = false;
        origin = table;
    }
    // Rows of a query over one table can be deleted through that table's key.
    if (oneOrigin) {
        const QString key = integerKeyOf(*db_, origin);
        for (int c = 0; c < count && !key.isEmpty(); ++c) {
            if (query.originColumn(c).compare(key, Qt::CaseInsensitive) == 0) {
                baseTable_ = origin;
                baseKey_ = c;
                baseKeyName_ = key;
                break;
            }
        }
    }
    rows_.clear();
    while (query.step()) {
        QVector<QVariant> row;
        row.reserve(count);
        for (int c = 0; c < count; ++c)
            row.append(query.value(c));
        rows_.append(row);
    }
}

// ---- filter ----

RecordSet::Filter RecordSet::parseFilter(const QString &text)
{
    static const QRegularExpression one(QStringLiteral("^\\s*ETYPE\\s*=\\s*(\\d{1,9})\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression zeroOr(
        QStringLiteral("^\\s*ETYPE\\s*=\\s*0\\s+OR\\s+ETYPE\\s*=\\s*(\\d{1,9})\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    Filter filter;
    if (text.trimmed().isEmpty()) return filter;
    QRegularExpressionMatch match = one.match(text);
    if (!match.hasMatch()) {
        match = zeroOr.match(text);
        filter.orZero = true;
    }
    if (!match.hasMatch()) throw StoreError(QStringLiteral("unknown filter: %1").arg(text));
    filter.any = false;
    filter.code = match.captured(1).toLongLong();
    return filter;
}

void RecordSet::setFilter(const QString &filter)
{
    const Filter parsed = parseFilter(filter);
    if (!parsed.any && source_ == Source::Query) throw StoreError("a filter applies to a table only");
    if (isOpen() && state_ != State::Browse) post();
    const QString previousText = filter_;
    const Filter previous = parsedFilter_;
    filter_ = filter;
    parsedFilter_ = parsed;
    if (isOpen()) {
        try {
            load();
        } catch (...) {
            filter_ = previousText;
            parsedFilter_ = previous;
            throw;
        }
        pos_ = 0;
    }
}

// ---- cursor ----

void RecordSet::first()
{
    requireOpen();
    if (state_ != State::Browse) post();
    pos_ = 0;
}

void RecordSet::next()
{
    requireOpen();
    if (state_ != State::Browse) post();
    if (pos_ < recordCount()) ++pos_;
}

bool RecordSet::eof() const
{
    if (!isOpen()) return true;
    if (state_ == State::Insert) return false;
    return pos_ >= recordCount();
}

bool RecordSet::isEmpty() const
{
    return recordCount() == 0;
}

int RecordSet::recordCount() const
{
    if (!isOpen()) return 0;
    return int(source_ == Source::Table ? keys_.size() : rows_.size());
}

// ---- columns ----

bool RecordSet::hasColumn(const QString &column) const
{
    return columnIndex_.contains(lower(column));
}

int RecordSet::columnIndex(const QString &column) const
{
    const auto it = columnIndex_.constFind(lower(column));
    if (it == columnIndex_.constEnd()) throw StoreError(QStringLiteral("no such column: %1").arg(column));
    return it.value();
}

QVariant RecordSet::storedValue(int column) const
{
    if (source_ == Source::Query) return rows_[pos_][column];
    Statement read = db_->prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?1")
                                      .arg(QuoteIdentifier(columns_[column]), QuoteIdentifier(table_)));
    read.bind(1, keys_[pos_]);
    if (!read.step()) throw StoreError(QStringLiteral("the current row of %1 no longer exists").arg(table_));
    return read.value(0);
}

QVariant RecordSet::value(const QString &column) const
{
    requireRow();
    const int index = columnIndex(column);
    if (state_ != State::Browse) return buffer_[index];
    return storedValue(index);
}

bool RecordSet::asBool(const QString &column) const
{
    const QVariant v = value(column);
    if (v.typeId() == QMetaType::QString) {
        const QString text = v.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
        return text.toLongLong() != 0;
    }
    if (v.typeId() == QMetaType::Double) return v.toDouble() != 0.0;
    return v.toLongLong() != 0;
}

int RecordSet::asInt(const QString &column) const
{
    const QVariant v = value(column);
    if (v.typeId() == QMetaType::QString) return v.toString().trimmed().toInt();
    if (v.typeId() == QMetaType::Double) return int(v.toDouble());
    return int(v.toLongLong());
}

QString RecordSet::asString(const QString &column) const
{
    const QVariant v = value(column);
    if (v.typeId() == QMetaType::QByteArray) return QString::fromUtf8(v.toByteArray());
    return v.isNull() ? QString() : v.toString();
}

QByteArray RecordSet::asBytes(const QString &column) const
{
    const QVariant v = value(column);
    if (v.typeId() == QMetaType::QString) return v.toString().toUtf8();
    return v.isNull() ? QByteArray() : v.toByteArray();
}

void RecordSet::setValue(const QString &column, const QVariant &value)
{
    requireOpen();
    if (state_ == State::Browse) throw StoreError("record set is not being edited");
    const int index = columnIndex(column);
    buffer_[index] = value;
    dirty_[index] = true;
}

// ---- editing ----

void RecordSet::append()
{
    requireOpen();
    if (source_ != Source::Table) throw StoreError("a query record set is read-only");
    if (state_ != State::Browse) post();
    buffer_ = QVector<QVariant>(columns_.size());
    dirty_ = QVector<bool>(columns_.size(), false);
    state_ = State::Insert;
}

void RecordSet::edit()
{
    requireRow();
    if (source_ != Source::Table) throw StoreError("a query record set is read-only");
    if (state_ != State::Browse) return;
    QVector<QVariant> values;
    values.reserve(columns_.size());
    for (int c = 0; c < columns_.size(); ++c)
        values.append(storedValue(c));
    buffer_ = values;
    dirty_ = QVector<bool>(columns_.size(), false);
    state_ = State::Edit;
}

void RecordSet::post()
{
    requireOpen();
    if (state_ == State::Browse) return;
    QStringList names;
    QVector<int> changed;
    for (int c = 0; c < columns_.size(); ++c) {
        if (dirty_[c]) {
            names.append(QuoteIdentifier(columns_[c]));
            changed.append(c);
        }
    }
    if (state_ == State::Edit) {
        if (!changed.isEmpty()) {
            QStringList sets;
            for (int i = 0; i < names.size(); ++i)
                sets.append(QStringLiteral("%1=?%2").arg(names[i]).arg(i + 1));
            Statement update = db_->prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?%3")
                                                .arg(QuoteIdentifier(table_), sets.join(QLatin1Char(',')))
                                                .arg(names.size() + 1));
            for (int i = 0; i < changed.size(); ++i)
                update.bind(i + 1, buffer_[changed[i]]);
            update.bind(int(changed.size()) + 1, keys_[pos_]);
            update.step();
            if (db_->changes() == 0)
                throw StoreError(QStringLiteral("the edited row of %1 no longer exists").arg(table_));
        }
    } else {
        QString sql;
        if (changed.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(QuoteIdentifier(table_));
        } else {
            QStringList marks;
            for (int i = 0; i < changed.size(); ++i)
                marks.append(QStringLiteral("?%1").arg(i + 1));
            sql =
                QStringLiteral("INSERT INTO %1(%2) VALUES(%3)")
                    .arg(QuoteIdentifier(table_), names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        }
        Statement insert = db_->prepare(sql);
        for (int i = 0; i < changed.size(); ++i)
            insert.bind(i + 1, buffer_[changed[i]]);
        insert.step();
        keys_.append(db_->lastInsertRowId());
        pos_ = int(keys_.size()) - 1;
    }
    discardEdit();
}

void RecordSet::cancel()
{
    discardEdit();
}

void RecordSet::discardEdit()
{
    state_ = State::Browse;
    buffer_.clear();
    dirty_.clear();
}

void RecordSet::deleteCurrent()
{
    requireOpen();
    if (state_ == State::Insert) {
        // The new row was never stored: deleting it is dropping it.
        discardEdit();
        return;
    }
    requireRow();
    discardEdit();
    if (source_ == Source::Table) {
        Statement remove =
            db_->prepare(QStringLiteral("DELETE FROM %1 WHERE rowid=?1").arg(QuoteIdentifier(table_)));
        remove.bind(1, keys_[pos_]);
        remove.step();
        keys_.remove(pos_);
        return;
    }
    if (baseKey_ < 0) throw StoreError(QStringLiteral("rows of this query cannot be deleted: %1").arg(sql_));
    const QVariant key = rows_[pos_][baseKey_];
    if (key.isNull()) throw StoreError("the current row has no key");
    Statement remove = db_->prepare(QStringLiteral("DELETE FROM %1 WHERE %2=?1")
                                        .arg(QuoteIdentifier(baseTable_), QuoteIdentifier(baseKeyName_)));
    remove.bind(1, key);
    remove.step();
    rows_.remove(pos_);
}

void RecordSet::requery()
{
    requireOpen();
    if (state_ != State::Browse) post();
    load();
    pos_ = 0;
}
