// The shutdown-files viewer: the documents saved automatically at the last forced shutdown.
#pragma once

#include <QDialog>

class DataGrid;
class QLabel;
class QPushButton;
class RecordSet;

// Shows tCloseFiles as it stands each time the viewer opens.
class TfCloseFiles : public QDialog
{
    Q_OBJECT
public:
    TfCloseFiles(QWidget *parent, RecordSet &tCloseFiles);
    ~TfCloseFiles() override;

    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fillGrid();

    RecordSet &tCloseFiles_;

public:
    QLabel *Label1;
    DataGrid *DBGrid1;
    QPushButton *Button1;
};
