// The editable grid of alert-mail recipients on the settings dialog's mail page.
#include "dialogs/recipientgrid.h"

#include <QKeyEvent>

RecipientGrid::RecipientGrid(QWidget *parent) : DataGrid(parent)
{
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectItems);
}

void RecipientGrid::commitOpenEditor()
{
    if (QWidget *editor = indexWidget(currentIndex())) commitData(editor);
}

void RecipientGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        emit insertRequested();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        emit deleteRequested();
        event->accept();
        return;
    }
    emit keyPressed();
    DataGrid::keyPressEvent(event);
}
