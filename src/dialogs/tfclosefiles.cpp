// The shutdown-files viewer: the documents saved automatically at the last forced shutdown.
#include "dialogs/tfclosefiles.h"

#include "dialogs/dialogstyle.h"
#include "lang/applylanguage.h"
#include "lang/widgets.h"
#include "store/recordset.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

TfCloseFiles::TfCloseFiles(QWidget *parent, RecordSet &tCloseFiles)
    : QDialog(parent), tCloseFiles_(tCloseFiles)
{
    setObjectName(QStringLiteral("fCloseFiles"));
    setWindowTitle(QStringLiteral("关机文件"));
    SetUpFixedDialog(this, 520, 360);

    Label1 = new QLabel(QStringLiteral("上次强制关机自动保存文件列表(&A)："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(10, 8, 500, 22);
    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setColumnTitles({QStringLiteral("应用程序标题"), QStringLiteral("自动保存文档名称")});
    DBGrid1->setGeometry(10, 32, 500, 284);
    DBGrid1->setColumnWidth(0, 200);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->verticalHeader()->setVisible(false);
    DBGrid1->verticalHeader()->setDefaultSectionSize(22);
    Label1->setBuddy(DBGrid1);
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(430, 324, 80, 26);
    Button1->setDefault(true);

    ApplyLanguage(this);

    connect(Button1, &QPushButton::clicked, this, &TfCloseFiles::Button1Click);
}

TfCloseFiles::~TfCloseFiles() = default;

void TfCloseFiles::Button1Click()
{
    accept();
}

void TfCloseFiles::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CentreOnDesktop(this);
    fillGrid();
}

void TfCloseFiles::fillGrid()
{
    DBGrid1->setRowCount(0);
    if (!tCloseFiles_.isOpen()) return;
    // Read afresh: the import may have refilled the table since the last showing.
    tCloseFiles_.requery();
    int row = 0;
    for (tCloseFiles_.first(); !tCloseFiles_.eof(); tCloseFiles_.next(), ++row) {
        DBGrid1->setRowCount(row + 1);
        DBGrid1->setItem(row, 0, new QTableWidgetItem(tCloseFiles_.asString(QStringLiteral("pathfilename"))));
        DBGrid1->setItem(row, 1, new QTableWidgetItem(tCloseFiles_.asString(QStringLiteral("filename"))));
    }
    tCloseFiles_.first();
}
