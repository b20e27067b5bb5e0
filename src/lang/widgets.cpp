// Picture control and record-bound widgets of the program's windows.
#include "lang/widgets.h"

#include <QMouseEvent>
#include <QPainter>

ImageControl::ImageControl(QWidget *parent) : QWidget(parent) {}

void ImageControl::setPicture(const QImage &picture)
{
    picture_ = picture;
    updateGeometry();
    update();
}

QSize ImageControl::sizeHint() const
{
    return picture_.isNull() ? QSize(0, 0) : picture_.size();
}

void ImageControl::paintEvent(QPaintEvent *)
{
    if (picture_.isNull()) return;
    QPainter p(this);
    p.drawImage(QPoint(0, 0), picture_);
}

void ImageControl::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    emit mouseEntered();
}

void ImageControl::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    emit mouseLeft();
}

void ImageControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) pressed_ = true;
    QWidget::mousePressEvent(event);
}

void ImageControl::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) pressed_ = false;
    QWidget::mouseReleaseEvent(event);
    if (click) emit clicked();
}

DataGrid::DataGrid(QWidget *parent) : QTableWidget(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void DataGrid::setColumnTitles(const QStringList &titles)
{
    setColumnCount(static_cast<int>(titles.size()));
    for (int i = 0; i < columnCount(); ++i)
        setHorizontalHeaderItem(i, new QTableWidgetItem(titles.at(i)));
}

QStringList DataGrid::columnTitles() const
{
    QStringList titles;
    for (int i = 0; i < columnCount(); ++i) {
        const QTableWidgetItem *item = horizontalHeaderItem(i);
        titles << (item ? item->text() : QString());
    }
    return titles;
}
