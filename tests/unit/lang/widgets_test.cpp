// The picture control and the record-bound widgets.
#include "lang/widgets.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

void mouse(QWidget *w, QEvent::Type type, QPoint at)
{
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

TEST(ImageControl, DrawsThePictureTopLeftAtItsOwnSize)
{
    QImage red(4, 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    ImageControl img;
    img.setPicture(red);
    img.resize(10, 10);
    EXPECT_EQ(img.sizeHint(), QSize(4, 3));
    const QImage shot = img.grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(3, 2), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(4, 0), QColor(Qt::red)) << "not stretched";
    EXPECT_NE(shot.pixelColor(0, 3), QColor(Qt::red)) << "not stretched";
}

TEST(ImageControl, ReportsEnterLeaveAndClicksInside)
{
    ImageControl img;
    img.resize(10, 10);
    int entered = 0, left = 0, clicks = 0;
    QObject::connect(&img, &ImageControl::mouseEntered, [&] { ++entered; });
    QObject::connect(&img, &ImageControl::mouseLeft, [&] { ++left; });
    QObject::connect(&img, &ImageControl::clicked, [&] { ++clicks; });

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(&img, &enter);
    mouse(&img, QEvent::MouseButtonPress, {2, 2});
    mouse(&img, QEvent::MouseButtonRelease, {5, 5});
    EXPECT_EQ(clicks, 1);
    // released outside: no click; a release without a press: no click
    mouse(&img, QEvent::MouseButtonPress, {2, 2});
    mouse(&img, QEvent::MouseButtonRelease, {20, 2});
    mouse(&img, QEvent::MouseButtonRelease, {2, 2});
    EXPECT_EQ(clicks, 1);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&img, &leave);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(left, 1);
}

TEST(DataGrid, TitlesAreHeaderItemsAndCellsAreReadOnly)
{
    DataGrid grid;
    grid.setColumnTitles({"a", "b", "c"});
    grid.setColumnTitles({"编号", "时间"});
    EXPECT_EQ(grid.columnCount(), 2);
    EXPECT_EQ(grid.columnTitles(), QStringList({"编号", "时间"}));
    EXPECT_EQ(grid.horizontalHeaderItem(1)->text(), QStringLiteral("时间"));
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
}
