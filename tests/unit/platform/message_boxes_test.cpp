// QtMessageBoxes: what each style shows and what each way of closing the box answers.
#include "platform/linux/qt_message_boxes.h"
#include "wait_for.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <ostream>

#include <functional>

namespace {

struct BoxCase
{
    const char *name;
    const char *why;
    int style;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton press; // NoButton: close with Escape
    int answer;
};

// Names the case in test listings (the default prints raw bytes).
void PrintTo(const BoxCase &c, std::ostream *os)
{
    *os << c.name;
}

class QtMessageBoxesStyle : public ::testing::TestWithParam<BoxCase>
{
};

// Waits for the box to open, records what it shows, then answers it.
void AnswerWhenOpen(const std::function<void(QMessageBox &)> &answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        answer(*box);
    });
    poll->start();
}

TEST_P(QtMessageBoxesStyle, ShowsTheStyleAndMapsTheAnswer)
{
    const BoxCase c = GetParam();
    QWidget owner;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString title, text;
    QWidget *parent = nullptr;
    Qt::TextFormat format = Qt::AutoText;
    AnswerWhenOpen([&](QMessageBox &box) {
        icon = box.icon();
        buttons = box.standardButtons();
        title = box.windowTitle();
        text = box.text();
        format = box.textFormat();
        parent = box.parentWidget();
        if (c.press == QMessageBox::NoButton) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&box, &esc);
        } else {
            box.button(c.press)->click();
        }
    });

    QtMessageBoxes boxes;
    const int answer = boxes.Show(&owner, "<b>真的要退出Kestrava吗?</b>", "Kestrava", c.style);

    EXPECT_EQ(answer, c.answer) << c.why;
    EXPECT_EQ(icon, c.icon) << c.why;
    EXPECT_EQ(buttons, c.buttons) << c.why;
    EXPECT_EQ(title, "Kestrava");
    EXPECT_EQ(text, "<b>真的要退出Kestrava吗?</b>");
    EXPECT_EQ(format, Qt::PlainText) << "texts from language files must show as written";
    EXPECT_EQ(parent, &owner);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, QtMessageBoxesStyle,
    ::testing::Values(
        BoxCase{"Ok", "plain OK box", mb::kOk, QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok,
                mb::kIdOk},
        BoxCase{"ErrorEscape", "error box closed with Escape still answers OK", mb::kIconError,
                QMessageBox::Critical, QMessageBox::Ok, QMessageBox::NoButton, mb::kIdOk},
        BoxCase{"Yes", "quit question, Yes", mb::kYesNo | mb::kIconQuestion, QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, mb::kIdYes},
        BoxCase{"No", "quit question, No", mb::kYesNo | mb::kIconQuestion, QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No, mb::kIdNo},
        BoxCase{"YesNoEscape", "quit question closed with Escape is No, never Yes",
                mb::kYesNo | mb::kIconQuestion, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::NoButton, mb::kIdNo},
        BoxCase{"OkCancel", "OK/Cancel, Cancel", mb::kOkCancel | mb::kIconWarning, QMessageBox::Warning,
                QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, mb::kIdCancel}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(QtMessageBoxes, BoxWithoutOwnerHasNoParent)
{
    QWidget *parent = reinterpret_cast<QWidget *>(1);
    AnswerWhenOpen([&](QMessageBox &box) {
        parent = box.parentWidget();
        box.button(QMessageBox::Ok)->click();
    });
    QtMessageBoxes boxes;
    EXPECT_EQ(boxes.Show(nullptr, "程序已在运行中!", "Kestrava", mb::kIconError), mb::kIdOk);
    EXPECT_EQ(parent, nullptr);
}

} // namespace
