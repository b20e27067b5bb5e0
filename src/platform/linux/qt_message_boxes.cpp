// Message boxes as QMessageBox, with the style bits mapped to Qt's buttons and icons.
#include "platform/linux/qt_message_boxes.h"

#include <QMessageBox>

namespace {

constexpr int kButtonMask = 0x0F;
constexpr int kIconMask = 0xF0;

QMessageBox::Icon IconFor(int style)
{
    switch (style & kIconMask) {
    case mb::kIconError:
        return QMessageBox::Critical;
    case mb::kIconQuestion:
        return QMessageBox::Question;
    case mb::kIconWarning:
        return QMessageBox::Warning;
    case mb::kIconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

struct ButtonSet
{
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape; // what closing the box answers
};

ButtonSet ButtonsFor(int style)
{
    switch (style & kButtonMask) {
    case mb::kOkCancel:
        return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel};
    case mb::kYesNoCancel:
        return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel};
    case mb::kYesNo:
        return {QMessageBox::Yes | QMessageBox::No, QMessageBox::No};
    default: // kOk, and any button set this program does not use
        return {QMessageBox::Ok, QMessageBox::Ok};
    }
}

int AnswerFor(QMessageBox::StandardButton button, QMessageBox::StandardButton escape)
{
    switch (button) {
    case QMessageBox::Ok:
        return mb::kIdOk;
    case QMessageBox::Cancel:
        return mb::kIdCancel;
    case QMessageBox::Yes:
        return mb::kIdYes;
    case QMessageBox::No:
        return mb::kIdNo;
    default: // closed without a button: the same as the escape button
        return escape == QMessageBox::NoButton ? mb::kIdOk : AnswerFor(escape, QMessageBox::NoButton);
    }
}

void Configure(QMessageBox &box, const QString &text, const QString &caption, int style)
{
    const ButtonSet set = ButtonsFor(style);
    box.setIcon(IconFor(style));
    box.setWindowTitle(caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText); // texts come from language files: never markup
    box.setStandardButtons(set.buttons);
    box.setEscapeButton(set.escape);
    box.setDefaultButton(set.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok);
}

} // namespace

int QtMessageBoxes::Show(QWidget *owner, const QString &text, const QString &caption, int style)
{
    QMessageBox box(owner);
    Configure(box, text, caption, style);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    return AnswerFor(clicked, ButtonsFor(style).escape);
}
