#include "record.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The ctime layout, but with the day of the month zero-padded and English
// names whatever the locale, so the file reads the same everywhere. Its 24
// characters hold the years 1000 to 9999; others are written as they are.
void format_timestamp(char* buf, std::size_t size, const std::tm& t)
{
    static const char days[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const unsigned wday = static_cast<unsigned>(t.tm_wday) % 7;
    const unsigned mon = static_cast<unsigned>(t.tm_mon) % 12;
    // The year in a wider type: tm_year + 1900 can pass an int's range.
    const long long year = t.tm_year + 1900LL;
    std::snprintf(buf, size, "%s %s %02d %02d:%02d:%02d %lld\n", days[wday], months[mon], t.tm_mday, t.tm_hour,
                  t.tm_min, t.tm_sec, year);
}

} // namespace

// Any record fits, but for the function's name: a, b and the result can
// each have 309 integer digits.
constexpr std::size_t room = 2048;

std::string format_record(const RunRecord& r, const std::tm& local)
{
    char stamp[64];
    format_timestamp(stamp, sizeof stamp, local);
    std::vector<char> buf(room + r.function.size());
    const int len = std::snprintf(buf.data(), buf.size(),
                                  "\n %s Trvanie: %.4f sek.\n Funkcia: %s, a = %.2f, b= %.2f, n= %d \n"
                                  " Pouzita metoda: %s, Vysledok aproximacie= %.15f\n",
                                  stamp, r.duration, r.function.c_str(), r.x0, r.xn, r.n,
                                  rule_entry(r.rule).record_name, r.result);
    if (len < 0)
        return "";
    return std::string(buf.data(), std::min(static_cast<std::size_t>(len), buf.size() - 1));
}
