// The settings dialog's four pages: every control at its fixed place, with its built-in text.
#include "dialogs/recipientgrid.h"
#include "dialogs/tfsettings.h"
#include "dialogs/updown.h"
#include "lang/widgets.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>

namespace {

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, int x, int y, int width)
{
    auto *l = named(new QLabel(text, parent), name);
    l->setGeometry(x, y, width, 22);
    return l;
}

// The delay boxes take digits and signs only; what they hold is checked by
// their handlers, which report texts that are not whole numbers.
void delayBox(QLineEdit *box, int maxLength)
{
    box->setMaxLength(maxLength);
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-+0-9]*")), box));
}

void readOnlyBox(QLineEdit *box)
{
    box->setReadOnly(true);
}

} // namespace

QLineEdit *TfSettings::boundEdit(QWidget *parent, const char *name, const char *column, bool writes)
{
    auto *edit = named(new QLineEdit(parent), name);
    texts_.push_back({edit, QString::fromLatin1(column), writes});
    return edit;
}

DataCheckBox *TfSettings::boundCheck(QWidget *parent, const char *name, const QString &text,
                                     const char *column)
{
    auto *box = named(new DataCheckBox(text, parent), name);
    box->setFieldName(QString::fromLatin1(column));
    checks_.push_back(box);
    return box;
}

void TfSettings::buildGeneralPage(QWidget *page)
{
    Label1 = label(page, "Label1", QStringLiteral("设备连接端口选择："), 12, 10, 300);
    Label3 = label(page, "Label3", QStringLiteral("请选择UPS设备连接端口名称："), 28, 38, 210);
    cbCom = named(new DataComboBox(page), "cbCom");
    cbCom->setFieldName(QStringLiteral("sCOM"));
    cbCom->setGeometry(250, 38, 200, 22);
    lHIDDevName = label(page, "lHIDDevName", QStringLiteral("请输入USB设备连接标识名称："), 28, 68, 210);
    edHidDevName = boundEdit(page, "edHidDevName", "shidDevName");
    edHidDevName->setGeometry(250, 68, 200, 22);
    Label2 = label(page, "Label2", QStringLiteral("程序操作选项："), 12, 110, 300);
    ckSysNoClose = boundCheck(page, "ckSysNoClose",
                              QStringLiteral("关闭主窗口时，不退出系统(在系统托盘显示图标)."), "bSysNoClose");
    ckSysNoClose->setGeometry(28, 138, 480, 22);
    ckStayOnTop =
        boundCheck(page, "ckStayOnTop", QStringLiteral("主窗口总是显示在最前面。"), "bSysStayOnTop");
    ckStayOnTop->setGeometry(28, 164, 480, 22);
    // The taskbar setting has no meaning the user could check here; only the stored value counts.
    ckSysNoTB = boundCheck(page, "ckSysNoTB", QStringLiteral("不在任务栏显示程序图标。"), "bSysNoTB");
    ckSysNoTB->setGeometry(28, 190, 480, 22);
    ckSysNoTB->setVisible(false);
}

void TfSettings::buildMailPage(QWidget *page)
{
    ckEmail = boundCheck(page, "ckEmail", QStringLiteral("启用电子邮件发送警报功能(&P)"), "bEMAIL");
    ckEmail->setGeometry(12, 8, 400, 22);

    // Two columns of label and box.
    struct Field
    {
        QLabel **label;
        const char *labelName;
        QString text;
        QLineEdit **edit;
        const char *editName;
        const char *column;
        int x;
        int y;
    };
    const Field fields[] = {
        {&lSenderName, "lSenderName", QStringLiteral("发送人姓名(&N)："), &edSenderName, "edSenderName",
         "sSenderName", 12, 38},
        {&lSenderEmail, "lSenderEmail", QStringLiteral("电子邮箱地址(&E)："), &edSenderEmail, "edSenderEmail",
         "sSenderEmail", 276, 38},
        {&lSenderServer, "lSenderServer", QStringLiteral("电子邮箱服务器(&S)："), &edSenderServer,
         "edSenderServer", "sSenderServer", 12, 66},
        {&lSenderCount, "lSenderCount", QStringLiteral("用户帐号(&C)："), &edSenderCount, "edSenderCount",
         "sSenderCount", 276, 66},
        {&lSenderPwd, "lSenderPwd", QStringLiteral("用户密码(&W)："), &edSenderPwd, "edSenderPwd",
         "sSenderPassword", 12, 94},
    };
    for (const Field &f : fields) {
        *f.label = label(page, f.labelName, f.text, f.x, f.y, 128);
        *f.edit = boundEdit(page, f.editName, f.column);
        (*f.edit)->setGeometry(f.x + 128, f.y, 126, 22);
        (*f.label)->setBuddy(*f.edit);
    }
    edSenderPwd->setEchoMode(QLineEdit::Password);
    edSenderPwd->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    ckSSL = boundCheck(page, "ckSSL", QStringLiteral("服务器启用密码认证(&R)"), "bSSL");
    ckSSL->setGeometry(276, 94, 250, 22);

    gbEmailList = named(new QGroupBox(QStringLiteral("电子邮件地址列表"), page), "gbEmailList");
    gbEmailList->setGeometry(8, 126, 528, 206);
    lEState = label(gbEmailList, "lEState", QStringLiteral("异常状况(&K)"), 12, 22, 90);
    cbEType = named(new QComboBox(gbEmailList), "cbEType");
    cbEType->addItems({QStringLiteral("所有事件"), QStringLiteral("市电断电"), QStringLiteral("市电恢复"),
                       QStringLiteral("电池电压低"), QStringLiteral("低电压恢复")});
    cbEType->setGeometry(104, 22, 150, 22);
    lEState->setBuddy(cbEType);
    lbEmails = named(new RecipientGrid(gbEmailList), "lbEmails");
    lbEmails->setColumnTitles({QStringLiteral("姓名"), QStringLiteral("邮箱地址")});
    lbEmails->setGeometry(12, 52, 416, 144);
    lbEmails->setColumnWidth(0, 130);
    lbEmails->setColumnWidth(1, 250);
    lbEmails->verticalHeader()->setDefaultSectionSize(22);
    btAdd = named(new QPushButton(QStringLiteral("添加(&A)"), gbEmailList), "btAdd");
    btAdd->setGeometry(438, 52, 80, 26);
    btMod = named(new QPushButton(QStringLiteral("修改(&M)"), gbEmailList), "btMod");
    btMod->setGeometry(438, 84, 80, 26);
    btDel = named(new QPushButton(QStringLiteral("删除(&D)"), gbEmailList), "btDel");
    btDel->setGeometry(438, 116, 80, 26);
}

void TfSettings::buildShutdownPage(QWidget *page)
{
    ckShutWin = boundCheck(page, "ckShutWin", QStringLiteral("关闭Windows操作系统(&W)"), "bShutWinOS");
    ckShutWin->setGeometry(12, 8, 400, 22);

    struct Delay
    {
        QLabel **label;
        const char *labelName;
        QString text;
        QLineEdit **box;
        const char *boxName;
        const char *column;
        UpDown **upDown;
        const char *upDownName;
        int minimum;
        int maximum;
        QLabel **unit;
        const char *unitName;
        QString unitText;
        int x;
        int y;
    };
    const Delay delays[] = {
        {&lACTimer, "lACTimer", QStringLiteral("市电断电后，延缓关机时间(0 - 2000)"), &edACTimer, "edACTimer",
         "iACTimer", &udAC, "udAC", 0, 2000, &lACcell, "lACcell", QStringLiteral("分钟"), 28, 38},
        {&lBatTimer, "lBatTimer", QStringLiteral("电池电量低后，延缓关机时间(0 - 60)"), &edBatTimer,
         "edBatTimer", "iBatTimer", &udBat, "udBat", 0, 60, &lBatcell, "lBatcell", QStringLiteral("秒。"), 28,
         66},
        {&lAppTimer, "lAppTimer", QStringLiteral("程序执行持续时间：(0 - 15)"), &edAppTimer, "edAppTimer",
         "iAppTimer", &udApp, "udApp", 0, 15, &lAppcell, "lAppcell", QStringLiteral("分钟"), 44, 158},
    };
    for (const Delay &d : delays) {
        *d.label = label(page, d.labelName, d.text, d.x, d.y, 280 - d.x);
        *d.box = boundEdit(page, d.boxName, d.column, false);
        (*d.box)->setGeometry(290, d.y, 52, 22);
        *d.upDown = named(new UpDown(page), d.upDownName);
        (*d.upDown)->setRange(d.minimum, d.maximum);
        (*d.upDown)->setGeometry(342, d.y, 16, 22);
        *d.unit = label(page, d.unitName, d.unitText, 364, d.y, 80);
    }
    delayBox(edACTimer, 4);
    delayBox(edBatTimer, 2);
    readOnlyBox(edAppTimer);

    ckExecuteApp = boundCheck(page, "ckExecuteApp", QStringLiteral("关机前执行外部应用程序"), "bExecuteApp");
    ckExecuteApp->setGeometry(28, 100, 400, 22);
    edExecuteApp = boundEdit(page, "edExecuteApp", "sExecuteApp");
    edExecuteApp->setGeometry(44, 128, 400, 22);
    edExecuteApp->setEnabled(false);
    btExecuteApp = named(new QPushButton(QStringLiteral("设置(&T)"), page), "btExecuteApp");
    btExecuteApp->setGeometry(452, 126, 80, 26);
    btExecuteApp->setEnabled(false);
    ckAutoSave = boundCheck(page, "ckAutoSave", QStringLiteral("自动存档"), "bAutoSave");
    ckAutoSave->setGeometry(28, 194, 400, 22);
    ckShutUPS = boundCheck(page, "ckShutUPS", QStringLiteral("关闭UPS设备"), "bShutUPS");
    ckShutUPS->setGeometry(28, 222, 400, 22);
}

void TfSettings::buildWarningPage(QWidget *page)
{
    gbMessage = named(new QGroupBox(QStringLiteral("消息内容"), page), "gbMessage");
    gbMessage->setGeometry(8, 8, 528, 152);
    struct Message
    {
        QLabel **label;
        const char *labelName;
        QString text;
        QLineEdit **edit;
        const char *editName;
        const char *column;
    };
    const Message messages[] = {
        {&Label10, "Label10", QStringLiteral("市电中断："), &DBEdit1, "DBEdit1", "sACOff"},
        {&Label11, "Label11", QStringLiteral("市电恢复："), &DBEdit2, "DBEdit2", "sACOn"},
        {&Label12, "Label12", QStringLiteral("电池电量低："), &DBEdit3, "DBEdit3", "sBatDown"},
        {&Label13, "Label13", QStringLiteral("电池电量恢复："), &DBEdit4, "DBEdit4", "sBatUp"},
    };
    int y = 26;
    for (const Message &m : messages) {
        *m.label = label(gbMessage, m.labelName, m.text, 12, y, 100);
        *m.edit = boundEdit(gbMessage, m.editName, m.column);
        (*m.edit)->setGeometry(112, y, 400, 22);
        y += 30;
    }

    ckWarning = boundCheck(page, "ckWarning", QStringLiteral("启动警告信息显示窗口(&P)"), "bWarning");
    ckWarning->setGeometry(12, 172, 400, 22);
    lWarn1 = label(page, "lWarn1", QStringLiteral("警告信息间隔时间(&S)："), 28, 202, 170);
    edWarnTimer = boundEdit(page, "edWarnTimer", "iWarnTimer", false);
    edWarnTimer->setGeometry(200, 202, 52, 22);
    readOnlyBox(edWarnTimer);
    udWarnTimer = named(new UpDown(page), "udWarnTimer");
    udWarnTimer->setRange(5, 60);
    udWarnTimer->setPosition(15);
    udWarnTimer->setGeometry(252, 202, 16, 22);
    lWarn1->setBuddy(udWarnTimer);
    lWarn2 = label(page, "lWarn2", QStringLiteral("秒"), 274, 202, 60);
}
