#include <gtest/gtest.h>

#include <cmath>

#include "support.h"

namespace {

// `typed` read as a, b and n, which start at 9 8 7: "a b n|what is left".
std::string numbers_read(const std::string& typed, double& a)
{
    std::FILE* in = std::tmpfile();
    std::fwrite(typed.data(), 1, typed.size(), in);
    std::rewind(in);
    ConsoleInput input{in, stdout, stderr};
    double b = 8;
    int n = 7;
    read_numbers(input, a = 9, b, n);
    char got[128]; // a NaN as nan: its sign is the C library's own
    std::snprintf(got, sizeof got, "%.17g %.17g %d|", std::isnan(a) ? NAN : a, b, n);
    std::string rest = got;
    for (int ch; (ch = read_char(input)) != EOF;)
        rest += static_cast<char>(ch);
    EXPECT_EQ(read_char(input), EOF) << "the end of input stays";
    std::fclose(in);
    return rest;
}

// Fields: typed|a b n after the read|what is left for the rule loop
TEST(NumericRead, ConvertsLikeScanfAndLeavesWhatItCannotUse)
{
    double a = 0;
    for (const auto& c : load_cases("numeric_read.txt"))
        EXPECT_EQ(numbers_read(c[0], a), c[1] + "|" + c[2]) << "typed: " << c[0];
}

// Fields: start|a character|how many times|end|the double. The reader's
// memory is bounded, yet each number converts as all of its digits round.
TEST(NumericRead, NumbersOfAnyLengthConvertAsAllTheirDigitsRound)
{
    for (const auto& c : load_cases("long_numbers.txt")) {
        const std::string number = c[0] + std::string(std::stoul(c[2]), c[1][0]) + c[3];
        const double expected = std::strtod(c[4].c_str(), nullptr);
        double a = 0;
        const std::string read = numbers_read(number + " 2 3", a);
        EXPECT_EQ(read.substr(read.find(' ')), " 2 3|") << c[0] << "..." << c[3];
        EXPECT_TRUE(std::isnan(expected) ? std::isnan(a) : bits(a) == bits(expected)) << c[0] << "..." << c[3];
    }
}

// Fields: week day, month, day, year, h, m, s, duration, label, a, b, n, rule (0 to 2), result|the record
TEST(Record, LayoutWhateverTheDayAndTheSizeOfTheNumbers)
{
    for (const auto& c : load_cases("records.txt")) {
        std::tm t{};
        RunRecord r{};
        int rule = 0; // 0 Simpson, 1 rectangle, 2 trapezoid
        std::sscanf(c[0].c_str(), "%d %d %d %d %d %d %d %lf %c %lf %lf %d %d %lf", &t.tm_wday, &t.tm_mon, &t.tm_mday,
                    &t.tm_year, &t.tm_hour, &t.tm_min, &t.tm_sec, &r.duration, &r.label, &r.x0, &r.xn, &r.n, &rule,
                    &r.result);
        t.tm_year -= 1900, r.rule = static_cast<Rule>(rule);
        char buf[record_capacity];
        EXPECT_EQ(std::string(buf, format_record(buf, r, t)), c[1]);
    }
}

} // namespace
