// CVDate: date-time texts of the program read back into the event log's sortable form.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" (month, day and
// hour may have one digit; blanks around are ignored) and gives
// "YYYY-MM-DD HH:MM:SS", the form ETIME is stored in. Anything else, including
// impossible dates such as 2009-02-29, gives nothing.
std::optional<std::string> NormaliseDateTime(std::string_view text);

// Registers CVDate(text) on a connection: the normalised text, or NULL.
// Returns false when SQLite refused it.
bool RegisterCVDate(sqlite3 *db);
