// The shutdown-files viewer opened by the import as the main window opens it: modal, once, with the new rows.
#include "dialogs_fixture.h"

#include "dialogs/tfclosefiles.h"
#include "lang/gb2312.h"
#include "lang/widgets.h"
#include "store/shutdownfiles.h"

#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace {

class CloseFilesTest : public DialogsTest
{
protected:
    // The main window's opener: created on first use, shown modally unless already visible.
    void openViewer()
    {
        ++opened;
        if (!viewer) viewer = std::make_unique<TfCloseFiles>(nullptr, db.tCloseFiles);
        if (viewer->isVisible()) return;
        viewer->exec();
    }

    QStringList shownRows() const
    {
        QStringList rows;
        for (int r = 0; r < viewer->DBGrid1->rowCount(); ++r)
            rows << viewer->DBGrid1->item(r, 0)->text() + u'|' + viewer->DBGrid1->item(r, 1)->text();
        return rows;
    }

    std::unique_ptr<TfCloseFiles> viewer;
    int opened = 0;
};

} // namespace

TEST_F(CloseFilesTest, TheImportShowsTheNewListInTheViewerWhileTheClockTicksOn)
{
    QFile record(ShutdownRecordPath(folder));
    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
    record.write(
        gb::encode(QStringLiteral("[Main]\nShowMsg=1\nAppNumber=2\nApp0=W\nApp1=X\n"
                                  "[W]\nTitle=文字处理\nFileNumber=2\nFile0=报告.doc\nFile1=b.doc\n[X]\n")));
    record.close();
    ShutdownFilesImport import(ShutdownRecordPath(folder), db.tCloseFiles, [this] { openViewer(); });

    // Ticks of the main window's clock while the viewer is open; the user then presses OK.
    QStringList seen;
    int ticks = 0;
    QTimer clockTick;
    clockTick.setInterval(10);
    QObject::connect(&clockTick, &QTimer::timeout, [&] {
        import.ImportShutdownFiles();
        if (++ticks == 3 && viewer) {
            seen = shownRows();
            viewer->Button1->click();
        }
    });
    clockTick.start();
    import.ImportShutdownFiles();
    clockTick.stop();

    EXPECT_EQ(opened, 1);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(seen, QStringList({QStringLiteral("文字处理|报告.doc"), QStringLiteral("文字处理|b.doc"),
                                 QStringLiteral("X|")}));
    EXPECT_EQ(viewer->result(), QDialog::Accepted);
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("关机文件"));
    EXPECT_EQ(viewer->DBGrid1->columnTitles(),
              QStringList({QStringLiteral("应用程序标题"), QStringLiteral("自动保存文档名称")}));

    // Opened later from the main window, it shows the table as last imported.
    QTimer::singleShot(0, viewer.get(), [this] { viewer->Button1->click(); });
    openViewer();
    EXPECT_EQ(shownRows().size(), 3);
}
