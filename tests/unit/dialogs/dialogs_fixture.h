// Test helpers of the dialogs: a program folder with a fresh default database, typing and focus events.
#pragma once

#include "fakes/call_log.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "store/appdatabase.h"
#include "store/defaultdb.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

// The default database opened as the main window opens it, and a second
// connection to see what is really stored.
class DialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QLatin1Char('/');
        WriteDefaultDatabase(DatabasePath(folder), QString());
        db.Open(folder, QStringLiteral("监控系统启动."));
        other.open(DatabasePath(folder), QString::fromLatin1(kDatabasePassword));
    }

    // A column of the settings row as stored on disk.
    QVariant stored(const char *column)
    {
        Statement s = other.prepare(QStringLiteral("SELECT %1 FROM Settings").arg(QLatin1String(column)));
        EXPECT_TRUE(s.step());
        return s.value(0);
    }

    // Changes the stored row behind the record set's back, before a dialog reads it.
    void store(const char *column, const QVariant &value)
    {
        Statement s = other.prepare(QStringLiteral("UPDATE Settings SET %1=?1").arg(QLatin1String(column)));
        s.bind(1, value);
        s.step();
    }

    void logAt(const QString &time, const QString &event)
    {
        Statement s = other.prepare(QStringLiteral("INSERT INTO LOGFILES(ETIME, EVENT) VALUES(?1, ?2)"));
        s.bind(1, time);
        s.bind(2, event);
        s.step();
    }

    QTemporaryDir dir;
    QString folder;
    AppDatabase db;
    Database other;
    CallLog log;
    FakeMessageBoxes boxes{&log};
    FakeClock clock{QDateTime(QDate(2024, 3, 5), QTime(14, 30, 0))};
};

// Shows a window and makes it the active one, as a click on it would.
inline void Activate(QWidget *window)
{
    window->show();
    window->activateWindow();
    QApplication::processEvents();
}

// Replaces a box's text as the user would by typing (one edit: the whole text at once).
inline void Type(QLineEdit *box, const QString &text)
{
    box->selectAll();
    if (text.isEmpty()) {
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(box, &del);
        return;
    }
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(box, &key);
}

inline void Leave(QWidget *box)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
}

inline void PressKey(QWidget *target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
}
