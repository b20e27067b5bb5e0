// A main-window status view that records every line, picture, hint and tray refresh into a call log.
#pragma once

#include "call_log.h"
#include "monitor/statusview.h"

#include <QMap>
#include <QString>

inline QString stateImageName(StateImage which)
{
    switch (which) {
    case StateImage::Mains:
        return QStringLiteral("Mains");
    case StateImage::Battery:
        return QStringLiteral("Battery");
    case StateImage::Link:
        return QStringLiteral("Link");
    }
    return QStringLiteral("?");
}

// Entries: "Line5=<text>", "Image(Mains,17)", "Hint(Mains,<text>)", "Tray".
// The last value of each line, picture and hint is kept for assertions.
class FakeStatusView : public StatusView
{
public:
    explicit FakeStatusView(CallLog *log = nullptr) : log_(log) {}

    void SetDisplayLine(int line, const QString &text) override
    {
        lines[line] = text;
        add(QStringLiteral("Line%1=%2").arg(line).arg(text));
    }
    void SetStateImage(StateImage which, int index) override
    {
        images[which] = index;
        add(QStringLiteral("Image(%1,%2)").arg(stateImageName(which)).arg(index));
    }
    void SetStateHint(StateImage which, const QString &hint) override
    {
        hints[which] = hint;
        add(QStringLiteral("Hint(%1,%2)").arg(stateImageName(which), hint));
    }
    void RefreshTrayIcon() override
    {
        ++trayRefreshes;
        add(QStringLiteral("Tray"));
    }

    QMap<int, QString> lines;
    QMap<StateImage, int> images;
    QMap<StateImage, QString> hints;
    int trayRefreshes = 0;

private:
    void add(const QString &entry)
    {
        if (log_) log_->Add(entry);
    }
    CallLog *log_;
};
