// MessageBoxes that record each box and answer from a queue instead of waiting for a user.
#include "fakes/fake_message_boxes.h"

#include "fakes/call_log.h"

int FakeMessageBoxes::Show(QWidget *owner, const QString &text, const QString &caption, int style)
{
    boxes_.append({owner, text, caption, style});
    if (log_) log_->Add(QStringLiteral("MessageBox ") + text);
    if (whileShown) whileShown(boxes_.last());
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    const int buttons = style & 0x0F;
    return buttons == mb::kYesNo || buttons == mb::kYesNoCancel ? mb::kIdNo : mb::kIdOk;
}
