// The event-log viewer: the logged events of a time window, newest first, and their deletion.
#pragma once

#include <QDateTime>
#include <QDialog>

class Clock;
class DataGrid;
class MessageBoxes;
class QCheckBox;
class QDateEdit;
class QDateTimeEdit;
class QGroupBox;
class QPushButton;
class RecordSet;

// The program's own date-time text for statements: "YYYY-MM-DD HH:MM:SS",
// the date alone at midnight. CVDate reads it back whatever the locale.
QString ProgramDateTimeText(const QDateTime &moment);

// Lists the rows of vLogFiles, whose statement it rebuilds from the two
// conditions on every change. Dates are shown in the locale's formats.
class TfLogFiles : public QDialog
{
    Q_OBJECT
public:
    TfLogFiles(QWidget *parent, RecordSet &vLogFiles, MessageBoxes &boxes, Clock &clock);
    ~TfLogFiles() override;

    // The statement FlushIt set last.
    QString LastStatement() const;

    void FormActivate();
    void ckBegClick();
    void ckEndClick();
    void dtbdChange();
    void dtedChange();
    void FlushIt();
    void Button3Click();
    void Button4Click();

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void fillGrid();
    int ask(const QString &text, int style);
    void report(const std::exception &error);
    bool ownsWindow(const QWidget *window) const;

    RecordSet &vLogFiles_;
    MessageBoxes &boxes_;
    Clock &clock_;
    QString statement_;
    int childDialogs_ = 0;
    bool awayInChild_ = false; // lost the focus to a box of its own
    bool justShown_ = false;

public:
    QGroupBox *GroupBox1, *GroupBox2;
    QCheckBox *ckBeg, *ckEnd;
    QDateEdit *dtbd, *dted;
    QDateTimeEdit *dtbt, *dtet;
    QPushButton *btFlush, *Button3, *Button4;
    DataGrid *gridLogs;
};
