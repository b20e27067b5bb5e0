// A settings row held in a map, with the defaults of a new installation.
#pragma once

#include "store/settingsrow.h"

#include <QMap>
#include <QString>
#include <QVariant>

class FakeSettingsRow : public SettingsRow
{
public:
    FakeSettingsRow();
    bool GetBool(const char *column) const override { return value(column).toBool(); }
    int GetInt(const char *column) const override { return value(column).toInt(); }
    QString GetText(const char *column) const override { return value(column).toString(); }

    void Set(const char *column, const QVariant &v) { values[QString::fromLatin1(column)] = v; }
    QMap<QString, QVariant> values;

private:
    QVariant value(const char *column) const;
};
