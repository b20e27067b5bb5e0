// A TrayIcon that records add and remove calls and lets tests click it.
#include "fakes/fake_tray_icon.h"

#include "fakes/call_log.h"

void FakeTrayIcon::Add(const QIcon &icon, const QString &tip)
{
    const bool changed = !shown_;
    calls_.append({Call::Add, icon.cacheKey(), tip, changed});
    if (log_) log_->Add(QStringLiteral("TrayAdd"));
    if (!changed) return;
    shown_ = true;
    iconKey_ = icon.cacheKey();
    tip_ = tip;
}

void FakeTrayIcon::Remove()
{
    calls_.append({Call::Remove, 0, QString(), shown_});
    if (log_) log_->Add(QStringLiteral("TrayRemove"));
    shown_ = false;
}

void FakeTrayIcon::DoubleClick()
{
    emit leftButtonDown();
    emit leftDoubleClick();
}
