// The warning window: controls, the two looks, placement and the hide/re-show timers.
#include "alerts/tftips.h"

#include "lang/applylanguage.h"
#include "lang/widgets.h"

#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>

namespace {

// The Windows faces of the design are not on Linux; this one has the
// Simplified Chinese glyph shapes (the default fallback picks Japanese ones).
const QString kFontFamily = QStringLiteral("Noto Sans CJK SC");

constexpr int kTextLeft = 76;
constexpr int kTextTopPlain = 30;
constexpr int kTextTopCountdown = 22;
constexpr int kLedTop = 54;
constexpr int kButtonTop = 88;
constexpr int kCancelLeft = 75;
constexpr int kClosePlainLeft = 112;
constexpr int kCloseCountdownLeft = 188;
constexpr int kButtonWidth = 95;
constexpr int kButtonHeight = 18;

QFont LabelFont(int pixelSize)
{
    QFont font(kFontFamily);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

void SetTextColour(QWidget *w, const QColor &colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

QLabel *MakeTextLabel(QWidget *parent, const char *name, const QString &text, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(LabelFont(20));
    SetTextColour(label, Qt::white);
    label->move(kTextLeft, top);
    label->adjustSize();
    return label;
}

LabelButton *MakeButton(QWidget *parent, const char *name, const QString &text, int left)
{
    auto *button = new LabelButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setFont(LabelFont(16));
    SetTextColour(button, QColor(0, 0, 128));
    button->setAlignment(Qt::AlignCenter);
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(left, kButtonTop, kButtonWidth, kButtonHeight);
    return button;
}

} // namespace

LabelButton::LabelButton(QWidget *parent) : QLabel(parent) {}

void LabelButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) pressed_ = true;
    QLabel::mousePressEvent(event);
}

void LabelButton::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) emit clicked();
}

TfTips::TfTips(const QImage &plainFace, const QImage &countdownFace, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      plainFace_(plainFace), countdownFace_(countdownFace)
{
    setObjectName(QStringLiteral("fTips"));
    setWindowTitle(QStringLiteral("警告窗口"));
    // Closing only hides the window, and a hidden warning must never end the
    // program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(kClientWidth, kClientHeight);
    QFont base(kFontFamily);
    base.setPixelSize(16);
    setFont(base);

    // Back to front, so each later control is drawn over the face.
    imgFace = new ImageControl(this);
    imgFace->setObjectName(QStringLiteral("imgFace"));
    imgFace->setGeometry(0, 0, kClientWidth, kClientHeight);
    imgFace->setPicture(plainFace_);
    mShow = MakeTextLabel(this, "mShow", QStringLiteral("打开串口失败"), kTextTopPlain);
    LED = MakeTextLabel(this, "LED", QStringLiteral("关机倒计时 00:00:00"), kLedTop);
    btCancel = MakeButton(this, "btCancel", QStringLiteral("撤销关机"), kCancelLeft);
    btClose = MakeButton(this, "btClose", QStringLiteral("确   定"), kClosePlainLeft);
    LED->hide();
    btCancel->hide();

    tmShow.setObjectName(QStringLiteral("tmShow"));
    tmHide.setObjectName(QStringLiteral("tmHide"));
    tmShow.setInterval(10000);
    tmHide.setInterval(10000);
    connect(&tmShow, &QTimer::timeout, this, &TfTips::tmShowTimer);
    connect(&tmHide, &QTimer::timeout, this, &TfTips::tmHideTimer);
    connect(btClose, &LabelButton::clicked, this, &TfTips::btCloseClick);
    connect(btCancel, &LabelButton::clicked, this, &TfTips::cancelClicked);

    FormCreate();
}

void TfTips::FormCreate()
{
    ApplyLanguage(this);
    // Translated captions keep the labels sized to their text.
    mShow->adjustSize();
    LED->adjustSize();
}

void TfTips::Enable(QTimer &timer)
{
    if (!timer.isActive() && timer.interval() > 0) timer.start();
}

void TfTips::SetIntervalKeepingPhase(QTimer &timer, int ms)
{
    // QTimer::setInterval restarts a running timer even for the same value.
    if (timer.interval() != ms) timer.setInterval(ms);
}

void TfTips::ShowAlertWindow(const QString &text, int warnSeconds, bool repeat, bool autoHide)
{
    const int showMs = warnSeconds * 1000;
    SetIntervalKeepingPhase(tmShow, showMs);
    SetIntervalKeepingPhase(tmHide, std::max(showMs / 2, kMinHideMs));
    mShow->setText(text);
    mShow->adjustSize();
    SetPlainLook();
    tmShow.stop();
    if (autoHide)
        Enable(tmHide);
    else
        tmHide.stop();
    if (isVisible()) {
        raise();
        activateWindow();
    } else {
        show();
    }
    reshowAlert_ = repeat;
}

void TfTips::SetPlainLook()
{
    btCancel->hide();
    btClose->move(kClosePlainLeft, kButtonTop);
    mShow->move(kTextLeft, kTextTopPlain);
    imgFace->setPicture(plainFace_);
    LED->hide();
}

void TfTips::SetCountdownLookIfPlain()
{
    // isHidden, not isVisible: the look changes while the window is hidden too.
    if (!btCancel->isHidden()) return;
    btCancel->show();
    LED->show();
    imgFace->setPicture(countdownFace_);
    mShow->move(kTextLeft, kTextTopCountdown);
    btClose->move(kCloseCountdownLeft, kButtonTop);
}

void TfTips::SetCountdownText(const QString &text)
{
    LED->setText(text);
    LED->adjustSize();
}

void TfTips::StopTimersAndHide()
{
    tmHide.stop();
    tmShow.stop();
    hide();
}

void TfTips::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TfTips::FormActivate()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.left() + area.width() - outer.width() - 2, area.top() + area.height() - outer.height() - 2);
}

void TfTips::HideAndMaybeReshow()
{
    hide();
    if (reshowAlert_)
        Enable(tmShow);
    else
        tmShow.stop();
}

void TfTips::btCloseClick()
{
    HideAndMaybeReshow();
}

void TfTips::tmHideTimer()
{
    tmHide.stop();
    HideAndMaybeReshow();
}

void TfTips::tmShowTimer()
{
    show();
    tmShow.stop();
}
