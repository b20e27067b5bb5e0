// Message boxes as QMessageBox, with the style bits mapped to Qt's buttons and icons.
#pragma once

#include "platform/message_boxes.h"

class QtMessageBoxes final : public MessageBoxes
{
public:
    int Show(QWidget *owner, const QString &text, const QString &caption, int style) override;
};
