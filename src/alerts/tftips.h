// The warning window: an always-on-top pop-up with the alert text, its two looks and its hide/re-show timers.
#pragma once

#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QWidget>

class ImageControl;

// A label that acts as a button. It stays a QLabel so form translation reads
// its caption and hint as a label's.
class LabelButton : public QLabel
{
    Q_OBJECT
public:
    explicit LabelButton(QWidget *parent = nullptr);

signals:
    // A left-button press and release both inside the label.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool pressed_ = false;
};

// Created hidden, in the plain look. Whoever owns the shutdown countdown
// switches the looks and writes the countdown text; the window itself only
// knows how to show, hide and come back.
class TfTips : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 320;
    static constexpr int kClientHeight = 122;
    static constexpr int kMinHideMs = 5000;

    // plainFace and countdownFace are the two 320 x 122 backgrounds.
    TfTips(const QImage &plainFace, const QImage &countdownFace, QWidget *parent = nullptr);

    // The window part of raising an alert: timer intervals from
    // warnSeconds, the plain look with text, re-show off, auto-hide only when
    // asked, then shown (or brought to the front) and ReshowAlert := repeat.
    void ShowAlertWindow(const QString &text, int warnSeconds, bool repeat, bool autoHide);

    // The plain look: one OK plate, no countdown text.
    void SetPlainLook();
    // The countdown look, set only while the cancel label is hidden; the
    // window is not shown by this.
    void SetCountdownLookIfPlain();
    void SetCountdownText(const QString &text);

    // Hide and re-show timers off, window hidden (the stop of a cancel).
    void StopTimersAndHide();

    // Whether hiding the window (OK or auto-hide) arms the re-show.
    bool ReshowAlert() const { return reshowAlert_; }
    void SetReshowAlert(bool on) { reshowAlert_ = on; }

    // Handlers, public so the owner and tests can drive them.
    void FormActivate();
    void btCloseClick();
    void tmShowTimer();
    void tmHideTimer();

    ImageControl *imgFace;
    QLabel *mShow;
    QLabel *LED;
    LabelButton *btCancel;
    LabelButton *btClose;
    QTimer tmShow;
    QTimer tmHide;

signals:
    // A click on the cancel label; the countdown's owner stops it.
    void cancelClicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    void FormCreate();
    // Enabling a running timer keeps its phase, as with the re-show timer
    // that an OK must not push back.
    static void Enable(QTimer &timer);
    static void SetIntervalKeepingPhase(QTimer &timer, int ms);
    void HideAndMaybeReshow();

    QImage plainFace_;
    QImage countdownFace_;
    bool reshowAlert_ = false;
};
