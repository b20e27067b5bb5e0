// The event-log viewer: the logged events of a time window, newest first, and their deletion.
#include "dialogs/tflogfiles.h"

#include "store/database.h"

#include "dialogs/dialogstyle.h"
#include "lang/applylanguage.h"
#include "lang/messages.h"
#include "lang/widgets.h"
#include "platform/clock.h"
#include "platform/message_boxes.h"
#include "store/database.h"
#include "store/recordset.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>

namespace {

const QString kCaption = QStringLiteral("Kestrava");
const QString kStoredFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QDateTime kFirstStart(QDate(2009, 1, 7), QTime(0, 0));

// The locale's long time format without its time-zone name: the pickers and
// the list show local times of day to the second.
QString TimeFormat()
{
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b\\s*")));
    return format.trimmed().isEmpty() ? QStringLiteral("HH:mm:ss") : format.trimmed();
}

QString ShownTime(const QString &stored)
{
    const QDateTime moment = QDateTime::fromString(stored, kStoredFormat);
    if (!moment.isValid()) return stored;
    const QLocale locale;
    return locale.toString(moment.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(moment.time(), TimeFormat());
}

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

QDateEdit *datePicker(QWidget *parent, const char *name, int x, int y)
{
    auto *picker = named(new QDateEdit(parent), name);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    picker->setCalendarPopup(true);
    picker->setGeometry(x, y, 200, 24);
    return picker;
}

// Shows the time of day but holds the whole moment.
QDateTimeEdit *timePicker(QWidget *parent, const char *name, int x, int y)
{
    auto *picker = named(new QDateTimeEdit(parent), name);
    picker->setDisplayFormat(TimeFormat());
    picker->setGeometry(x, y, 110, 24);
    return picker;
}

// Whole seconds only: the date-time text has no place for milliseconds.
void setMoment(QDateTimeEdit *picker, const QDate &date, const QTime &time)
{
    const QSignalBlocker block(picker);
    picker->setDateTime(QDateTime(date, QTime(time.hour(), time.minute(), time.second())));
}

} // namespace

QString ProgramDateTimeText(const QDateTime &moment)
{
    const QTime t = moment.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return moment.toString(QStringLiteral("yyyy-MM-dd"));
    return moment.toString(kStoredFormat);
}

TfLogFiles::TfLogFiles(QWidget *parent, RecordSet &vLogFiles, MessageBoxes &boxes, Clock &clock)
    : QDialog(parent), vLogFiles_(vLogFiles), boxes_(boxes), clock_(clock)
{
    setObjectName(QStringLiteral("fLogFiles"));
    setWindowTitle(QStringLiteral("事务日志"));
    SetUpFixedDialog(this, 640, 480);

    GroupBox1 = named(new QGroupBox(QStringLiteral("列表条件"), this), "GroupBox1");
    GroupBox1->setGeometry(8, 8, 624, 88);
    ckBeg = named(new QCheckBox(QStringLiteral("指定起始时间："), GroupBox1), "ckBeg");
    ckBeg->setGeometry(12, 24, 120, 24);
    dtbd = datePicker(GroupBox1, "dtbd", 136, 24);
    dtbt = timePicker(GroupBox1, "dtbt", 342, 24);
    ckEnd = named(new QCheckBox(QStringLiteral("指定终止时间："), GroupBox1), "ckEnd");
    ckEnd->setGeometry(12, 54, 120, 24);
    dted = datePicker(GroupBox1, "dted", 136, 54);
    dtet = timePicker(GroupBox1, "dtet", 342, 54);
    btFlush = named(new QPushButton(QStringLiteral("刷新(&F)"), GroupBox1), "btFlush");
    btFlush->setGeometry(530, 38, 80, 26);

    GroupBox2 = named(new QGroupBox(QStringLiteral("事务日志列表"), this), "GroupBox2");
    GroupBox2->setGeometry(8, 102, 624, 330);
    gridLogs = named(new DataGrid(GroupBox2), "gridLogs");
    gridLogs->setColumnTitles(
        {QStringLiteral("事件ID"), QStringLiteral("发生时间"), QStringLiteral("事件描述")});
    gridLogs->setGeometry(10, 22, 604, 298);
    gridLogs->setColumnWidth(0, 64);
    gridLogs->setColumnWidth(1, 150);
    gridLogs->horizontalHeader()->setStretchLastSection(true);
    gridLogs->verticalHeader()->setVisible(false);
    gridLogs->verticalHeader()->setDefaultSectionSize(22);

    Button3 = named(new QPushButton(QStringLiteral("清除(&C)"), this), "Button3");
    Button3->setGeometry(464, 442, 80, 26);
    Button4 = named(new QPushButton(QStringLiteral("退出(&X)"), this), "Button4");
    Button4->setGeometry(552, 442, 80, 26);

    ApplyLanguage(this);

    ckBeg->setChecked(true);
    ckEnd->setChecked(true);
    {
        const QSignalBlocker b1(dtbd), b2(dted);
        dtbd->setDate(kFirstStart.date());
        dted->setDate(kFirstStart.date());
    }
    setMoment(dtbt, kFirstStart.date(), QTime(0, 0));
    setMoment(dtet, kFirstStart.date(), QTime(23, 59, 59));

    connect(ckBeg, &QCheckBox::clicked, this, &TfLogFiles::ckBegClick);
    connect(ckEnd, &QCheckBox::clicked, this, &TfLogFiles::ckEndClick);
    connect(dtbd, &QDateEdit::dateChanged, this, &TfLogFiles::dtbdChange);
    connect(dted, &QDateEdit::dateChanged, this, &TfLogFiles::dtedChange);
    connect(dtbt, &QDateTimeEdit::dateTimeChanged, this, &TfLogFiles::FlushIt);
    connect(dtet, &QDateTimeEdit::dateTimeChanged, this, &TfLogFiles::FlushIt);
    connect(btFlush, &QPushButton::clicked, this, &TfLogFiles::FlushIt);
    connect(Button3, &QPushButton::clicked, this, &TfLogFiles::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TfLogFiles::Button4Click);
}

TfLogFiles::~TfLogFiles() = default;

QString TfLogFiles::LastStatement() const
{
    return statement_;
}

bool TfLogFiles::ownsWindow(const QWidget *window) const
{
    for (const QWidget *w = window ? window->parentWidget() : nullptr; w; w = w->parentWidget())
        if (w == this) return true;
    return false;
}

bool TfLogFiles::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate) {
        awayInChild_ = childDialogs_ > 0 || ownsWindow(QApplication::activeWindow());
        justShown_ = false;
    } else if (event->type() == QEvent::WindowActivate) {
        // Coming back from its own question is no new opening, and the
        // activation that follows the showing has been refreshed for already.
        if (!awayInChild_ && !justShown_) FormActivate();
        awayInChild_ = false;
        justShown_ = false;
    }
    return QDialog::event(event);
}

void TfLogFiles::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CentreOnDesktop(this);
    // Refreshed when shown, also where the window manager does not make it active.
    FormActivate();
    justShown_ = true;
}

void TfLogFiles::FormActivate()
{
    const QDate today = clock_.Now().date();
    {
        const QSignalBlocker block(dted);
        dted->setDate(today);
    }
    setMoment(dtet, today, dtet->time());
    FlushIt();
}

void TfLogFiles::ckBegClick()
{
    dtbd->setEnabled(ckBeg->isChecked());
    dtbt->setEnabled(ckBeg->isChecked());
    dtbdChange();
}

void TfLogFiles::ckEndClick()
{
    dted->setEnabled(ckEnd->isChecked());
    dtet->setEnabled(ckEnd->isChecked());
    dtedChange();
}

void TfLogFiles::dtbdChange()
{
    setMoment(dtbt, dtbd->date(), dtbt->time());
    FlushIt();
}

void TfLogFiles::dtedChange()
{
    setMoment(dtet, dted->date(), dtet->time());
    FlushIt();
}

void TfLogFiles::FlushIt()
{
    QStringList lines{QStringLiteral("SELECT * FROM LOGFILES")};
    const bool begin = ckBeg->isChecked();
    const bool end = ckEnd->isChecked();
    if (begin || end) lines << QStringLiteral(" WHERE ");
    if (begin) lines << QStringLiteral("ETIME >= CVDate(\"%1\")").arg(ProgramDateTimeText(dtbt->dateTime()));
    if (begin && end) lines << QStringLiteral(" AND ");
    if (end) lines << QStringLiteral("ETIME <= CVDate(\"%1\")").arg(ProgramDateTimeText(dtet->dateTime()));
    lines << QStringLiteral(" ORDER BY ID DESC");
    statement_.clear();
    for (const QString &line : lines)
        statement_ += line + QStringLiteral("\r\n");
    try {
        vLogFiles_.setSql(statement_);
        vLogFiles_.open();
    } catch (const std::exception &error) {
        // The list stays empty until a refresh succeeds.
        fillGrid();
        report(error);
        return;
    }
    fillGrid();
}

void TfLogFiles::fillGrid()
{
    gridLogs->setRowCount(0);
    if (!vLogFiles_.isOpen()) return;
    gridLogs->setRowCount(vLogFiles_.recordCount());
    int row = 0;
    for (vLogFiles_.first(); !vLogFiles_.eof(); vLogFiles_.next(), ++row) {
        auto *id = new QTableWidgetItem(vLogFiles_.asString(QStringLiteral("ID")));
        id->setTextAlignment(Qt::AlignCenter);
        gridLogs->setItem(row, 0, id);
        gridLogs->setItem(row, 1,
                          new QTableWidgetItem(ShownTime(vLogFiles_.asString(QStringLiteral("ETIME")))));
        gridLogs->setItem(row, 2, new QTableWidgetItem(vLogFiles_.asString(QStringLiteral("EVENT"))));
    }
    vLogFiles_.first();
}

void TfLogFiles::Button3Click()
{
    if (!vLogFiles_.isOpen() || vLogFiles_.isEmpty()) return;
    if (ask(Msg().msgConfirmDelLog, mb::kYesNo | mb::kIconQuestion) != mb::kIdYes) return;
    // Row by row, but in one transaction: a commit (and its wait for the
    // disk) per row made a clear of many rows take minutes. A failure midway
    // takes back the whole clear, and the list is read again so it shows what
    // is stored.
    Database &db = vLogFiles_.connection();
    try {
        db.exec(QStringLiteral("BEGIN IMMEDIATE"));
        // Only the rows listed: events logged since the list was read are not in it.
        vLogFiles_.first();
        while (!vLogFiles_.isEmpty()) {
            if (vLogFiles_.eof()) vLogFiles_.first();
            vLogFiles_.deleteCurrent();
        }
        db.exec(QStringLiteral("COMMIT"));
    } catch (const std::exception &error) {
        try {
            db.exec(QStringLiteral("ROLLBACK"));
        } catch (const std::exception &) {
            // not begun, or already ended by the failure
        }
        try {
            vLogFiles_.open();
        } catch (const std::exception &) {
            // the list stays as it was left
        }
        fillGrid();
        report(error);
        return;
    }
    fillGrid();
}

void TfLogFiles::Button4Click()
{
    reject();
}

int TfLogFiles::ask(const QString &text, int style)
{
    ++childDialogs_;
    const int answer = boxes_.Show(this, text, kCaption, style);
    --childDialogs_;
    return answer;
}

void TfLogFiles::report(const std::exception &error)
{
    ++childDialogs_;
    boxes_.Show(this, QString::fromUtf8(error.what()), kCaption, mb::kOk | mb::kIconError);
    --childDialogs_;
}
