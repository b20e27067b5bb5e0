// The settings dialog: the edit of the settings row, the port list, the delays, the mail derivations, OK.
#include "dialogs_fixture.h"

#include "devices/serialport.h"
#include "dialogs/recipientgrid.h"
#include "dialogs/tfsettings.h"
#include "dialogs/updown.h"
#include "fakes/fake_dialogs_alerts.h"
#include "fakes/fake_settings_host.h"
#include "lang/messages.h"
#include "lang/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <cerrno>
#include <memory>

namespace {

const QStringList kPorts = {QStringLiteral("/dev/ttyS1"), QStringLiteral("/dev/ttyUSB0")};

class SettingsTest : public DialogsTest
{
protected:
    std::unique_ptr<TfSettings> make(TfSettings::PortLister ports = [] { return kPorts; })
    {
        return std::make_unique<TfSettings>(nullptr, db, host, alerts, boxes, clock, std::move(ports),
                                            [this](QWidget *owner) { return chooseFile(owner); });
    }

    TfSettings &open()
    {
        if (!dlg) dlg = make();
        Activate(dlg.get());
        return *dlg;
    }

    FakeSettingsHost host{log};
    FakeDialogsAlerts alerts{log};
    std::function<QString(QWidget *)> chooseFile = [](QWidget *) { return QString(); };
    std::unique_ptr<TfSettings> dlg;
};

bool shown(const QWidget *w)
{
    return !w->isHidden();
}

} // namespace

TEST_F(SettingsTest, PortChoicesShowTheUsbNameBoxOnlyForUsbAndKeepAPortThatIsGone)
{
    struct Case
    {
        const char *why;
        QString storedPort;
        bool noPorts;
        QStringList choices;
        int chosen;
        bool usbBox;
    };
    const QStringList all = kPorts + QStringList{QStringLiteral("USB")};
    const Case cases[] = {
        {"the USB link", QStringLiteral("USB"), false, all, 2, true},
        {"a listed serial port", QStringLiteral("/dev/ttyUSB0"), false, all, 1, false},
        {"a port that has gone: no choice, still stored", QStringLiteral("COM1"), false, all, -1, false},
        {"no serial ports at all", QStringLiteral("USB"), true, {QStringLiteral("USB")}, 0, true},
        {"case matters", QStringLiteral("usb"), false, all, -1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        store("sCOM", c.storedPort);
        dlg = make(c.noPorts ? TfSettings::PortLister([]() -> QStringList { throw EComPort(23, ENOENT); })
                             : TfSettings::PortLister([] { return kPorts; }));
        open();
        QStringList choices;
        for (int i = 0; i < dlg->cbCom->count(); ++i)
            choices << dlg->cbCom->itemText(i);
        EXPECT_EQ(choices, c.choices);
        EXPECT_EQ(dlg->cbCom->currentIndex(), c.chosen);
        EXPECT_EQ(shown(dlg->edHidDevName), c.usbBox);
        EXPECT_EQ(shown(dlg->lHIDDevName), c.usbBox);
        dlg->Button1->click();
        EXPECT_EQ(stored("sCOM").toString(), c.storedPort);
    }

    // Picking USB shows the box and stores the choice at OK.
    store("sCOM", QStringLiteral("COM1"));
    dlg = make();
    open();
    const int usb = dlg->cbCom->findText(QStringLiteral("USB"));
    dlg->cbCom->setCurrentIndex(usb);
    emit dlg->cbCom->activated(usb);
    EXPECT_TRUE(shown(dlg->edHidDevName));
    dlg->Button1->click();
    EXPECT_EQ(stored("sCOM").toString(), QStringLiteral("USB"));
}

TEST_F(SettingsTest, SwitchesEnableTheirPagesControls)
{
    store("bShutWinOS", true);
    store("bExecuteApp", true);
    store("bEMAIL", false);
    store("bWarning", true);
    open();
    const QList<QWidget *> shutdown = {dlg->lACTimer,   dlg->edACTimer, dlg->udAC,       dlg->lBatTimer,
                                       dlg->edBatTimer, dlg->udBat,     dlg->ckAutoSave, dlg->ckExecuteApp,
                                       dlg->ckShutUPS,  dlg->lACcell,   dlg->lBatcell};
    for (QWidget *w : shutdown)
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(dlg->btExecuteApp->isEnabled());
    EXPECT_TRUE(dlg->edExecuteApp->isEnabled());
    EXPECT_TRUE(dlg->edAppTimer->isEnabled());
    EXPECT_FALSE(dlg->edSenderEmail->isEnabled());
    EXPECT_FALSE(dlg->lbEmails->isEnabled());
    EXPECT_FALSE(dlg->ckSysNoTB->isVisibleTo(dlg->TabSheet1));

    dlg->ckShutWin->click();
    for (QWidget *w : shutdown)
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(dlg->btExecuteApp->isEnabled());
    EXPECT_FALSE(dlg->edExecuteApp->isEnabled());
    // the program-time box is left as it was
    EXPECT_TRUE(dlg->edAppTimer->isEnabled());
    EXPECT_TRUE(dlg->udApp->isEnabled());
    EXPECT_TRUE(dlg->lAppTimer->isEnabled());

    dlg->ckEmail->click();
    for (QWidget *w : {static_cast<QWidget *>(dlg->edSenderEmail), static_cast<QWidget *>(dlg->ckSSL),
                       static_cast<QWidget *>(dlg->cbEType), static_cast<QWidget *>(dlg->btDel)})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();

    dlg->ckWarning->click();
    EXPECT_FALSE(dlg->udWarnTimer->isEnabled());
    EXPECT_FALSE(dlg->edWarnTimer->isEnabled());
    EXPECT_TRUE(dlg->DBEdit1->isEnabled());
}

TEST_F(SettingsTest, DelayBoxesClampWhatIsTypedAndReportWhatIsNoNumber)
{
    struct Case
    {
        const char *box;
        QString typed;
        int column; // the stored delay afterwards, with 10 minutes and 30 seconds before
        int upDown;
        bool reported;
    };
    const Case cases[] = {
        {"edACTimer", QStringLiteral("2500"), 2000, 2000, false},
        {"edACTimer", QStringLiteral("-"), 10, 10, false},
        {"edACTimer", QStringLiteral(""), 10, 10, false},
        {"edACTimer", QStringLiteral("-5"), 0, 0, false},
        {"edACTimer", QStringLiteral("+7"), 7, 7, false},
        {"edACTimer", QStringLiteral("+"), 10, 10, true},
        {"edACTimer", QStringLiteral("1-"), 10, 10, true},
        {"edBatTimer", QStringLiteral("99"), 60, 60, false},
        {"edBatTimer", QStringLiteral("45"), 45, 45, false},
        {"edBatTimer", QStringLiteral("--"), 30, 30, true},
    };
    store("bShutWinOS", true);
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.box) + " <- \"" + c.typed.toStdString() + "\"");
        store("iACTimer", 10);
        store("iBatTimer", 30);
        dlg = make();
        open();
        const bool ac = QLatin1String(c.box) == QLatin1String("edACTimer");
        QLineEdit *box = ac ? dlg->edACTimer : dlg->edBatTimer;
        const qsizetype before = boxes.Boxes().size();
        Type(box, c.typed);
        EXPECT_EQ((ac ? dlg->udAC : dlg->udBat)->position(), c.upDown);
        EXPECT_EQ(boxes.Boxes().size() > before, c.reported);
        if (c.reported) {
            EXPECT_EQ(boxes.Boxes().last().caption, QStringLiteral("Kestrava"));
        }
        dlg->Button1->click();
        EXPECT_EQ(stored(ac ? "iACTimer" : "iBatTimer").toInt(), c.column);
    }
}

TEST_F(SettingsTest, ProgramTimeFollowsTheMainsDelayDownAndNeverGoesAboveIt)
{
    store("bShutWinOS", true);
    store("bExecuteApp", true);
    store("iACTimer", 4);
    store("iAppTimer", 10);
    open();
    dlg->udAC->stepDown();
    EXPECT_EQ(db.GetInt("iACTimer"), 3);
    EXPECT_EQ(db.GetInt("iAppTimer"), 3);
    EXPECT_EQ(dlg->edAppTimer->text(), QStringLiteral("3"));
    EXPECT_EQ(dlg->udApp->position(), 10); // the arrows of the program time are not moved

    dlg->udApp->stepUp();
    EXPECT_EQ(dlg->udApp->position(), 3);
    EXPECT_EQ(db.GetInt("iAppTimer"), 3);
    dlg->udApp->stepDown();
    EXPECT_EQ(db.GetInt("iAppTimer"), 2);
    dlg->udAC->stepUp(); // raising the mains delay leaves the program time alone
    EXPECT_EQ(db.GetInt("iAppTimer"), 2);

    dlg->udWarnTimer->setPosition(70);
    dlg->udWarnTimer->stepUp();
    EXPECT_EQ(db.GetInt("iWarnTimer"), 60);
    dlg->Button1->click();
    EXPECT_EQ(stored("iACTimer").toInt(), 4);
    EXPECT_EQ(stored("iAppTimer").toInt(), 2);
}

TEST_F(SettingsTest, LeavingTheMailBoxesDerivesTheAccountAndTheAddress)
{
    struct Case
    {
        const char *why;
        QString address, server, account;
        const char *left;
        QString wantAddress, wantServer, wantAccount;
    };
    const QString e;
    const Case cases[] = {
        {"address fills server and account", "ann@mail.example.com", e, e, "edSenderEmail",
         "ann@mail.example.com", "smtp.mail.example.com", "ann"},
        {"a filled server stays", "ann@example.com", "mx.example.com", e, "edSenderEmail", "ann@example.com",
         "mx.example.com", "ann"},
        {"first @ counts", "a@b@c", e, e, "edSenderEmail", "a@b@c", "smtp.b@c", "a"},
        {"no @: nothing", "ann", e, e, "edSenderEmail", "ann", e, e},
        {"account with smtp. server in any case", e, "SMTP.Example.COM", "ann", "edSenderCount",
         "ann@example.com", "SMTP.Example.COM", "ann"},
        {"server without the prefix is used whole", e, "Mail.Example.com", "ann", "edSenderServer",
         "ann@mail.example.com", "Mail.Example.com", "ann"},
        {"a filled address stays", "bob@x.org", "smtp.example.com", "ann", "edSenderCount", "bob@x.org",
         "smtp.example.com", "ann"},
        {"no account yet: no half address", e, "smtp.example.com", e, "edSenderServer", e, "smtp.example.com",
         e},
        {"server only the prefix: no half address", e, "smtp.", "ann", "edSenderCount", e, "smtp.", "ann"},
    };
    store("bEMAIL", true);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        dlg = make();
        open();
        Type(dlg->edSenderEmail, c.address);
        Type(dlg->edSenderServer, c.server);
        Type(dlg->edSenderCount, c.account);
        Leave(dlg->findChild<QLineEdit *>(QLatin1String(c.left)));
        EXPECT_EQ(dlg->edSenderEmail->text(), c.wantAddress);
        EXPECT_EQ(dlg->edSenderServer->text(), c.wantServer);
        EXPECT_EQ(dlg->edSenderCount->text(), c.wantAccount);
        // the row being edited holds what the boxes show
        EXPECT_EQ(db.GetText("sSenderEmail"), c.wantAddress);
        EXPECT_EQ(db.GetText("sSenderServer"), c.wantServer);
        EXPECT_EQ(db.GetText("sSenderCount"), c.wantAccount);
        dlg->Button2->click();
    }
}

TEST_F(SettingsTest, TheEditRunsWhileTheDialogIsActiveAndAnotherWindowEndsIt)
{
    const QString before = stored("sACOff").toString();
    dlg = make();
    EXPECT_EQ(db.tSet.state(), RecordSet::State::Browse);
    // Shown but not (yet) made active by the window manager: the edit runs already.
    dlg->show();
    EXPECT_EQ(db.tSet.state(), RecordSet::State::Edit);
    open();
    EXPECT_EQ(db.tSet.state(), RecordSet::State::Edit);
    Type(dlg->DBEdit1, QStringLiteral("停电了"));
    EXPECT_EQ(db.GetText("sACOff"), QStringLiteral("停电了")); // readers see the edit before OK

    // Another window of the program (the warning window, say) takes the focus.
    QWidget other;
    Activate(&other);
    EXPECT_EQ(db.tSet.state(), RecordSet::State::Browse);
    EXPECT_EQ(db.GetText("sACOff"), before);
    EXPECT_EQ(dlg->DBEdit1->text(), before);

    // Back in the dialog a new edit starts from the stored values.
    Activate(dlg.get());
    EXPECT_EQ(db.tSet.state(), RecordSet::State::Edit);
    Type(dlg->DBEdit1, QStringLiteral("市电中断"));
    dlg->Button1->click();
    EXPECT_EQ(stored("sACOff").toString(), QStringLiteral("市电中断"));
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(db.tSet.state(), RecordSet::State::Browse);
}

TEST_F(SettingsTest, ItsOwnChooserAndQuestionsDoNotEndTheEdit)
{
    store("bShutWinOS", true);
    store("bExecuteApp", true);
    store("bEMAIL", true);
    const QString program = folder + QStringLiteral("backup.sh");
    chooseFile = [&](QWidget *owner) {
        // the chooser is a window of its own, owned by the dialog
        QWidget chooser(owner, Qt::Dialog);
        Activate(&chooser);
        return program;
    };
    open();
    Type(dlg->DBEdit2, QStringLiteral("来电了"));
    dlg->btExecuteApp->click();
    EXPECT_EQ(db.tSet.state(), RecordSet::State::Edit);
    EXPECT_EQ(dlg->edExecuteApp->text(), program);

    boxes.whileShown = [&](const FakeMessageBoxes::Box &) {
        QWidget box(dlg.get(), Qt::Dialog);
        Activate(&box);
    };
    dlg->lbEmails->setFocus();
    dlg->btAdd->click();
    dlg->btDel->click(); // asked, answered No
    EXPECT_EQ(db.tSet.state(), RecordSet::State::Edit);

    chooseFile = [](QWidget *) { return QString(); };
    dlg->btExecuteApp->click(); // nothing chosen: nothing changes
    EXPECT_EQ(dlg->edExecuteApp->text(), program);

    dlg->Button1->click();
    EXPECT_EQ(stored("sACOn").toString(), QStringLiteral("来电了"));
    EXPECT_EQ(stored("sExecuteApp").toString(), program);
}

TEST_F(SettingsTest, OkStoresTheRowThenAppliesItAndRetimesARunningCountdown)
{
    struct Case
    {
        const char *why;
        bool running;
        bool battery;
        bool uncheckShutdown;
        QStringList calls;
    };
    const QStringList applied = {QStringLiteral("ApplyDisplaySettings"), QStringLiteral("SelectLink")};
    const Case cases[] = {
        {"no countdown", false, false, false, applied},
        {"mains countdown: five minutes from now", true, false, false,
         applied + QStringList{QStringLiteral("SetShutdownTime 2024-03-05 14:35:00")}},
        {"battery countdown: twenty seconds from now", true, true, false,
         applied + QStringList{QStringLiteral("SetShutdownTime 2024-03-05 14:30:20")}},
        {"shutdown switched off ends the countdown", true, false, true,
         applied + QStringList{QStringLiteral("SetShutdownTime 2024-03-05 14:35:00"),
                               QStringLiteral("CancelClose")}},
        {"shutdown off and no countdown: nothing to end", false, false, true, applied},
    };
    store("bShutWinOS", true);
    QStringList seenByHost;
    host.onApplyDisplaySettings = [&] {
        seenByHost << stored("iACTimer").toString() << db.GetText("iBatTimer");
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        store("bShutWinOS", true);
        log.entries.clear();
        seenByHost.clear();
        alerts.running = c.running;
        alerts.battery = c.battery;
        dlg = make();
        open();
        Type(dlg->edACTimer, QStringLiteral("5"));
        Type(dlg->edBatTimer, QStringLiteral("20"));
        if (c.uncheckShutdown) dlg->ckShutWin->click();
        dlg->Button1->click();
        EXPECT_EQ(log.entries, c.calls);
        // stored before the main window is told, and the edit goes on meanwhile
        EXPECT_EQ(seenByHost, QStringList({QStringLiteral("5"), QStringLiteral("20")}));
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_FALSE(dlg->isVisible());
    }
}

TEST_F(SettingsTest, AFailingStoreAtOkIsReportedAndTheDialogStaysOpenWithItsEdits)
{
    other.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON Settings "
                              "BEGIN SELECT RAISE(ABORT, 'settings are locked'); END"));
    open();
    Type(dlg->DBEdit3, QStringLiteral("电池快没电了"));
    dlg->Button1->click();
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].text.contains(QStringLiteral("settings are locked")));
    EXPECT_EQ(boxes.Boxes()[0].style, mb::kOk | mb::kIconError);
    EXPECT_TRUE(log.entries.indexOf(QStringLiteral("ApplyDisplaySettings")) < 0);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(db.GetText("sBatDown"), QStringLiteral("电池快没电了"));

    other.exec(QStringLiteral("DROP TRIGGER refuse"));
    dlg->Button1->click();
    EXPECT_EQ(stored("sBatDown").toString(), QStringLiteral("电池快没电了"));
}
