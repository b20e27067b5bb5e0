// TfMain: the start of monitoring, the display settings, the one-second clock, the quit question and the
// shutdown host.
#include "app/tfmain.h"

#include "alerts/alerts.h"
#include "lang/messages.h"
#include "platform/clock.h"
#include "platform/message_boxes.h"
#include "platform/tray_icon.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

namespace {

// The locale's long time format without its time-zone part, which neither
// fits the clock face nor says anything to someone looking at their own clock.
QString LongTimeText(const QTime &time)
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    return QLocale::system().toString(time, format);
}

} // namespace

void TfMain::StartMonitor()
{
    if (db.isOpen()) db.Close();
    try {
        // connection, the four tables in their order, and the start line
        db.Open(deps_.programFolder);
    } catch (const std::exception &) {
        // Fixed text, not the catalogue's: the user learns the one thing that
        // matters even when the language files are broken too.
        deps_.boxes.Show(nullptr, QStringLiteral("Read application data file failed!"), kProductName,
                         mb::kIconError);
        startFailed_ = true;
        return;
    }
    ApplyDisplaySettings();
    LoadArtwork();
    if (!parts_ && deps_.makeMonitor) parts_ = deps_.makeMonitor(*this);
    if (!parts_) parts_ = std::make_unique<MonitorParts>();
    tmSec.start();
    parts_->SetStartStates();
    parts_->SelectLink();
}

void TfMain::ApplyDisplaySettings()
{
    // Once taken away, the taskbar entry stays away until the next start.
    if (db.GetBool("bSysNoTB")) SetWindowFlagKeepingVisibility(Qt::Tool, true);
    SetStayOnTop(db.GetBool("bSysStayOnTop"));

    const MessageCatalogue &msg = Msg();
    QString features = msg.msgVCT1;
    if (db.GetBool("bWarning")) features += msg.msgVCT2;
    if (db.GetBool("bEMAIL")) features += msg.msgVCT3;
    if (db.GetBool("bShutWinOS")) features += msg.msgVCT4;
    SetDisplayLine(DisplayLine::Features, features);
}

void TfMain::SelectLink()
{
    if (parts_) parts_->SelectLink();
}

void TfMain::SetStayOnTop(bool on)
{
    SetWindowFlagKeepingVisibility(Qt::WindowStaysOnTopHint, on);
}

void TfMain::SetWindowFlagKeepingVisibility(Qt::WindowType flag, bool on)
{
    if (windowFlags().testFlag(flag) == on) return;
    // Changing the flags of a shown window hides it.
    const bool visible = isVisible();
    setWindowFlag(flag, on);
    if (visible) show();
}

void TfMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    if (!centred_) {
        centred_ = true;
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    Guarded([this] { FormShow(); });
}

void TfMain::FormShow()
{
    if (!db.isOpen() || !db.GetBool("bSysStayOnTop")) return;
    // The flags cannot change inside the show that is running; the window
    // comes back on top right after it.
    if (!windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        QTimer::singleShot(0, this, [this] { SetStayOnTop(true); });
    else
        raise();
}

void TfMain::tmSecTimer()
{
    AddIconToTray();

    Alerts *alerts = parts_ ? parts_->AlertsPart() : nullptr;
    QPalette palette = lDigClk->palette();
    if (alerts && alerts->CountdownRunning()) {
        // the countdown writes the remaining time here itself
        palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    } else {
        lDigClk->setText(LongTimeText(deps_.clock.Now().time()));
        palette.setColor(QPalette::WindowText, QColor(0, 128, 0));
    }
    lDigClk->setPalette(palette);

    if (clockOnceMarker_ == 0) {
        // A nested tick (the import's viewer runs a loop of its own) enters the
        // import again while the marker is still 0; the import expects that.
        // A failing import is reported once, not on every tick after it.
        try {
            if (deps_.importShutdownFiles) deps_.importShutdownFiles(*this);
        } catch (const std::exception &error) {
            clockOnceMarker_ = 1;
            ReportError(error);
        }
        clockOnceMarker_ = 1;
    }

    if (pendingShow_) {
        pendingShow_ = false;
        show();
    }
}

void TfMain::Quit()
{
    // No tick may put the icon back while the question is open.
    tmSec.stop();
    deps_.tray.Remove();
    hide();
    const QString question = FormatPattern(Msg().msgConfirmQuit, {kProductName});
    const int answer = deps_.boxes.Show(this, question, kProductName, mb::kYesNo | mb::kIconQuestion);
    if (answer != mb::kIdYes) {
        tmSec.start();
        return;
    }
    try {
        db.LogEvent(Msg().msgMonQuit);
    } catch (const std::exception &error) {
        // The user asked to quit: a lost last line is told, not a reason to
        // stay on without a window, a clock or a tray icon.
        ReportError(error);
    }
    if (deps_.endProgram)
        deps_.endProgram();
    else
        QCoreApplication::exit(0);
}

void TfMain::SetClockText(const QString &text)
{
    lDigClk->setText(text);
}

void TfMain::HideMainWindow()
{
    hide();
}

void TfMain::StopClockAndRemoveTray()
{
    tmSec.stop();
    deps_.tray.Remove();
}

void TfMain::PowerOffUps(const QString &scope)
{
    if (parts_) parts_->PowerOffUps(scope);
}

void TfMain::ReportError(const std::exception &error)
{
    deps_.boxes.Show(this, QString::fromUtf8(error.what()), kProductName, mb::kIconError);
}

void TfMain::Guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        ReportError(error);
    }
}
