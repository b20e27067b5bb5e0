// The settings dialog's recipient list: rows of the chosen event type, added, changed and deleted in place.
#include "dialogs_fixture.h"

#include "dialogs/recipientgrid.h"
#include "dialogs/tfsettings.h"
#include "fakes/fake_dialogs_alerts.h"
#include "fakes/fake_settings_host.h"
#include "lang/messages.h"

#include <QComboBox>
#include <QPushButton>

#include <memory>

namespace {

struct Recipient
{
    QString name;
    QString address;
    int type;
    bool operator==(const Recipient &o) const
    {
        return name == o.name && address == o.address && type == o.type;
    }
};

void PrintTo(const Recipient &r, std::ostream *os)
{
    *os << "(" << r.name.toStdString() << ", " << r.address.toStdString() << ", " << r.type << ")";
}

class RecipientsTest : public DialogsTest
{
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        store("bEMAIL", true);
        add({QStringLiteral("Ann"), QStringLiteral("ann@example.com"), 0});
        add({QStringLiteral("Bob"), QStringLiteral("bob@example.com"), 1});
        add({QStringLiteral("Cai"), QStringLiteral("cai@example.com"), 1});
        dlg = std::make_unique<TfSettings>(
            nullptr, db, host, alerts, boxes, clock, [] { return QStringList(); },
            [](QWidget *) { return QString(); });
        Activate(dlg.get());
    }

    void add(const Recipient &r)
    {
        Statement s =
            other.prepare(QStringLiteral("INSERT INTO Emails(ENAME, EMAIL, ETYPE) VALUES(?1, ?2, ?3)"));
        s.bind(1, r.name);
        s.bind(2, r.address);
        s.bind(3, r.type);
        s.step();
    }

    // Every recipient on disk, in the order of the table.
    std::vector<Recipient> storedRecipients()
    {
        Statement s = other.prepare(QStringLiteral("SELECT ENAME, EMAIL, ETYPE FROM Emails ORDER BY rowid"));
        std::vector<Recipient> rows;
        while (s.step())
            rows.push_back({s.value(0).toString(), s.value(1).toString(), s.value(2).toInt()});
        return rows;
    }

    QStringList listed() const
    {
        QStringList rows;
        for (int r = 0; r < dlg->lbEmails->rowCount(); ++r) {
            const QTableWidgetItem *name = dlg->lbEmails->item(r, 0);
            const QTableWidgetItem *address = dlg->lbEmails->item(r, 1);
            rows << (name ? name->text() : QString()) + u'|' + (address ? address->text() : QString());
        }
        return rows;
    }

    void typeInto(int row, int column, const QString &text)
    {
        dlg->lbEmails->setCurrentCell(row, column);
        dlg->lbEmails->item(row, column)->setText(text);
    }

    FakeSettingsHost host{log};
    FakeDialogsAlerts alerts{log};
    std::unique_ptr<TfSettings> dlg;
};

} // namespace

TEST_F(RecipientsTest, TheListShowsTheChosenTypeAndStoresARowWhenTheListMovesOn)
{
    EXPECT_EQ(db.tEmails.filter(), QStringLiteral("ETYPE=0"));
    EXPECT_EQ(listed(), QStringList({QStringLiteral("Ann|ann@example.com")}));
    dlg->cbEType->setCurrentIndex(1);
    EXPECT_EQ(db.tEmails.filter(), QStringLiteral("ETYPE=1"));
    EXPECT_EQ(listed(),
              QStringList({QStringLiteral("Bob|bob@example.com"), QStringLiteral("Cai|cai@example.com")}));

    // Changed in place; stored once the list moves to another row.
    typeInto(1, 1, QStringLiteral("cai@example.org"));
    EXPECT_EQ(storedRecipients()[2].address, QStringLiteral("cai@example.com"));
    dlg->lbEmails->setCurrentCell(0, 0);
    EXPECT_EQ(storedRecipients()[2],
              (Recipient{QStringLiteral("Cai"), QStringLiteral("cai@example.org"), 1}));

    // Modify, then a change of type stores it (the re-query).
    dlg->btMod->click();
    typeInto(0, 0, QStringLiteral("Bo"));
    dlg->cbEType->setCurrentIndex(3);
    EXPECT_EQ(storedRecipients()[1], (Recipient{QStringLiteral("Bo"), QStringLiteral("bob@example.com"), 1}));
    EXPECT_TRUE(listed().isEmpty());
}

TEST_F(RecipientsTest, NewRowsTakeTheChosenTypeAndEmptyOnesAreNotStored)
{
    dlg->cbEType->setCurrentIndex(2);
    dlg->btAdd->click();
    ASSERT_EQ(dlg->lbEmails->rowCount(), 1);
    typeInto(0, 0, QStringLiteral("Dai"));
    typeInto(0, 1, QStringLiteral("dai@example.com"));

    // Insert in the grid: a second new row, typed in too.
    PressKey(dlg->lbEmails, Qt::Key_Insert);
    ASSERT_EQ(dlg->lbEmails->rowCount(), 2);
    typeInto(1, 1, QStringLiteral("eve@example.com"));

    // An added row nobody typed into is dropped when the list moves on.
    dlg->btAdd->click();
    dlg->lbEmails->setCurrentCell(0, 0);
    EXPECT_EQ(dlg->lbEmails->rowCount(), 2);

    dlg->cbEType->setCurrentIndex(0);
    const std::vector<Recipient> rows = storedRecipients();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[3], (Recipient{QStringLiteral("Dai"), QStringLiteral("dai@example.com"), 2}));
    EXPECT_EQ(rows[4], (Recipient{QString(), QStringLiteral("eve@example.com"), 2}));
}

TEST_F(RecipientsTest, DeletingAsksFirstAndRemovesOnlyTheCurrentRow)
{
    dlg->cbEType->setCurrentIndex(1);
    dlg->lbEmails->setCurrentCell(1, 0);

    boxes.answers = {mb::kIdNo};
    dlg->btDel->click();
    EXPECT_EQ(storedRecipients().size(), 3u);
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_EQ(boxes.Boxes()[0].text, Msg().msgConfirmDelete);
    EXPECT_EQ(boxes.Boxes()[0].caption, QStringLiteral("Kestrava"));
    EXPECT_EQ(boxes.Boxes()[0].style, mb::kYesNo | mb::kIconQuestion);

    boxes.answers = {mb::kIdYes};
    dlg->btDel->click();
    EXPECT_EQ(listed(), QStringList({QStringLiteral("Bob|bob@example.com")}));
    EXPECT_EQ(storedRecipients().size(), 2u);
    EXPECT_EQ(storedRecipients()[1].name, QStringLiteral("Bob"));

    // The grid's own Ctrl+Delete asks its own question.
    boxes.answers = {mb::kIdCancel};
    PressKey(dlg->lbEmails, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(storedRecipients().size(), 2u);
    boxes.answers = {mb::kIdOk};
    PressKey(dlg->lbEmails, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(boxes.Boxes().last().text, QStringLiteral("Delete record?"));
    EXPECT_EQ(boxes.Boxes().last().style, mb::kOkCancel | mb::kIconQuestion);
    EXPECT_EQ(storedRecipients().size(), 1u);
    EXPECT_TRUE(listed().isEmpty());

    // An empty list asks nothing.
    const qsizetype asked = boxes.Boxes().size();
    dlg->btDel->click();
    EXPECT_EQ(boxes.Boxes().size(), asked);
}

TEST_F(RecipientsTest, CancelThrowsTheSettingsEditAwayButAnAddedRecipientStays)
{
    const QString before = stored("sBatUp").toString();
    Type(dlg->DBEdit4, QStringLiteral("电池恢复了"));
    dlg->cbEType->setCurrentIndex(4);
    dlg->btAdd->click();
    typeInto(0, 0, QStringLiteral("Fay"));
    typeInto(0, 1, QStringLiteral("fay@example.com"));
    dlg->Button2->click();

    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(stored("sBatUp").toString(), before);
    EXPECT_EQ(db.GetText("sBatUp"), before);
    EXPECT_EQ(storedRecipients().back(),
              (Recipient{QStringLiteral("Fay"), QStringLiteral("fay@example.com"), 4}));

    // Reopened, the dialog shows the page and type as left, with the new row.
    Activate(dlg.get());
    EXPECT_EQ(dlg->cbEType->currentIndex(), 4);
    EXPECT_EQ(listed(), QStringList({QStringLiteral("Fay|fay@example.com")}));
    EXPECT_EQ(dlg->DBEdit4->text(), before);
}

TEST_F(RecipientsTest, AnAlertMailMovingTheCursorDoesNotMisplaceAnEdit)
{
    dlg->cbEType->setCurrentIndex(1);
    dlg->lbEmails->setCurrentCell(1, 0);
    // An alert gathers its recipients on the same record set while the dialog is open.
    db.tEmails.setFilter(QStringLiteral("ETYPE=0 OR ETYPE=1"));
    db.tEmails.setFilter(QStringLiteral("ETYPE=1"));
    typeInto(1, 0, QStringLiteral("Cy"));
    dlg->lbEmails->setCurrentCell(0, 0);
    const std::vector<Recipient> rows = storedRecipients();
    EXPECT_EQ(rows[1].name, QStringLiteral("Bob"));
    EXPECT_EQ(rows[2].name, QStringLiteral("Cy"));
}
