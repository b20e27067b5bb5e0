// ProgramFolder names the folder of the running executable, with the separator at its end.
#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

TEST(ProgramFolder, IsTheExecutablesFolderEndingInASlash)
{
    // argv[0] as started, resolved on its own, independent of /proc.
    const QString expected = QFileInfo(QCoreApplication::arguments().at(0)).canonicalPath() + '/';
    EXPECT_EQ(ProgramFolder(), expected);
    EXPECT_TRUE(
        QFileInfo::exists(ProgramFolder() + QFileInfo(QCoreApplication::arguments().at(0)).fileName()));
}
