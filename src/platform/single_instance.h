// The single-instance lock and the "show yourself" request other processes send to the holder.
#pragma once

#include <QObject>

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~SingleInstance() override = default;

    // True when this process now holds the lock (or the lock cannot be
    // created at all, which must not stop the program); false when another
    // running instance holds it.
    virtual bool TryAcquire() = 0;

signals:
    // Another process asked the running instance to show its main window.
    void showRequested();
};
