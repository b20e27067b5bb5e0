// CVDate: arbitrary texts through NormaliseDateTime and through the SQL function on a connection.
#include "fuzz_check.h"
#include "store/cvdate.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

namespace {

sqlite3 *connection()
{
    static sqlite3 *db = [] {
        sqlite3 *d = nullptr;
        FUZZ_CHECK(sqlite3_open(":memory:", &d) == SQLITE_OK);
        FUZZ_CHECK(RegisterCVDate(d));
        return d;
    }();
    return db;
}

// One text through "SELECT CVDate(?1), datetime(CVDate(?1))"; null columns give "".
std::pair<std::optional<std::string>, std::optional<std::string>> viaSql(std::string_view text)
{
    static sqlite3_stmt *stmt = [] {
        sqlite3_stmt *s = nullptr;
        FUZZ_CHECK(sqlite3_prepare_v2(connection(), "SELECT CVDate(?1), datetime(CVDate(?1))", -1, &s,
                                      nullptr) == SQLITE_OK);
        return s;
    }();
    sqlite3_reset(stmt);
    FUZZ_CHECK(sqlite3_bind_text(stmt, 1, text.data(), int(text.size()), SQLITE_TRANSIENT) == SQLITE_OK);
    FUZZ_CHECK(sqlite3_step(stmt) == SQLITE_ROW);
    auto column = [](int i) -> std::optional<std::string> {
        if (sqlite3_column_type(stmt, i) == SQLITE_NULL) return std::nullopt;
        return std::string(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                           std::size_t(sqlite3_column_bytes(stmt, i)));
    };
    auto result = std::make_pair(column(0), column(1));
    sqlite3_reset(stmt);
    return result;
}

bool digitsAt(const std::string &s, std::size_t pos, std::size_t n)
{
    for (std::size_t i = pos; i < pos + n; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::optional<std::string> normal = NormaliseDateTime(text);
    if (normal) {
        const std::string &n = *normal;
        // the stored form, and nothing else
        FUZZ_CHECK(n.size() == 19);
        FUZZ_CHECK(digitsAt(n, 0, 4) && n[4] == '-' && digitsAt(n, 5, 2) && n[7] == '-' &&
                   digitsAt(n, 8, 2) && n[10] == ' ' && digitsAt(n, 11, 2) && n[13] == ':' &&
                   digitsAt(n, 14, 2) && n[16] == ':' && digitsAt(n, 17, 2));
        FUZZ_CHECK(NormaliseDateTime(n) == normal);
    }
    const auto [cv, sqliteView] = viaSql(text);
    FUZZ_CHECK(cv == normal);
    // SQLite's own calendar agrees that the date exists: it would move an
    // impossible day (2009-02-29) on to the next month
    if (normal) FUZZ_CHECK(sqliteView == normal);
    return 0;
}
