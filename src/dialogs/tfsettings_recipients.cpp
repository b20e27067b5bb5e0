// The settings dialog's recipient list: tEmails rows of the chosen event type, edited in place.
#include "dialogs/recipientgrid.h"
#include "dialogs/tfsettings.h"
#include "lang/messages.h"
#include "platform/message_boxes.h"
#include "store/appdatabase.h"

#include <QComboBox>
#include <QSignalBlocker>

#include <algorithm>

namespace {

const QString kName = QStringLiteral("ENAME");
const QString kAddress = QStringLiteral("EMAIL");
const QString kType = QStringLiteral("ETYPE");

} // namespace

// The grid mirrors the record set: row i is the i-th row of tEmails under its
// filter, and a new recipient not yet stored is the last row. The cursor of
// tEmails is put on the grid's row before every change, as an alert mail may
// have moved it meanwhile (it walks the same record set).

int TfSettings::insertRow() const
{
    return db_.tEmails.isOpen() && db_.tEmails.state() == RecordSet::State::Insert ? lbEmails->rowCount() - 1
                                                                                   : -1;
}

void TfSettings::fillRecipients()
{
    RecordSet &rs = db_.tEmails;
    const QSignalBlocker block(lbEmails);
    lbEmails->setRowCount(0);
    insertTouched_ = false;
    recipientRow_ = -1;
    if (!rs.isOpen()) return;
    int row = 0;
    for (rs.first(); !rs.eof(); rs.next(), ++row) {
        lbEmails->setRowCount(row + 1);
        lbEmails->setItem(row, 0, new QTableWidgetItem(rs.asString(kName)));
        lbEmails->setItem(row, 1, new QTableWidgetItem(rs.asString(kAddress)));
    }
    if (row > 0) {
        rs.first();
        recipientRow_ = 0;
        lbEmails->setCurrentCell(0, 0);
    }
}

void TfSettings::dropUntouchedInsert()
{
    // A new row the user typed nothing into is dropped, not stored empty.
    if (insertRow() < 0 || insertTouched_) return;
    db_.tEmails.cancel();
    const QSignalBlocker block(lbEmails);
    lbEmails->setRowCount(lbEmails->rowCount() - 1);
    recipientRow_ = -1;
}

void TfSettings::storePendingRecipient()
{
    RecordSet &rs = db_.tEmails;
    if (!rs.isOpen()) return;
    if (rs.state() == RecordSet::State::Insert) {
        if (!insertTouched_) {
            dropUntouchedInsert();
            return;
        }
        rs.post();
        insertTouched_ = false;
        recipientRow_ = rs.recordCount() - 1;
    } else if (rs.state() == RecordSet::State::Edit) {
        rs.post();
    }
}

void TfSettings::moveRecipientTo(int row)
{
    RecordSet &rs = db_.tEmails;
    const int pending = insertRow();
    if (pending >= 0) {
        if (row == pending) return;
        storePendingRecipient();
    } else if (rs.state() == RecordSet::State::Edit && row == recipientRow_) {
        return;
    }
    rs.first(); // stores an edit of another row
    for (int i = 0; i < row && !rs.eof(); ++i)
        rs.next();
    recipientRow_ = row;
}

void TfSettings::recipientCellChanged(int row, int column)
{
    if (loading_) return;
    guarded([&] {
        RecordSet &rs = db_.tEmails;
        moveRecipientTo(row);
        if (rs.eof()) return;
        const QString field = column == 0 ? kName : kAddress;
        const QTableWidgetItem *item = lbEmails->item(row, column);
        const QString text = item ? item->text() : QString();
        // A cell editor closing hands back its text even when nothing was typed.
        if (text == rs.asString(field)) return;
        if (rs.state() == RecordSet::State::Browse) rs.edit();
        rs.setValue(field, text);
        if (rs.state() == RecordSet::State::Insert) insertTouched_ = true;
        EditEType();
    });
}

void TfSettings::recipientCurrentChanged(int row, int previousRow)
{
    guarded([&] {
        if (row >= 0 && row != previousRow) moveRecipientTo(row);
        EditEType();
    });
}

void TfSettings::EditEType()
{
    RecordSet &rs = db_.tEmails;
    guarded([&] {
        if (rs.isOpen() && rs.state() != RecordSet::State::Browse)
            rs.setValue(kType, cbEType->currentIndex());
    });
}

void TfSettings::cbETypeChange()
{
    guarded([this] {
        RecordSet &rs = db_.tEmails;
        dropUntouchedInsert();
        rs.requery(); // stores a pending row first
        rs.setFilter(QStringLiteral("ETYPE=%1").arg(std::max(0, cbEType->currentIndex())));
        fillRecipients();
    });
}

void TfSettings::insertRecipient()
{
    guarded([this] {
        RecordSet &rs = db_.tEmails;
        if (insertRow() >= 0 && !insertTouched_) {
            lbEmails->setFocus();
            return;
        }
        storePendingRecipient();
        rs.append();
        rs.setValue(kType, cbEType->currentIndex());
        insertTouched_ = false;
        const QSignalBlocker block(lbEmails);
        const int row = lbEmails->rowCount();
        lbEmails->setRowCount(row + 1);
        lbEmails->setItem(row, 0, new QTableWidgetItem);
        lbEmails->setItem(row, 1, new QTableWidgetItem);
        lbEmails->setCurrentCell(row, 0);
        recipientRow_ = row;
    });
    lbEmails->setFocus();
    if (QTableWidgetItem *item = lbEmails->currentItem()) lbEmails->editItem(item);
}

void TfSettings::btAddClick()
{
    insertRecipient();
}

void TfSettings::btModClick()
{
    const int row = lbEmails->currentRow();
    if (row < 0) return;
    guarded([&] {
        RecordSet &rs = db_.tEmails;
        moveRecipientTo(row);
        if (rs.state() == RecordSet::State::Browse && !rs.eof()) rs.edit();
    });
    lbEmails->setFocus();
    if (QTableWidgetItem *item = lbEmails->currentItem()) lbEmails->editItem(item);
}

void TfSettings::btDelClick()
{
    deleteRecipient(Msg().msgConfirmDelete, mb::kYesNo | mb::kIconQuestion, mb::kIdYes);
}

void TfSettings::deleteRecipient(const QString &question, int style, int yes)
{
    if (lbEmails->rowCount() == 0) return;
    const int row = std::max(0, lbEmails->currentRow());
    if (askQuestion(question, style) != yes) return;
    guarded([&] {
        RecordSet &rs = db_.tEmails;
        if (row == insertRow()) {
            rs.cancel(); // the new row was never stored
        } else {
            moveRecipientTo(row);
            rs.deleteCurrent();
        }
        fillRecipients();
        const int left = lbEmails->rowCount();
        if (left > 0) {
            const int current = std::min(row, left - 1);
            moveRecipientTo(current);
            const QSignalBlocker block(lbEmails);
            lbEmails->setCurrentCell(current, 0);
        }
    });
}
