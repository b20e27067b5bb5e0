// A pair of arrow buttons holding a position in a range, beside (not bound to) a text box.
#include "dialogs/updown.h"

#include <QKeyEvent>
#include <QToolButton>

#include <algorithm>

UpDown::UpDown(QWidget *parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    setFocusPolicy(Qt::TabFocus);
    connect(up_, &QToolButton::clicked, this, &UpDown::stepUp);
    connect(down_, &QToolButton::clicked, this, &UpDown::stepDown);
}

void UpDown::setPosition(int position)
{
    position_ = std::clamp(position, min_, max_);
}

void UpDown::setRange(int minimum, int maximum)
{
    min_ = minimum;
    max_ = std::max(minimum, maximum);
    setPosition(position_);
}

void UpDown::stepUp()
{
    setPosition(position_ + 1);
    emit clicked();
}

void UpDown::stepDown()
{
    setPosition(position_ - 1);
    emit clicked();
}

void UpDown::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up) {
        stepUp();
    } else if (event->key() == Qt::Key_Down) {
        stepDown();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void UpDown::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}
