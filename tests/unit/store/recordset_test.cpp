// Record sets: filters, editing as readers see it, requery, ordering, deletes, queries.
#include "store_fixture.h"

#include "store/recordset.h"

namespace {

class RecordSetTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        db.open(path(), QString::fromLatin1(kDatabasePassword));
    }

    void addRecipient(const QString &name, int type)
    {
        Statement s =
            db.prepare(QStringLiteral("INSERT INTO Emails(ENAME, EMAIL, ETYPE) VALUES(?1, ?2, ?3)"));
        s.bind(1, name);
        s.bind(2, name + QStringLiteral("@example.org"));
        s.bind(3, type);
        s.step();
    }

    // Values of one column over all rows, walking the record set as the program does.
    static QStringList walk(RecordSet &rs, const char *column)
    {
        QStringList values;
        for (rs.first(); !rs.eof(); rs.next())
            values.append(rs.asString(QLatin1String(column)));
        return values;
    }

    Database db;
};

} // namespace

TEST_F(RecordSetTest, FilterTextsSelectRecipientsByEventType)
{
    const std::pair<const char *, int> recipients[] = {
        {"all", 0}, {"off", 1}, {"low1", 3}, {"low2", 3}, {"up", 4}};
    for (const auto &[name, type] : recipients)
        addRecipient(QLatin1String(name), type);
    RecordSet emails(db);
    emails.openTable(QStringLiteral("Emails"));

    const std::pair<const char *, QStringList> cases[] = {
        {"", {"all", "off", "low1", "low2", "up"}},
        {"ETYPE=3", {"low1", "low2"}},
        {"ETYPE=0 OR ETYPE=3", {"all", "low1", "low2"}},
        {"ETYPE=0 OR ETYPE=1", {"all", "off"}},
        {"ETYPE=2", {}},
        {"ETYPE=0", {"all"}},
        {" etype = 4 ", {"up"}},
    };
    for (const auto &[filter, names] : cases) {
        emails.setFilter(QLatin1String(filter));
        EXPECT_EQ(emails.filter(), QLatin1String(filter));
        EXPECT_EQ(walk(emails, "ENAME"), names) << filter;
        EXPECT_EQ(emails.recordCount(), names.size()) << filter;
        EXPECT_EQ(emails.isEmpty(), names.isEmpty()) << filter;
    }
    // The filter stays through a requery, and new rows that match it show up.
    emails.setFilter(QStringLiteral("ETYPE=3"));
    addRecipient(QStringLiteral("low3"), 3);
    emails.requery();
    EXPECT_EQ(walk(emails, "ENAME"), QStringList({"low1", "low2", "low3"}));
}

TEST_F(RecordSetTest, OtherFilterTextsAreRefusedAndNeverReachTheDatabase)
{
    addRecipient(QStringLiteral("a"), 3);
    addRecipient(QStringLiteral("b"), 1);
    RecordSet emails(db);
    emails.openTable(QStringLiteral("Emails"));
    emails.setFilter(QStringLiteral("ETYPE=3"));
    const char *const refused[] = {
        "ETYPE=3; DROP TABLE Emails",
        "ETYPE=3 OR 1=1",
        "ETYPE=1 OR ETYPE=3",
        "ETYPE>0",
        "ETYPE=",
        "ENAME='a'",
        "ETYPE=-1",
        "ETYPE=3 AND ETYPE=3",
        "ETYPE=0 OR ETYPE=3 OR ETYPE=1",
        "ETYPE=99999999999",
    };
    for (const char *filter : refused) {
        EXPECT_THROW(emails.setFilter(QLatin1String(filter)), StoreError) << filter;
        EXPECT_EQ(emails.filter(), QStringLiteral("ETYPE=3")) << filter;
        EXPECT_EQ(walk(emails, "ENAME"), QStringList{"a"}) << filter;
    }
    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM Emails")), 2);
}

TEST_F(RecordSetTest, EditedValuesAreWhatReadersSeeUntilCancel)
{
    RecordSet settings(db);
    settings.openTable(QStringLiteral("settings")); // any case, as the program's names vary
    ASSERT_EQ(settings.asInt(QStringLiteral("iACTimer")), 10);

    settings.edit();
    EXPECT_EQ(settings.state(), RecordSet::State::Edit);
    settings.setValue(QStringLiteral("iACTimer"), 99);
    settings.setValue(QStringLiteral("bWarning"), false);
    settings.setValue(QStringLiteral("sCOM"), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(settings.asInt(QStringLiteral("IACTIMER")), 99);
    EXPECT_FALSE(settings.asBool(QStringLiteral("bWarning")));
    EXPECT_EQ(settings.asString(QStringLiteral("sCOM")), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(count(db, QStringLiteral("SELECT iACTimer FROM Settings")), 10) << "not stored before post";

    settings.cancel();
    EXPECT_EQ(settings.state(), RecordSet::State::Browse);
    EXPECT_EQ(settings.asInt(QStringLiteral("iACTimer")), 10);
    EXPECT_TRUE(settings.asBool(QStringLiteral("bWarning")));
    EXPECT_EQ(settings.asString(QStringLiteral("sCOM")), QStringLiteral("USB"));

    settings.edit();
    settings.setValue(QStringLiteral("iACTimer"), 25);
    settings.post();
    EXPECT_EQ(settings.asInt(QStringLiteral("iACTimer")), 25);
    Database other;
    openOther(other);
    EXPECT_EQ(count(other, QStringLiteral("SELECT iACTimer FROM Settings")), 25);
    EXPECT_EQ(count(other, QStringLiteral("SELECT count(*) FROM Settings")), 1) << "an edit adds no row";
}

TEST_F(RecordSetTest, RequeryStoresAPendingEditAndRereads)
{
    RecordSet settings(db);
    settings.openTable(QStringLiteral("Settings"));
    settings.edit();
    settings.setValue(QStringLiteral("iWarnTimer"), 45);
    settings.requery();
    EXPECT_EQ(settings.state(), RecordSet::State::Browse);
    EXPECT_EQ(count(db, QStringLiteral("SELECT iWarnTimer FROM Settings")), 45);

    // Values changed by someone else are read at the moment of use.
    Database other;
    openOther(other);
    other.exec(QStringLiteral("UPDATE Settings SET iWarnTimer=50"));
    EXPECT_EQ(settings.asInt(QStringLiteral("iWarnTimer")), 50);
}

TEST_F(RecordSetTest, MisuseIsAStoreError)
{
    RecordSet settings(db);
    EXPECT_THROW(settings.open(), StoreError) << "no source";
    EXPECT_THROW(settings.openTable(QStringLiteral("NoSuchTable")), StoreError);
    EXPECT_FALSE(settings.isOpen());
    settings.openTable(QStringLiteral("Settings"));
    EXPECT_THROW(settings.setValue(QStringLiteral("iACTimer"), 1), StoreError) << "not editing";
    EXPECT_THROW(settings.asInt(QStringLiteral("iNoSuchColumn")), StoreError);
    settings.edit();
    EXPECT_THROW(settings.setValue(QStringLiteral("iNoSuchColumn"), 1), StoreError);
    settings.setValue(QStringLiteral("sCOM"), QVariant()); // NOT NULL column
    EXPECT_THROW(settings.post(), StoreError);
    EXPECT_EQ(settings.state(), RecordSet::State::Edit) << "a failed post keeps the edit";
    settings.cancel();
    settings.next();
    EXPECT_TRUE(settings.eof());
    EXPECT_THROW(settings.asInt(QStringLiteral("iACTimer")), StoreError) << "past the last row";
    EXPECT_THROW(settings.edit(), StoreError);
    EXPECT_THROW(RecordSet(db).openTable(QStringLiteral("imglst"), QStringLiteral("NOPE")), StoreError);
}

TEST_F(RecordSetTest, ImagesComeInAscendingImgidOrder)
{
    for (const auto &[id, data] : {std::pair{5, "five"}, {1, "one"}, {3, "three"}}) {
        Statement s = db.prepare(QStringLiteral("INSERT INTO imglst(IMGID, imgdat) VALUES(?1, ?2)"));
        s.bind(1, id);
        s.bind(2, QByteArray(data));
        s.step();
    }
    RecordSet images(db);
    images.openTable(QStringLiteral("imglst"), QStringLiteral("IMGID"));
    QList<QByteArray> order;
    for (images.first(); !images.eof(); images.next())
        order.append(images.asBytes(QStringLiteral("imgdat")));
    EXPECT_EQ(order, QList<QByteArray>({"one", "three", "five"}));
}

TEST_F(RecordSetTest, AppendPostAndDeleteWorkOnTheRightRows)
{
    RecordSet emails(db);
    emails.openTable(QStringLiteral("Emails"));
    for (const char *name : {"a", "b", "c"}) {
        emails.append();
        EXPECT_EQ(emails.state(), RecordSet::State::Insert);
        emails.setValue(QStringLiteral("ENAME"), QLatin1String(name));
        emails.setValue(QStringLiteral("ETYPE"), 2);
        EXPECT_EQ(emails.asString(QStringLiteral("ENAME")), QLatin1String(name)) << "the new row is current";
        emails.post();
    }
    emails.append();
    emails.setValue(QStringLiteral("ENAME"), QStringLiteral("dropped"));
    emails.cancel();
    EXPECT_EQ(walk(emails, "ENAME"), QStringList({"a", "b", "c"}));

    // Rows are held by rowid: another connection removing and adding rows does
    // not move our edit onto a different recipient.
    emails.first();
    emails.next(); // "b"
    Database other;
    openOther(other);
    other.exec(QStringLiteral(
        "DELETE FROM Emails WHERE ENAME='a'; INSERT INTO Emails(ENAME, ETYPE) VALUES('z', 1)"));
    emails.edit();
    emails.setValue(QStringLiteral("EMAIL"), QStringLiteral("b@example.org"));
    emails.post();
    EXPECT_EQ(
        count(db, QStringLiteral("SELECT count(*) FROM Emails WHERE EMAIL='b@example.org' AND ENAME='b'")),
        1);
    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM Emails WHERE EMAIL IS NOT NULL")), 1);

    // Deleting the current row moves to the one after it.
    emails.deleteCurrent();
    EXPECT_EQ(emails.asString(QStringLiteral("ENAME")), QStringLiteral("c"));
    emails.requery();
    EXPECT_EQ(walk(emails, "ENAME"), QStringList({"c", "z"}));

    // Clearing a table the way the shutdown-files import does.
    RecordSet files(db);
    other.exec(QStringLiteral("INSERT INTO CloseFiles VALUES('Editor','a.txt'),('Viewer',''),('Mail','')"));
    files.openTable(QStringLiteral("CloseFiles"));
    while (!files.isEmpty())
        files.deleteCurrent();
    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM CloseFiles")), 0);
    EXPECT_THROW(files.deleteCurrent(), StoreError);
}

TEST_F(RecordSetTest, QueryIsAReadOnlySnapshot)
{
    db.exec(QStringLiteral("INSERT INTO LOGFILES(EVENT) VALUES('one'),('two')"));
    RecordSet log(db);
    log.setSql(QStringLiteral("select * from logfiles order by ID"));
    EXPECT_FALSE(log.isOpen()) << "setting the statement does not open it";
    log.open();
    EXPECT_EQ(log.columnNames(), QStringList({"ID", "ETIME", "EVENT"}));
    EXPECT_EQ(walk(log, "event"), QStringList({"one", "two"}));
    EXPECT_THROW(log.edit(), StoreError);
    EXPECT_THROW(log.append(), StoreError);
    EXPECT_THROW(log.setFilter(QStringLiteral("ETYPE=1")), StoreError);

    db.exec(QStringLiteral("INSERT INTO LOGFILES(EVENT) VALUES('three')"));
    EXPECT_EQ(log.recordCount(), 2) << "a snapshot until requery";
    log.requery();
    EXPECT_EQ(log.recordCount(), 3);

    // Statements that write are no record sets, and are not run.
    EXPECT_THROW(log.openSql(QStringLiteral("delete from logfiles")), StoreError);
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM LOGFILES")), 3);

    // Without the table's key the rows cannot be deleted.
    log.openSql(QStringLiteral("select EVENT from logfiles"));
    EXPECT_THROW(log.deleteCurrent(), StoreError);
    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM LOGFILES")), 3);
}

TEST_F(RecordSetTest, RecordSetsOfAClosedConnectionAreClosed)
{
    RecordSet settings(db);
    settings.openTable(QStringLiteral("Settings"));
    db.close();
    EXPECT_FALSE(settings.isOpen());
    EXPECT_TRUE(settings.eof());
    EXPECT_THROW(settings.asInt(QStringLiteral("iACTimer")), StoreError);
    // Reopening the connection does not bring back rows read on the old one.
    db.open(path(), QString::fromLatin1(kDatabasePassword));
    EXPECT_FALSE(settings.isOpen());
    settings.open();
    EXPECT_EQ(settings.asInt(QStringLiteral("iACTimer")), 10);
}
