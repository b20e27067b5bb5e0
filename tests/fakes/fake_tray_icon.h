// A TrayIcon that records add and remove calls and lets tests click it.
#pragma once

#include "platform/tray_icon.h"

#include <QList>

struct CallLog;

class FakeTrayIcon final : public TrayIcon
{
public:
    struct Call
    {
        enum Kind { Add, Remove } kind;
        qint64 iconKey; // QIcon::cacheKey() of the icon passed to Add, 0 for Remove
        QString tip;
        bool changed; // false for an Add while shown: it had no effect
    };

    // Each call is also logged as "TrayAdd" or "TrayRemove" in `log`, when given.
    explicit FakeTrayIcon(CallLog *log = nullptr) : log_(log) {}

    void Add(const QIcon &icon, const QString &tip) override;
    void Remove() override;
    bool IsShown() const override { return shown_; }

    const QList<Call> &Calls() const { return calls_; }
    // What the tray shows now (meaningful while shown).
    qint64 IconKey() const { return iconKey_; }
    QString Tip() const { return tip_; }

    // The mouse actions, delivered as QtTrayIcon delivers them.
    void Click() { emit leftButtonDown(); }
    void DoubleClick();
    void RightClick(QPoint globalPos) { emit rightButtonDown(globalPos); }

private:
    CallLog *log_;
    QList<Call> calls_;
    bool shown_ = false;
    qint64 iconKey_ = 0;
    QString tip_;
};
