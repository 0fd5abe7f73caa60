#include <gtest/gtest.h>

#include <sstream>

#include "record.h"
#include "support.h"

namespace {

// The breakdown of a timestamp as the record writes it, read with the
// test's own names.
std::tm breakdown(const std::string& when)
{
    static const std::string days = "SunMonTueWedThuFriSat";
    static const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    std::tm t{};
    char day[4] = {};
    char month[4] = {};
    std::sscanf(when.c_str(), "%3s %3s %d %d:%d:%d %d", day, month, &t.tm_mday, &t.tm_hour, &t.tm_min, &t.tm_sec,
                &t.tm_year);
    t.tm_wday = static_cast<int>(days.find(day) / 3);
    t.tm_mon = static_cast<int>(months.find(month) / 3);
    t.tm_year -= 1900;
    return t;
}

// when: the local time; run: duration label a b n rule result; record: the text
class Record : public testing::TestWithParam<Case> {};
TEST_P(Record, Layout)
{
    const Case& c = GetParam();
    RunRecord r{};
    std::istringstream run(c.at("run"));
    std::string rule;
    std::string result;
    run >> r.duration >> r.label >> r.x0 >> r.xn >> r.n >> rule >> result;
    r.rule = rule_with_key(rule[0])->rule;
    r.result = std::strtod(result.c_str(), nullptr);
    char buf[record_capacity];
    EXPECT_EQ(std::string(buf, format_record(buf, r, breakdown(c.at("when")))), c.at("record"));
}
CASES_OF(Cases, Record, "records.txt");

} // namespace
