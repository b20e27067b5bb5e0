// Modal message boxes with the style and answer codes the program's logic is written in.
#pragma once

#include <QString>

class QWidget;

namespace mb {
// Style: the low four bits choose the buttons, the next four the icon.
constexpr int kOk = 0x00;
constexpr int kOkCancel = 0x01;
constexpr int kYesNoCancel = 0x03;
constexpr int kYesNo = 0x04;
constexpr int kIconError = 0x10;
constexpr int kIconQuestion = 0x20;
constexpr int kIconWarning = 0x30;
constexpr int kIconInformation = 0x40;
// Answers.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
} // namespace mb

class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box (owned by `owner`, or by nobody when it is null) and
    // returns the answer as one of the mb::kId values.
    virtual int Show(QWidget *owner, const QString &text, const QString &caption, int style) = 0;
};
