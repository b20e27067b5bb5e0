// Form translation: which components take which texts from the language file.
#include "inifiles.h"
#include "lang/applylanguage.h"
#include "lang/messages.h"
#include "lang/widgets.h"

#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include <memory>

namespace {

template <typename T, typename... A> T *make(QObject *parent, const char *name, A &&...args)
{
    T *obj = new T(std::forward<A>(args)..., qobject_cast<QWidget *>(parent));
    obj->setObjectName(QString::fromLatin1(name));
    return obj;
}

// One component of each translated kind, nested as real windows nest them,
// and a few kinds that must be left alone.
struct TestWindow
{
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>();

    TestWindow()
    {
        form->setObjectName(QStringLiteral("fTest"));
        form->setWindowTitle(QStringLiteral("测试"));
        auto *lName = make<QLabel>(form.get(), "lName", QStringLiteral("名称"));
        lName->setToolTip(QStringLiteral("名称提示"));
        make<QPushButton>(form.get(), "btOk", QStringLiteral("确定"));
        make<QCheckBox>(form.get(), "ckSound", QStringLiteral("声音"));

        auto *pmTray = make<QMenu>(form.get(), "pmTray");
        pmTray->addAction(QStringLiteral("显示(&S)"))->setObjectName(QStringLiteral("N1"));
        pmTray->addSeparator()->setObjectName(QStringLiteral("N3"));
        auto *n2 = new QAction(QStringLiteral("退出"), form.get());
        n2->setObjectName(QStringLiteral("N2"));
        pmTray->addAction(n2);
        auto *sub = make<QMenu>(pmTray, "mnSub", QStringLiteral("更多"));
        pmTray->addMenu(sub);

        auto *img = make<ImageControl>(form.get(), "imgAC");
        img->setToolTip(QStringLiteral("市电"));

        auto *pcMain = make<QTabWidget>(form.get(), "pcMain");
        auto *tsMail = new QWidget;
        tsMail->setObjectName(QStringLiteral("tsMail"));
        pcMain->addTab(tsMail, QStringLiteral("邮件"));
        // a group box that is a tab page takes the tab texts: tab pages are tried first
        auto *tsPort = new QGroupBox(QStringLiteral("框标题"));
        tsPort->setObjectName(QStringLiteral("tsPort"));
        pcMain->addTab(tsPort, QStringLiteral("端口"));
        auto *gbMail = make<QGroupBox>(tsMail, "gbMail", QStringLiteral("服务器"));
        make<QLabel>(gbMail, "lInner", QStringLiteral("主机"));
        make<QLineEdit>(gbMail, "edHost", QStringLiteral("smtp.example.com"));

        auto *grid = make<DataGrid>(form.get(), "gridLogs");
        grid->setColumnTitles({QStringLiteral("编号"), QStringLiteral("时间"), QStringLiteral("事件")});
        make<DataCheckBox>(tsMail, "dckAuto", QStringLiteral("自动"));
        auto *cbUnit = make<QComboBox>(form.get(), "cbUnit");
        cbUnit->addItems({QStringLiteral("秒"), QStringLiteral("分"), QStringLiteral("时")});

        make<QPlainTextEdit>(form.get(), "mmLog", QStringLiteral("显示行"));
        auto *cbPort = make<DataComboBox>(form.get(), "cbPort");
        cbPort->addItems({QStringLiteral("USB"), QStringLiteral("COM1")});
        make<QDateEdit>(form.get(), "dtFrom", QDate(2024, 5, 6));
        auto *tbPlain = make<QTableWidget>(form.get(), "tbPlain", 0, 1);
        tbPlain->setHorizontalHeaderItem(0, new QTableWidgetItem(QStringLiteral("列")));
        // a window owned by this one keeps its own texts
        auto *other = make<QDialog>(form.get(), "fOther");
        make<QLabel>(other, "lName", QStringLiteral("另一个"));
    }

    template <typename T> T *get(const char *name) const
    {
        T *obj = form->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(obj, nullptr) << name;
        return obj;
    }

    // Every text of every named component, keyed by its path of names.
    QMap<QString, QString> texts() const
    {
        QMap<QString, QString> t;
        t[QStringLiteral("title")] = form->windowTitle();
        for (QObject *o : form->findChildren<QObject *>()) {
            if (o->objectName().isEmpty()) continue;
            QString path = o->objectName();
            for (QObject *p = o->parent(); p && p != form.get(); p = p->parent())
                if (!p->objectName().isEmpty() && !p->objectName().startsWith(QStringLiteral("qt_")))
                    path = p->objectName() + u'/' + path;
            auto put = [&](const QString &what, const QString &v) { t[path + u'.' + what] = v; };
            if (auto *w = qobject_cast<QWidget *>(o))
                put(QStringLiteral("tip"), w->toolTip()), put(QStringLiteral("winTitle"), w->windowTitle());
            if (auto *x = qobject_cast<QLabel *>(o)) put(QStringLiteral("text"), x->text());
            if (auto *x = qobject_cast<QAbstractButton *>(o)) put(QStringLiteral("text"), x->text());
            if (auto *x = qobject_cast<QAction *>(o))
                put(QStringLiteral("text"), x->text()), put(QStringLiteral("tip"), x->toolTip());
            if (auto *x = qobject_cast<QMenu *>(o))
                put(QStringLiteral("title"), x->title()),
                    put(QStringLiteral("itemTip"), x->menuAction()->toolTip());
            if (auto *x = qobject_cast<QGroupBox *>(o)) put(QStringLiteral("title"), x->title());
            if (auto *x = qobject_cast<QLineEdit *>(o)) put(QStringLiteral("text"), x->text());
            if (auto *x = qobject_cast<QPlainTextEdit *>(o)) put(QStringLiteral("text"), x->toPlainText());
            if (auto *x = qobject_cast<QDateEdit *>(o)) put(QStringLiteral("date"), x->text());
            if (auto *x = qobject_cast<QTabWidget *>(o))
                for (int i = 0; i < x->count(); ++i)
                    put(QStringLiteral("tab%1").arg(i), x->tabText(i)),
                        put(QStringLiteral("tabTip%1").arg(i), x->tabToolTip(i));
            if (auto *x = qobject_cast<QTableWidget *>(o)) {
                put(QStringLiteral("columns"), QString::number(x->columnCount()));
                for (int i = 0; i < x->columnCount(); ++i)
                    put(QStringLiteral("col%1").arg(i), x->horizontalHeaderItem(i)
                                                            ? x->horizontalHeaderItem(i)->text()
                                                            : QStringLiteral("<none>"));
            }
            if (auto *x = qobject_cast<QComboBox *>(o)) {
                put(QStringLiteral("count"), QString::number(x->count()));
                for (int i = 0; i < x->count(); ++i)
                    put(QStringLiteral("item%1").arg(i), x->itemText(i));
            }
        }
        return t;
    }
};

// The texts that differ between two snapshots, one per line, "" when none.
std::string differences(const QMap<QString, QString> &got, const QMap<QString, QString> &want)
{
    std::string out;
    QStringList keys = got.keys() + want.keys();
    keys.removeDuplicates();
    for (const QString &k : keys)
        if (got.value(k, "<missing>") != want.value(k, "<missing>"))
            out += (k + ": got \"" + got.value(k, "<missing>") + "\", want \"" + want.value(k, "<missing>") +
                    "\"\n")
                       .toStdString();
    return out;
}

} // namespace

TEST(ApplyLanguage, TranslatesEachKindAndLeavesOthersAlone)
{
    IniFolder dir;
    const QString file = dir.write(QStringLiteral("lang.INI"), QStringLiteral(R"([fOther]
Caption=wrong window
[fTest]
Caption=Test window
lName.Caption=Name
lName.Hint=
btOk.Caption=OK
btOk.Hint=Accept
ckSound.Caption=Sound
N1.Caption=&Show
N1.Hint=Show the window
N2.Caption=Quit
N3.Caption=not a separator text
mnSub.Caption=More
imgAC.Caption=no caption for a picture
imgAC.Hint=Mains
tsMail.Caption=Mail
tsMail.Hint=Mail settings
tsPort.Caption=Port
gbMail.Caption=Server
gbMail.Hint=SMTP server
lInner.Caption=Host
gridLogs.Column.0=No.
gridLogs.Column.2=Event
gridLogs.Column.3=no fourth column
dckAuto.Caption=Auto
dckAuto.Hint=Automatic
cbUnit.Item.0=s
cbUnit.Item.2=h
cbUnit.Item.3=no fourth item
edHost.Caption=x
edHost.Hint=x
mmLog.Caption=x
cbPort.Item.0=x
dtFrom.Caption=x
dtFrom.Hint=x
pcMain.Caption=x
pcMain.Hint=x
tbPlain.Column.0=x
fOther.Caption=x
)"));
    TestWindow w;
    QMap<QString, QString> want = w.texts();
    ApplyLanguage(w.form.get(), file);

    want["title"] = "Test window";
    want["lName.text"] = "Name";
    want["lName.tip"] = ""; // an empty value empties the text
    want["btOk.text"] = "OK";
    want["btOk.tip"] = "Accept";
    want["ckSound.text"] = "Sound";
    want["pmTray/N1.text"] = "&Show";
    want["pmTray/N1.tip"] = "Show the window";
    want["N2.text"] = "Quit";
    want["N2.tip"] = "Quit"; // still follows its text
    want["pmTray/mnSub.title"] = "More";
    want["pmTray/mnSub.itemTip"] = "More"; // follows the title
    want["imgAC.tip"] = "Mains";
    want["pcMain.tab0"] = "Mail";
    want["pcMain.tabTip0"] = "Mail settings";
    want["pcMain.tab1"] = "Port";
    want["pcMain/tsMail/gbMail.title"] = "Server";
    want["pcMain/tsMail/gbMail.tip"] = "SMTP server";
    want["pcMain/tsMail/gbMail/lInner.text"] = "Host";
    want["gridLogs.col0"] = "No.";
    want["gridLogs.col2"] = "Event";
    want["pcMain/tsMail/dckAuto.text"] = "Auto";
    want["pcMain/tsMail/dckAuto.tip"] = "Automatic";
    want["cbUnit.item0"] = "s";
    want["cbUnit.item2"] = "h";
    EXPECT_EQ(differences(w.texts(), want), "");
    EXPECT_EQ(w.get<DataGrid>("gridLogs")->columnCount(), 3);
    EXPECT_EQ(w.get<QComboBox>("cbUnit")->count(), 3);
}

TEST(ApplyLanguage, NoFileOrNoSectionKeepsEveryText)
{
    IniFolder dir;
    const QString otherSection =
        dir.write(QStringLiteral("other.INI"), QStringLiteral("[fMain]\nlName.Caption=x\n"));
    for (const QString &file : {dir.path(QStringLiteral("missing.INI")), otherSection, QString()}) {
        TestWindow w;
        const auto before = w.texts();
        ApplyLanguage(w.form.get(), file);
        EXPECT_EQ(differences(w.texts(), before), "") << file.toStdString();
    }
    ApplyLanguage(nullptr, otherSection);
    ApplyLanguage(nullptr);
}

TEST(ApplyLanguage, SectionWithOnlyCaptionChangesOnlyTheTitle)
{
    IniFolder dir;
    const QString file = dir.write(QStringLiteral("l.INI"), QStringLiteral("[fTest]\nCaption=只有标题\n"));
    TestWindow w;
    auto want = w.texts();
    ApplyLanguage(w.form.get(), file);
    want["title"] = QStringLiteral("只有标题");
    EXPECT_EQ(differences(w.texts(), want), "");
}

TEST(ApplyLanguage, SectionFoundInAnyLetterCase)
{
    IniFolder dir;
    const QString file = dir.write(QStringLiteral("l.INI"),
                                   QStringLiteral("[FTEST]\r\ncaption = \"标题\"\r\nLNAME.CAPTION=名字\r\n"));
    TestWindow w;
    ApplyLanguage(w.form.get(), file);
    EXPECT_EQ(w.form->windowTitle(), QStringLiteral("标题"));
    EXPECT_EQ(w.get<QLabel>("lName")->text(), QStringLiteral("名字"));
}

TEST(ApplyLanguage, ReadsTheLoadedLanguageFileAfreshForEachWindow)
{
    IniFolder dir;
    dir.write(QStringLiteral("Kestrava.INI"), QStringLiteral("[SETTINGS]\nLANG=Test\n"));
    dir.write(QStringLiteral("languages/Test.INI"), QStringLiteral("[fTest]\nCaption=first\n"));
    LoadMessages(dir.folder());
    TestWindow first;
    ApplyLanguage(first.form.get());
    EXPECT_EQ(first.form->windowTitle(), QStringLiteral("first"));

    dir.write(QStringLiteral("languages/Test.INI"), QStringLiteral("[fTest]\nCaption=edited\n"));
    TestWindow second;
    ApplyLanguage(second.form.get());
    EXPECT_EQ(second.form->windowTitle(), QStringLiteral("edited"));
    EXPECT_EQ(first.form->windowTitle(), QStringLiteral("first"));
}
