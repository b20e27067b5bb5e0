// The event-log viewer: the statement built from the two conditions, the listed rows, the clear.
#include "dialogs_fixture.h"

#include "dialogs/tflogfiles.h"
#include "lang/messages.h"
#include "lang/widgets.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>

#include <memory>

namespace {

const QString kAll = QStringLiteral("SELECT * FROM LOGFILES\r\n");
const QString kWhere = QStringLiteral(" WHERE \r\n");
const QString kAnd = QStringLiteral(" AND \r\n");
const QString kOrder = QStringLiteral(" ORDER BY ID DESC\r\n");

QString from(const char *text)
{
    return QStringLiteral("ETIME >= CVDate(\"%1\")\r\n").arg(QLatin1String(text));
}

QString until(const char *text)
{
    return QStringLiteral("ETIME <= CVDate(\"%1\")\r\n").arg(QLatin1String(text));
}

class LogFilesTest : public DialogsTest
{
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        other.exec(QStringLiteral("DELETE FROM LOGFILES"));
        logAt(QStringLiteral("2008-12-31 23:00:00"), QStringLiteral("before the start"));
        logAt(QStringLiteral("2009-01-07 00:00:00"), QStringLiteral("at the start"));
        logAt(QStringLiteral("2024-03-04 09:15:00"), QStringLiteral("yesterday"));
        logAt(QStringLiteral("2024-03-05 23:59:59"), QStringLiteral("end of today"));
        logAt(QStringLiteral("2024-03-06 00:00:00"), QStringLiteral("tomorrow"));
        dlg = std::make_unique<TfLogFiles>(nullptr, db.vLogFiles, boxes, clock);
    }

    QStringList listed() const
    {
        QStringList events;
        for (int r = 0; r < dlg->gridLogs->rowCount(); ++r)
            events << dlg->gridLogs->item(r, 2)->text();
        return events;
    }

    QStringList storedEvents()
    {
        Statement s = other.prepare(QStringLiteral("SELECT EVENT FROM LOGFILES ORDER BY ID"));
        QStringList events;
        while (s.step())
            events << s.value(0).toString();
        return events;
    }

    std::unique_ptr<TfLogFiles> dlg;
};

} // namespace

TEST(ProgramDateTimeText, IsUnambiguousAndLeavesMidnightOut)
{
    EXPECT_EQ(ProgramDateTimeText(QDateTime(QDate(2009, 1, 7), QTime(0, 0))), QStringLiteral("2009-01-07"));
    EXPECT_EQ(ProgramDateTimeText(QDateTime(QDate(2024, 3, 5), QTime(0, 0, 1))),
              QStringLiteral("2024-03-05 00:00:01"));
    EXPECT_EQ(ProgramDateTimeText(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59))),
              QStringLiteral("2024-12-31 23:59:59"));
}

TEST_F(LogFilesTest, TheFirstOpeningListsEverythingUpToTheEndOfTodayNewestFirst)
{
    Activate(dlg.get());
    EXPECT_EQ(dlg->LastStatement(),
              kAll + kWhere + from("2009-01-07") + kAnd + until("2024-03-05 23:59:59") + kOrder);
    EXPECT_EQ(listed(), QStringList({QStringLiteral("end of today"), QStringLiteral("yesterday"),
                                     QStringLiteral("at the start")}));
    EXPECT_EQ(
        dlg->gridLogs->columnTitles(),
        QStringList({QStringLiteral("事件ID"), QStringLiteral("发生时间"), QStringLiteral("事件描述")}));
    EXPECT_EQ(dlg->gridLogs->item(0, 0)->textAlignment(), int(Qt::AlignCenter));

    // Each opening moves the end to the end of that day; the start stays.
    QWidget other;
    Activate(&other);
    clock.Advance(24 * 3600 * 1000);
    Activate(dlg.get());
    EXPECT_EQ(dlg->LastStatement(),
              kAll + kWhere + from("2009-01-07") + kAnd + until("2024-03-06 23:59:59") + kOrder);
    EXPECT_EQ(listed().first(), QStringLiteral("tomorrow"));
}

TEST_F(LogFilesTest, TheCheckBoxesChooseTheConditionsAndRefreshAtOnce)
{
    struct Case
    {
        const char *why;
        bool begin;
        bool end;
        QString statement;
        int rows;
    };
    const Case cases[] = {
        {"both", true, true,
         kAll + kWhere + from("2009-01-07") + kAnd + until("2024-03-05 23:59:59") + kOrder, 3},
        {"only the end: no AND", false, true, kAll + kWhere + until("2024-03-05 23:59:59") + kOrder, 4},
        {"only the start", true, false, kAll + kWhere + from("2009-01-07") + kOrder, 4},
        {"none: every row", false, false, kAll + kOrder, 5},
    };
    Activate(dlg.get());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        if (dlg->ckBeg->isChecked() != c.begin) dlg->ckBeg->click();
        if (dlg->ckEnd->isChecked() != c.end) dlg->ckEnd->click();
        EXPECT_EQ(dlg->LastStatement(), c.statement);
        EXPECT_EQ(dlg->gridLogs->rowCount(), c.rows);
        EXPECT_EQ(dlg->dtbd->isEnabled(), c.begin);
        EXPECT_EQ(dlg->dtbt->isEnabled(), c.begin);
        EXPECT_EQ(dlg->dted->isEnabled(), c.end);
        EXPECT_EQ(dlg->dtet->isEnabled(), c.end);
    }
}

TEST_F(LogFilesTest, ADateChangeKeepsTheTimeAndATimeChangeKeepsTheDate)
{
    Activate(dlg.get());
    dlg->dtbt->setTime(QTime(8, 30));
    EXPECT_TRUE(dlg->LastStatement().contains(from("2009-01-07 08:30:00")));
    dlg->dtbd->setDate(QDate(2024, 3, 4));
    EXPECT_TRUE(dlg->LastStatement().contains(from("2024-03-04 08:30:00")));
    EXPECT_EQ(listed(), QStringList({QStringLiteral("end of today"), QStringLiteral("yesterday")}));

    dlg->dtet->setTime(QTime(12, 0));
    EXPECT_TRUE(dlg->LastStatement().contains(until("2024-03-05 12:00:00")));
    dlg->dted->setDate(QDate(2024, 3, 4));
    EXPECT_TRUE(dlg->LastStatement().contains(until("2024-03-04 12:00:00")));
    EXPECT_EQ(listed(), QStringList({QStringLiteral("yesterday")}));
}

TEST_F(LogFilesTest, ClearDeletesExactlyTheListedRowsAfterAsking)
{
    Activate(dlg.get());
    dlg->dtbd->setDate(QDate(2024, 3, 4));
    dlg->ckEnd->click();
    EXPECT_EQ(listed(), QStringList({QStringLiteral("tomorrow"), QStringLiteral("end of today"),
                                     QStringLiteral("yesterday")}));
    // The program goes on logging while the window is open.
    db.LogEvent(QStringLiteral("logged while the list is shown"));

    boxes.answers = {mb::kIdNo};
    dlg->Button3->click();
    EXPECT_EQ(storedEvents().size(), 6);
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_EQ(boxes.Boxes()[0].text, Msg().msgConfirmDelLog);
    EXPECT_EQ(boxes.Boxes()[0].caption, QStringLiteral("Kestrava"));
    EXPECT_EQ(boxes.Boxes()[0].style, mb::kYesNo | mb::kIconQuestion);

    dlg->gridLogs->selectRow(2); // where the cursor stands does not matter
    boxes.answers = {mb::kIdYes};
    dlg->Button3->click();
    EXPECT_EQ(storedEvents(), QStringList({QStringLiteral("before the start"), QStringLiteral("at the start"),
                                           QStringLiteral("logged while the list is shown")}));
    EXPECT_TRUE(listed().isEmpty());

    // An empty list asks nothing; a refresh shows what came meanwhile.
    dlg->Button3->click();
    EXPECT_EQ(boxes.Boxes().size(), 2);
    dlg->btFlush->click();
    EXPECT_EQ(listed(), QStringList({QStringLiteral("logged while the list is shown")}));
}

TEST_F(LogFilesTest, AStatementThatCannotBeOpenedIsReportedAndListsNothing)
{
    Activate(dlg.get());
    ASSERT_FALSE(listed().isEmpty());
    other.exec(QStringLiteral("ALTER TABLE LOGFILES RENAME TO LOGFILES_AWAY"));
    dlg->btFlush->click();
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_EQ(boxes.Boxes()[0].style, mb::kOk | mb::kIconError);
    EXPECT_TRUE(listed().isEmpty());
    dlg->Button3->click(); // nothing listed: nothing asked
    EXPECT_EQ(boxes.Boxes().size(), 1);

    other.exec(QStringLiteral("ALTER TABLE LOGFILES_AWAY RENAME TO LOGFILES"));
    dlg->btFlush->click();
    EXPECT_EQ(listed().size(), 3);
}
