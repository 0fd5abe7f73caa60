#include <gtest/gtest.h>

#include <cmath>

#include "console_input.h"
#include "support.h"

namespace {

// `typed` read as a, b and n, which start at 9 8 7: "a b n|what is left".
std::string numbers_read(const std::string& typed, double& a)
{
    std::FILE* in = std::tmpfile();
    std::fwrite(typed.data(), 1, typed.size(), in);
    std::rewind(in);
    ConsoleInput input{in, stdout, stderr};
    a = 9;
    double b = 8;
    int n = 7;
    read_numbers(input, a, b, n);
    char got[128]; // a NaN as nan: its sign is the C library's own
    std::snprintf(got, sizeof got, "%.17g %.17g %d|", std::isnan(a) ? NAN : a, b, n);
    std::string rest = got;
    for (int ch; (ch = read_char(input)) != EOF;)
        rest += static_cast<char>(ch);
    EXPECT_EQ(read_char(input), EOF) << "the end of input stays";
    std::fclose(in);
    return rest;
}

std::string row_name(const testing::TestParamInfo<Row>& i)
{
    return "row" + std::to_string(i.index + 1) + "_" + test_name(i.param[0].substr(0, 40));
}

// typed|a b n after the read|what is left for the rule loop
class Reads : public testing::TestWithParam<Row> {};
TEST_P(Reads, AsStrtodLeavingWhatItCannotUse)
{
    double a = 0;
    EXPECT_EQ(numbers_read(GetParam()[0], a), GetParam()[1] + "|" + GetParam()[2]);
}
INSTANTIATE_TEST_SUITE_P(Rows, Reads, testing::ValuesIn(load_rows("numeric_read.txt")), row_name);

// start|a character|how many times|end|the double. The reader's memory is
// bounded, yet each number converts as all of its digits round.
class LongNumbers : public testing::TestWithParam<Row> {};
TEST_P(LongNumbers, ConvertAsAllTheirDigitsRound)
{
    const Row& c = GetParam();
    const double expected = std::strtod(c[4].c_str(), nullptr);
    double a = 0;
    const std::string read = numbers_read(c[0] + std::string(std::stoul(c[2]), c[1][0]) + c[3] + " 2 3", a);
    EXPECT_EQ(read.substr(read.find(' ')), " 2 3|");
    EXPECT_TRUE(std::isnan(expected) ? std::isnan(a) : bits(a) == bits(expected)) << a;
}
INSTANTIATE_TEST_SUITE_P(Rows, LongNumbers, testing::ValuesIn(load_rows("long_numbers.txt")), row_name);

} // namespace
