// MessageBoxes that record each box and answer from a queue instead of waiting for a user.
#pragma once

#include "platform/message_boxes.h"

#include <QList>
#include <deque>
#include <functional>

struct CallLog;

class FakeMessageBoxes final : public MessageBoxes
{
public:
    struct Box
    {
        QWidget *owner;
        QString text;
        QString caption;
        int style;
    };

    // Each box is also logged as "MessageBox <text>" in `log`, when given.
    explicit FakeMessageBoxes(CallLog *log = nullptr) : log_(log) {}

    // Answers with the next queued answer; with none queued, a Yes/No box
    // answers No (the cautious answer) and any other box OK.
    int Show(QWidget *owner, const QString &text, const QString &caption, int style) override;

    const QList<Box> &Boxes() const { return boxes_; }
    std::deque<int> answers;
    // Runs while the box is "open", as the nested loop of a real box would
    // let timers and other events run.
    std::function<void(const Box &)> whileShown;

private:
    CallLog *log_;
    QList<Box> boxes_;
};
