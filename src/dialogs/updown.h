// A pair of arrow buttons holding a position in a range, beside (not bound to) a text box.
#pragma once

#include <QWidget>

class QToolButton;

// The arrows change the position by one inside the range and then emit
// clicked(); setting the position from code emits nothing. The box beside it
// is kept in step by whoever owns both.
class UpDown : public QWidget
{
    Q_OBJECT
public:
    explicit UpDown(QWidget *parent = nullptr);

    int position() const { return position_; }
    // Clamped into the range.
    void setPosition(int position);
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void setRange(int minimum, int maximum);

    // What a press on the upper or the lower arrow does.
    void stepUp();
    void stepDown();

signals:
    void clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QToolButton *up_;
    QToolButton *down_;
    int position_ = 0;
    int min_ = 0;
    int max_ = 100;
};
