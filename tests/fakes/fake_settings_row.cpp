// Defaults of the fake settings row; an unknown column is a test error.
#include "fake_settings_row.h"

#include <gtest/gtest.h>

FakeSettingsRow::FakeSettingsRow()
{
    values = {
        {"bSysNoClose", true},   {"bSysNoTB", false},      {"bSysStayOnTop", false},
        {"sCOM", "USB"},         {"shidDevName", "UPS"},   {"bEMAIL", false},
        {"sSenderName", ""},     {"sSenderEmail", ""},     {"sSenderServer", ""},
        {"sSenderCount", ""},    {"sSenderPassword", ""},  {"bSSL", false},
        {"bShutWinOS", true},    {"bAutoSave", false},     {"bExecuteApp", false},
        {"sExecuteApp", ""},     {"bShutUPS", false},      {"iACTimer", 10},
        {"iBatTimer", 30},       {"iAppTimer", 2},         {"bWarning", true},
        {"iWarnTimer", 30},      {"sACOff", "市电断电"},   {"sACOn", "市电恢复"},
        {"sBatDown", "电池电压低"}, {"sBatUp", "电池电压恢复"},
    };
}

QVariant FakeSettingsRow::value(const char *column) const
{
    auto it = values.find(QString::fromLatin1(column));
    if (it == values.end()) {
        ADD_FAILURE() << "settings column not in the row: " << column;
        return {};
    }
    return it.value();
}
