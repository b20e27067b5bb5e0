// The settings dialog: the settings row on four pages and the alert-mail recipients.
#pragma once

#include <QDialog>
#include <QStringList>

#include <exception>
#include <functional>
#include <vector>

class Alerts;
class AppDatabase;
class Clock;
class DataCheckBox;
class DataComboBox;
class MessageBoxes;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class RecipientGrid;
class SettingsHost;
class UpDown;

// Edits the live row of tSet: the edit starts when the dialog becomes the
// active window, OK stores it, and any other way out (or another window of the
// program becoming active) throws it away. Message boxes and the file chooser
// opened by the dialog itself do not end the edit. The recipient list is edited
// row by row in tEmails and is not covered by OK or Cancel.
class TfSettings : public QDialog
{
    Q_OBJECT
public:
    // The serial ports offered besides "USB"; a failure (no ports) gives none.
    using PortLister = std::function<QStringList()>;
    // Asks for the external program; an empty result means none was chosen.
    using FileChooser = std::function<QString(QWidget *owner)>;

    TfSettings(QWidget *parent, AppDatabase &db, SettingsHost &host, Alerts &alerts, MessageBoxes &boxes,
               Clock &clock, PortLister listPorts = DefaultPortLister(), FileChooser chooseFile = {});
    ~TfSettings() override;

    static PortLister DefaultPortLister();

    // The form's handlers, as the window's events and controls call them.
    void FormActivate();
    void FormDeactivate();
    void Button1Click();
    void cbComChange();
    void ckEmailClick();
    void ckShutWinClick();
    void ckExecuteAppClick();
    void ckWarningClick();
    void btExecuteAppClick();
    void cbETypeChange();
    void btAddClick();
    void btModClick();
    void btDelClick();
    void EditEType();
    void udACClick();
    void udBatClick();
    void udAppClick();
    void udWarnTimerClick();
    void edACTimerChg();
    void edBatTimerChange();
    void edSenderEmailExit();
    void edSenderCountExit();

    void done(int result) override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct TextBinding
    {
        QLineEdit *edit;
        QString column;
        bool writes; // false: only handlers change the column (delay boxes, read-only boxes)
    };

    void buildGeneralPage(QWidget *page);
    void buildMailPage(QWidget *page);
    void buildShutdownPage(QWidget *page);
    void buildWarningPage(QWidget *page);
    QLineEdit *boundEdit(QWidget *parent, const char *name, const char *column, bool writes = true);
    DataCheckBox *boundCheck(QWidget *parent, const char *name, const QString &text, const char *column);
    void fillPortChoices();

    bool editing() const;
    void loadControls();
    void refreshColumn(const QString &column);
    void setColumn(const QString &column, const QVariant &value);
    int intColumn(const QString &column) const;
    bool ownsWindow(const QWidget *window) const;
    void delayBoxChanged(QLineEdit *box, UpDown *upDown, int maximum, void (TfSettings::*click)());
    int askQuestion(const QString &text, int style);
    void report(const std::exception &error);
    // Runs f; a failure is reported to the user and the program goes on.
    template <typename F> void guarded(F &&f)
    {
        try {
            f();
        } catch (const std::exception &error) {
            report(error);
        }
    }

    // recipient list
    void fillRecipients();
    void moveRecipientTo(int row);
    void dropUntouchedInsert();
    void storePendingRecipient();
    void recipientCellChanged(int row, int column);
    void recipientCurrentChanged(int row, int previousRow);
    void insertRecipient();
    void deleteRecipient(const QString &question, int style, int yes);
    int insertRow() const;

    AppDatabase &db_;
    SettingsHost &host_;
    Alerts &alerts_;
    MessageBoxes &boxes_;
    Clock &clock_;
    FileChooser chooseFile_;

    std::vector<TextBinding> texts_;
    std::vector<DataCheckBox *> checks_;
    bool loading_ = false;       // controls are being set from the row
    int childDialogs_ = 0;       // boxes or choosers of this dialog are open
    bool insertTouched_ = false; // the pending new recipient has been typed in
    int recipientRow_ = -1;      // grid row the record set's cursor is on

public:
    // Components, named as the language file knows them.
    QTabWidget *pgCtrl;
    QWidget *TabSheet1, *TabSheet2, *TabSheet3, *TabSheet4;
    QPushButton *Button1, *Button2;
    // general
    QLabel *Label1, *Label2, *Label3, *lHIDDevName;
    DataComboBox *cbCom;
    QLineEdit *edHidDevName;
    DataCheckBox *ckSysNoClose, *ckStayOnTop, *ckSysNoTB;
    // mail
    DataCheckBox *ckEmail, *ckSSL;
    QLabel *lSenderName, *lSenderEmail, *lSenderServer, *lSenderCount, *lSenderPwd, *lEState;
    QLineEdit *edSenderName, *edSenderEmail, *edSenderServer, *edSenderCount, *edSenderPwd;
    QGroupBox *gbEmailList;
    QComboBox *cbEType;
    RecipientGrid *lbEmails;
    QPushButton *btAdd, *btMod, *btDel;
    // shutdown
    DataCheckBox *ckShutWin, *ckExecuteApp, *ckAutoSave, *ckShutUPS;
    QLabel *lACTimer, *lACcell, *lBatTimer, *lBatcell, *lAppTimer, *lAppcell;
    QLineEdit *edACTimer, *edBatTimer, *edExecuteApp, *edAppTimer;
    UpDown *udAC, *udBat, *udApp;
    QPushButton *btExecuteApp;
    // warnings
    QGroupBox *gbMessage;
    QLabel *Label10, *Label11, *Label12, *Label13, *lWarn1, *lWarn2;
    QLineEdit *DBEdit1, *DBEdit2, *DBEdit3, *DBEdit4, *edWarnTimer;
    DataCheckBox *ckWarning;
    UpDown *udWarnTimer;
};
