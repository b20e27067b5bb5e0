// Test helper: INI files written as GB2312 bytes into a temporary folder.
#pragma once

#include "lang/gb2312.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class IniFolder
{
public:
    QString path(const QString &name) const { return dir_.path() + u'/' + name; }
    QString folder() const { return dir_.path() + u'/'; }

    QString writeBytes(const QString &name, const QByteArray &bytes) const
    {
        const QString p = path(name);
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << p.toStdString();
        f.write(bytes);
        return p;
    }

    QString write(const QString &name, const QString &text) const
    {
        return writeBytes(name, gb::encode(text));
    }

    QByteArray read(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir dir_;
};
