// The event-log viewer's clear as one transaction: a failure midway takes back the whole clear.
#include "dialogs/tflogfiles.h"
#include "dialogs_fixture.h"
#include "lang/widgets.h"
#include "platform/message_boxes.h"

#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class LogClearTest : public DialogsTest
{
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        other.exec(QStringLiteral("DELETE FROM LOGFILES"));
        for (int i = 0; i < 5; ++i)
            logAt(QStringLiteral("2024-03-05 10:0%1:00").arg(i), QStringLiteral("row %1").arg(i));
        dlg = std::make_unique<TfLogFiles>(nullptr, db.vLogFiles, boxes, clock);
    }
    qint64 stored()
    {
        Statement s = other.prepare(QStringLiteral("SELECT COUNT(*) FROM LOGFILES"));
        s.step();
        return s.value(0).toLongLong();
    }
    std::unique_ptr<TfLogFiles> dlg;
};

} // namespace

TEST_F(LogClearTest, AFailureMidwayKeepsEveryRowAndTheListShowsThem)
{
    Activate(dlg.get());
    ASSERT_EQ(dlg->gridLogs->rowCount(), 5);
    // the third row to go (newest first) cannot be deleted
    other.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON LOGFILES WHEN OLD.EVENT = 'row 2' "
                              "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    boxes.answers = {mb::kIdYes};
    dlg->Button3->click();
    EXPECT_EQ(stored(), 5) << "the rows deleted before the failure came back";
    EXPECT_EQ(dlg->gridLogs->rowCount(), 5);
    ASSERT_EQ(boxes.Boxes().size(), 2);
    EXPECT_EQ(boxes.Boxes()[1].style, mb::kOk | mb::kIconError);

    // the connection is usable afterwards: no transaction was left open
    other.exec(QStringLiteral("DROP TRIGGER refuse"));
    db.LogEvent(QStringLiteral("after the failed clear"));
    EXPECT_EQ(stored(), 6);
    boxes.answers = {mb::kIdYes};
    dlg->Button3->click();
    EXPECT_EQ(stored(), 1) << "only the listed rows go";
}
