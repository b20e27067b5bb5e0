// The single settings row, read column by column at the moment of use.
#pragma once

#include <QString>

// Readers never keep copies: every call reads the current row (while the
// settings dialog edits it, the edited values).
class SettingsRow
{
public:
    virtual ~SettingsRow() = default;
    virtual bool GetBool(const char *column) const = 0;
    virtual int GetInt(const char *column) const = 0;
    virtual QString GetText(const char *column) const = 0;
};
