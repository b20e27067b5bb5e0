// CVDate: date-time texts of the program read back into the event log's sortable form.
#include "store/cvdate.h"

#include <sqlite3.h>

#include <cstdio>

namespace {

// Longer than any accepted form with generous blanks: anything beyond is
// garbage and is refused without being looked at further.
constexpr std::size_t kMaxLength = 64;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads minDigits..maxDigits digits at pos.
bool readNumber(std::string_view text, std::size_t &pos, int minDigits, int maxDigits, int &out)
{
    int digits = 0;
    int value = 0;
    while (pos < text.size() && isDigit(text[pos]) && digits < maxDigits) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    if (digits < minDigits) return false;
    if (pos < text.size() && isDigit(text[pos])) return false; // too many digits
    out = value;
    return true;
}

bool expect(std::string_view text, std::size_t &pos, char c)
{
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return days[month - 1];
}

void cvdateFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    if (!text || size < 0) {
        sqlite3_result_null(context);
        return;
    }
    const auto normal = NormaliseDateTime(std::string_view(text, std::size_t(size)));
    if (!normal) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_text(context, normal->c_str(), int(normal->size()), SQLITE_TRANSIENT);
}

} // namespace

std::optional<std::string> NormaliseDateTime(std::string_view text)
{
    if (text.size() > kMaxLength) return std::nullopt;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);

    std::size_t pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!readNumber(text, pos, 4, 4, year) || !expect(text, pos, '-') ||
        !readNumber(text, pos, 1, 2, month) || !expect(text, pos, '-') || !readNumber(text, pos, 1, 2, day))
        return std::nullopt;
    if (pos < text.size()) {
        if (text[pos] != ' ') return std::nullopt;
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        if (!readNumber(text, pos, 1, 2, hour) || !expect(text, pos, ':') ||
            !readNumber(text, pos, 2, 2, minute))
            return std::nullopt;
        if (pos < text.size() && (!expect(text, pos, ':') || !readNumber(text, pos, 2, 2, second)))
            return std::nullopt;
        if (pos != text.size()) return std::nullopt;
    }
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;

    // sized for any int, so the compiler can see no field is ever cut
    char out[80];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return std::string(out);
}

bool RegisterCVDate(sqlite3 *db)
{
    return sqlite3_create_function_v2(db, "CVDate", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      cvdateFunction, nullptr, nullptr, nullptr) == SQLITE_OK;
}
