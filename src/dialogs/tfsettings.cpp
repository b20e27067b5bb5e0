// The settings dialog: creation, the edit of the settings row, the enabled-state rules, the delays, OK.
#include "dialogs/tfsettings.h"

#include "alerts/alerts.h"
#include "devices/serialportlist.h"
#include "dialogs/dialogstyle.h"
#include "dialogs/recipientgrid.h"
#include "dialogs/settingshost.h"
#include "dialogs/updown.h"
#include "lang/applylanguage.h"
#include "lang/widgets.h"
#include "platform/clock.h"
#include "platform/message_boxes.h"
#include "store/appdatabase.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>

namespace {

const QString kCaption = QStringLiteral("Kestrava");
const QString kUsb = QStringLiteral("USB");

// Counts a box or chooser of the dialog as open for as long as it lives.
class ChildDialog
{
public:
    explicit ChildDialog(int &count) : count_(count) { ++count_; }
    ~ChildDialog() { --count_; }
    ChildDialog(const ChildDialog &) = delete;
    ChildDialog &operator=(const ChildDialog &) = delete;

private:
    int &count_;
};

class Loading
{
public:
    explicit Loading(bool &flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~Loading() { flag_ = was_; }
    Loading(const Loading &) = delete;
    Loading &operator=(const Loading &) = delete;

private:
    bool &flag_;
    bool was_;
};

// The file chooser of the platform's toolkit (not a desktop portal), so that
// it is a window of this program owned by the dialog.
QString ChooseProgram(QWidget *owner)
{
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QStringLiteral("应用程序 (*)"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

TfSettings::PortLister TfSettings::DefaultPortLister()
{
    return [] { return ListSerialPorts(); };
}

TfSettings::TfSettings(QWidget *parent, AppDatabase &db, SettingsHost &host, Alerts &alerts,
                       MessageBoxes &boxes, Clock &clock, PortLister listPorts, FileChooser chooseFile)
    : QDialog(parent), db_(db), host_(host), alerts_(alerts), boxes_(boxes), clock_(clock),
      chooseFile_(chooseFile ? std::move(chooseFile) : FileChooser(ChooseProgram))
{
    setObjectName(QStringLiteral("fSettings"));
    setWindowTitle(QStringLiteral("设置"));
    SetUpFixedDialog(this, 560, 420);

    pgCtrl = new QTabWidget(this);
    pgCtrl->setObjectName(QStringLiteral("pgCtrl"));
    pgCtrl->setGeometry(8, 8, 544, 368);
    struct Page
    {
        QWidget **page;
        const char *name;
        QString caption;
        void (TfSettings::*build)(QWidget *);
    };
    const Page pages[] = {
        {&TabSheet1, "TabSheet1", QStringLiteral("一般设定"), &TfSettings::buildGeneralPage},
        {&TabSheet2, "TabSheet2", QStringLiteral("邮件通知"), &TfSettings::buildMailPage},
        {&TabSheet3, "TabSheet3", QStringLiteral("关机设置"), &TfSettings::buildShutdownPage},
        {&TabSheet4, "TabSheet4", QStringLiteral("警告讯息"), &TfSettings::buildWarningPage},
    };
    for (const Page &p : pages) {
        *p.page = new QWidget;
        (*p.page)->setObjectName(QString::fromLatin1(p.name));
        pgCtrl->addTab(*p.page, p.caption);
        (this->*p.build)(*p.page);
    }
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(384, 386, 80, 26);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(472, 386, 80, 26);

    ApplyLanguage(this);

    cbCom->clear();
    try {
        if (listPorts) cbCom->addItems(listPorts());
    } catch (const std::exception &) {
        // no serial ports: only the USB link is offered
    }
    cbCom->addItem(kUsb);
    pgCtrl->setCurrentIndex(0);
    cbEType->setCurrentIndex(0);

    for (const TextBinding &b : texts_) {
        if (!b.writes) continue;
        const QString column = b.column;
        connect(b.edit, &QLineEdit::textChanged, this, [this, column](const QString &text) {
            if (!loading_ && editing()) guarded([&] { db_.tSet.setValue(column, text); });
        });
    }
    for (DataCheckBox *box : checks_) {
        connect(box, &QCheckBox::toggled, this, [this, box](bool on) {
            if (!loading_ && editing()) guarded([&] { db_.tSet.setValue(box->fieldName(), on); });
        });
    }
    const auto onToggle = [this](DataCheckBox *box, void (TfSettings::*handler)()) {
        connect(box, &QCheckBox::toggled, this, [this, handler] {
            if (!loading_) (this->*handler)();
        });
    };
    onToggle(ckEmail, &TfSettings::ckEmailClick);
    onToggle(ckShutWin, &TfSettings::ckShutWinClick);
    onToggle(ckExecuteApp, &TfSettings::ckExecuteAppClick);
    onToggle(ckWarning, &TfSettings::ckWarningClick);
    connect(cbCom, &QComboBox::activated, this, [this](int index) {
        if (editing()) guarded([&] { db_.tSet.setValue(QStringLiteral("sCOM"), cbCom->itemText(index)); });
        cbComChange();
    });
    connect(cbEType, &QComboBox::currentIndexChanged, this, &TfSettings::cbETypeChange);
    connect(udAC, &UpDown::clicked, this, &TfSettings::udACClick);
    connect(udBat, &UpDown::clicked, this, &TfSettings::udBatClick);
    connect(udApp, &UpDown::clicked, this, &TfSettings::udAppClick);
    connect(udWarnTimer, &UpDown::clicked, this, &TfSettings::udWarnTimerClick);
    connect(edACTimer, &QLineEdit::textEdited, this, &TfSettings::edACTimerChg);
    connect(edBatTimer, &QLineEdit::textEdited, this, &TfSettings::edBatTimerChange);
    for (QLineEdit *box : {edSenderEmail, edSenderServer, edSenderCount})
        box->installEventFilter(this);
    connect(btExecuteApp, &QPushButton::clicked, this, &TfSettings::btExecuteAppClick);
    connect(btAdd, &QPushButton::clicked, this, &TfSettings::btAddClick);
    connect(btMod, &QPushButton::clicked, this, &TfSettings::btModClick);
    connect(btDel, &QPushButton::clicked, this, &TfSettings::btDelClick);
    connect(lbEmails, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem *item) { recipientCellChanged(item->row(), item->column()); });
    connect(lbEmails, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previousRow, int) { recipientCurrentChanged(row, previousRow); });
    connect(lbEmails, &QTableWidget::cellClicked, this, &TfSettings::EditEType);
    connect(lbEmails, &RecipientGrid::keyPressed, this, &TfSettings::EditEType);
    connect(lbEmails, &RecipientGrid::insertRequested, this, &TfSettings::insertRecipient);
    connect(lbEmails, &RecipientGrid::deleteRequested, this, [this] {
        deleteRecipient(QStringLiteral("Delete record?"), mb::kOkCancel | mb::kIconQuestion, mb::kIdOk);
    });
    connect(Button1, &QPushButton::clicked, this, &TfSettings::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TfSettings::~TfSettings() = default;

// ---- the edit of the settings row ----

bool TfSettings::editing() const
{
    return db_.tSet.isOpen() && db_.tSet.state() == RecordSet::State::Edit;
}

void TfSettings::loadControls()
{
    if (!db_.tSet.isOpen() || db_.tSet.eof()) return;
    Loading loading(loading_);
    for (const TextBinding &b : texts_)
        b.edit->setText(db_.tSet.asString(b.column));
    for (DataCheckBox *box : checks_)
        box->setChecked(db_.tSet.asBool(box->fieldName()));
    // A port that is no longer offered shows as no choice, and stays stored.
    cbCom->setCurrentIndex(cbCom->findText(db_.tSet.asString(cbCom->fieldName()), Qt::MatchExactly));
}

void TfSettings::refreshColumn(const QString &column)
{
    Loading loading(loading_);
    for (const TextBinding &b : texts_)
        if (b.column == column) b.edit->setText(db_.tSet.asString(column));
    for (DataCheckBox *box : checks_)
        if (box->fieldName() == column) box->setChecked(db_.tSet.asBool(column));
}

void TfSettings::setColumn(const QString &column, const QVariant &value)
{
    if (!editing()) return;
    db_.tSet.setValue(column, value);
    refreshColumn(column);
}

int TfSettings::intColumn(const QString &column) const
{
    return db_.tSet.asInt(column);
}

void TfSettings::FormActivate()
{
    // Back from a box or the chooser of this dialog: the edit goes on.
    if (editing()) return;
    guarded([this] {
        db_.tSet.edit();
        loadControls();
        cbComChange();
        ckEmailClick();
        ckShutWinClick();
        ckExecuteAppClick();
        ckWarningClick();
        cbETypeChange();
        udAC->setPosition(intColumn(QStringLiteral("iACTimer")));
        udBat->setPosition(intColumn(QStringLiteral("iBatTimer")));
        udApp->setPosition(intColumn(QStringLiteral("iAppTimer")));
        udWarnTimer->setPosition(intColumn(QStringLiteral("iWarnTimer")));
    });
}

void TfSettings::FormDeactivate()
{
    if (!editing()) return;
    guarded([this] {
        db_.tSet.cancel();
        loadControls();
    });
}

bool TfSettings::ownsWindow(const QWidget *window) const
{
    for (const QWidget *w = window ? window->parentWidget() : nullptr; w; w = w->parentWidget())
        if (w == this) return true;
    return false;
}

bool TfSettings::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        FormActivate();
    } else if (event->type() == QEvent::WindowDeactivate) {
        // A box or chooser of this dialog taking the focus is part of the edit;
        // any other window of the program ends it.
        if (childDialogs_ == 0 && !ownsWindow(QApplication::activeWindow())) FormDeactivate();
    }
    return QDialog::event(event);
}

void TfSettings::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CentreOnDesktop(this);
    // A window manager may keep a dialog opened from the tray from becoming
    // active; the edit must run all the same, or the user's changes would be
    // dropped silently.
    FormActivate();
}

void TfSettings::done(int result)
{
    // The recipient being typed in is kept whichever way the dialog closes.
    lbEmails->commitOpenEditor();
    guarded([this] { storePendingRecipient(); });
    QDialog::done(result);
    FormDeactivate();
}

void TfSettings::Button1Click()
{
    try {
        db_.tSet.post();
    } catch (const std::exception &error) {
        // Nothing else runs and the edits stay for the user to correct.
        report(error);
        return;
    }
    guarded([this] {
        db_.tSet.requery();
        db_.tSet.edit();
        host_.ApplyDisplaySettings();
        host_.SelectLink();
        if (alerts_.CountdownRunning()) {
            const QDateTime now = clock_.Now();
            alerts_.SetShutdownTime(alerts_.BatteryCountdown() ? now.addSecs(udBat->position())
                                                               : now.addSecs(qint64(udAC->position()) * 60));
            if (!ckShutWin->isChecked()) alerts_.CancelClose();
        }
    });
    accept();
}

// ---- visibility and enabled states ----

void TfSettings::cbComChange()
{
    const bool usb = cbCom->currentIndex() >= 0 && cbCom->currentText() == kUsb;
    lHIDDevName->setVisible(usb);
    edHidDevName->setVisible(usb);
}

void TfSettings::ckEmailClick()
{
    const bool on = ckEmail->isChecked();
    const QList<QWidget *> controls = {
        lSenderName,  edSenderName,  lSenderEmail, edSenderEmail, lSenderServer, edSenderServer,
        lSenderCount, edSenderCount, lSenderPwd,   edSenderPwd,   ckSSL,         gbEmailList,
        lEState,      cbEType,       lbEmails,     btAdd,         btMod,         btDel};
    for (QWidget *w : controls)
        w->setEnabled(on);
}

void TfSettings::ckShutWinClick()
{
    const bool on = ckShutWin->isChecked();
    const QList<QWidget *> controls = {lACTimer,   lACcell, edACTimer,  udAC,         lBatTimer, lBatcell,
                                       edBatTimer, udBat,   ckAutoSave, ckExecuteApp, ckShutUPS};
    for (QWidget *w : controls)
        w->setEnabled(on);
    const bool program = on && ckExecuteApp->isChecked();
    btExecuteApp->setEnabled(program);
    edExecuteApp->setEnabled(program);
}

void TfSettings::ckExecuteAppClick()
{
    const bool program = ckShutWin->isChecked() && ckExecuteApp->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(btExecuteApp), static_cast<QWidget *>(edExecuteApp),
                       static_cast<QWidget *>(edAppTimer), static_cast<QWidget *>(udApp)})
        w->setEnabled(program);
}

void TfSettings::ckWarningClick()
{
    const bool on = ckWarning->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(lWarn1), static_cast<QWidget *>(lWarn2),
                       static_cast<QWidget *>(edWarnTimer), static_cast<QWidget *>(udWarnTimer)})
        w->setEnabled(on);
}

void TfSettings::btExecuteAppClick()
{
    QString file;
    {
        ChildDialog open(childDialogs_);
        file = chooseFile_(this);
    }
    if (!file.isEmpty())
        guarded([&] { setColumn(QStringLiteral("sExecuteApp"), QFileInfo(file).absoluteFilePath()); });
}

// ---- delays ----

void TfSettings::udACClick()
{
    guarded([this] {
        setColumn(QStringLiteral("iACTimer"), udAC->position());
        const int ac = intColumn(QStringLiteral("iACTimer"));
        if (ac < intColumn(QStringLiteral("iAppTimer"))) setColumn(QStringLiteral("iAppTimer"), ac);
    });
}

void TfSettings::udBatClick()
{
    guarded([this] { setColumn(QStringLiteral("iBatTimer"), udBat->position()); });
}

void TfSettings::udAppClick()
{
    if (udApp->position() > udAC->position()) udApp->setPosition(udAC->position());
    guarded([this] { setColumn(QStringLiteral("iAppTimer"), udApp->position()); });
}

void TfSettings::udWarnTimerClick()
{
    guarded([this] { setColumn(QStringLiteral("iWarnTimer"), udWarnTimer->position()); });
}

void TfSettings::delayBoxChanged(QLineEdit *box, UpDown *upDown, int maximum, void (TfSettings::*click)())
{
    const QString text = box->text();
    // Half-typed texts wait for the next key.
    if (text.isEmpty() || text == QStringLiteral("-")) return;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok) {
        report(
            std::invalid_argument(QStringLiteral("\"%1\" is not a whole number.").arg(text).toStdString()));
        return;
    }
    upDown->setPosition(std::clamp(value, 0, maximum));
    (this->*click)();
}

void TfSettings::edACTimerChg()
{
    delayBoxChanged(edACTimer, udAC, 2000, &TfSettings::udACClick);
}

void TfSettings::edBatTimerChange()
{
    delayBoxChanged(edBatTimer, udBat, 60, &TfSettings::udBatClick);
}

// ---- mail account ----

bool TfSettings::eventFilter(QObject *watched, QEvent *event)
{
    // Leaving a box means another control taking the focus, not the window
    // losing it to a box or another window.
    const auto leaving = [event] {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
    };
    if (event->type() == QEvent::FocusOut && leaving()) {
        if (watched == edSenderEmail) edSenderEmailExit();
        if (watched == edSenderServer || watched == edSenderCount) edSenderCountExit();
    }
    return QDialog::eventFilter(watched, event);
}

void TfSettings::edSenderEmailExit()
{
    const QString address = edSenderEmail->text();
    const qsizetype at = address.indexOf(u'@');
    if (address.isEmpty() || at < 0) return;
    guarded([&] {
        if (edSenderServer->text().isEmpty())
            setColumn(QStringLiteral("sSenderServer"), QStringLiteral("smtp.") + address.mid(at + 1, 256));
        if (edSenderCount->text().isEmpty()) setColumn(QStringLiteral("sSenderCount"), address.left(at));
    });
}

void TfSettings::edSenderCountExit()
{
    if (!edSenderEmail->text().isEmpty()) return;
    const QString account = edSenderCount->text();
    QString domain = edSenderServer->text().toLower();
    if (domain.left(5) == QStringLiteral("smtp.")) domain = domain.mid(5, 256);
    // Only a whole address is derived: one made from a half-filled pair
    // ("@example.com") would stop the address from being derived once the
    // other box is filled.
    if (account.isEmpty() || domain.isEmpty()) return;
    guarded([&] { setColumn(QStringLiteral("sSenderEmail"), account + u'@' + domain); });
}

// ---- errors and questions ----

int TfSettings::askQuestion(const QString &text, int style)
{
    ChildDialog open(childDialogs_);
    return boxes_.Show(this, text, kCaption, style);
}

void TfSettings::report(const std::exception &error)
{
    ChildDialog open(childDialogs_);
    boxes_.Show(this, QString::fromUtf8(error.what()), kCaption, mb::kOk | mb::kIconError);
}
