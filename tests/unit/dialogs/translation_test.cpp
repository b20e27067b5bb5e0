// The dialogs take their texts from the language file when they are created, by their component names.
#include "dialogs_fixture.h"

#include "dialogs/recipientgrid.h"
#include "dialogs/tfclosefiles.h"
#include "dialogs/tflogfiles.h"
#include "dialogs/tfsettings.h"
#include "fakes/fake_dialogs_alerts.h"
#include "fakes/fake_settings_host.h"
#include "lang/gb2312.h"
#include "lang/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace {

class TranslationTest : public DialogsTest
{
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        QDir(folder).mkpath(QStringLiteral("languages"));
        QFile file(folder + QStringLiteral("languages/简体中文.INI"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(gb::encode(
            QStringLiteral("[fSettings]\r\nCaption=Settings\r\nTabSheet2.Caption=Mail\r\n"
                           "ckShutWin.Caption=Shut the computer down\r\nlbEmails.Column.1=Address\r\n"
                           "cbEType.Item.1=Mains failure\r\ncbCom.Item.0=never\r\n"
                           "gbEmailList.Caption=Recipients\r\nlACTimer.Caption=Delay\r\n"
                           "[FLOGFILES]\r\nCaption=Event log\r\ngridLogs.Column.2=Event\r\n"
                           "[fCloseFiles]\r\nButton1.Caption=OK\r\nDBGrid1.Column.0=Application\r\n")));
        file.close();
        LoadMessages(folder);
    }

    void TearDown() override { LoadMessages(empty.path()); }

    QTemporaryDir empty;
    FakeSettingsHost host{log};
    FakeDialogsAlerts alerts{log};
};

} // namespace

TEST_F(TranslationTest, EachDialogReadsItsOwnSection)
{
    TfSettings settings(nullptr, db, host, alerts, boxes, clock, [] { return QStringList{"/dev/ttyS1"}; });
    EXPECT_EQ(settings.windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(settings.pgCtrl->tabText(1), QStringLiteral("Mail"));
    EXPECT_EQ(settings.pgCtrl->tabText(0), QStringLiteral("一般设定"));
    EXPECT_EQ(settings.ckShutWin->text(), QStringLiteral("Shut the computer down"));
    EXPECT_EQ(settings.lACTimer->text(), QStringLiteral("Delay"));
    EXPECT_EQ(settings.gbEmailList->title(), QStringLiteral("Recipients"));
    EXPECT_EQ(settings.lbEmails->columnTitles(),
              QStringList({QStringLiteral("姓名"), QStringLiteral("Address")}));
    EXPECT_EQ(settings.cbEType->itemText(1), QStringLiteral("Mains failure"));
    EXPECT_EQ(settings.cbEType->itemText(0), QStringLiteral("所有事件"));
    EXPECT_EQ(settings.cbCom->itemText(0), QStringLiteral("/dev/ttyS1")); // the port list is data

    TfLogFiles logs(nullptr, db.vLogFiles, boxes, clock);
    EXPECT_EQ(logs.windowTitle(), QStringLiteral("Event log"));
    EXPECT_EQ(logs.gridLogs->columnTitles(),
              QStringList({QStringLiteral("事件ID"), QStringLiteral("发生时间"), QStringLiteral("Event")}));
    EXPECT_EQ(logs.Button4->text(), QStringLiteral("退出(&X)"));

    TfCloseFiles files(nullptr, db.tCloseFiles);
    EXPECT_EQ(files.windowTitle(), QStringLiteral("关机文件"));
    EXPECT_EQ(files.Button1->text(), QStringLiteral("OK"));
    EXPECT_EQ(files.DBGrid1->columnTitles(),
              QStringList({QStringLiteral("Application"), QStringLiteral("自动保存文档名称")}));
}
