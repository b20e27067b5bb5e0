// The editable grid of alert-mail recipients on the settings dialog's mail page.
#pragma once

#include "lang/widgets.h"

// A DataGrid whose cells can be edited in place. The grid's own keys are
// reported instead of acted on: Insert asks for a new row, Ctrl+Delete for the
// deletion of the current one; every other key press is reported too.
class RecipientGrid : public DataGrid
{
    Q_OBJECT
public:
    explicit RecipientGrid(QWidget *parent = nullptr);

    // Hands the text of an open cell editor to its item, so it is not lost
    // when the dialog closes while a cell is being typed in.
    void commitOpenEditor();

signals:
    void insertRequested();
    void deleteRequested();
    void keyPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
