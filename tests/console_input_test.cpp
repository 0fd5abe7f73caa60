#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "bits.h"
#include "support.h"

namespace {

// What the read leaves for the rule loop, read one character at a time.
std::string rest(ConsoleInput& input)
{
    std::string s;
    for (int c; (c = read_char(input)) != EOF;)
        s.push_back(static_cast<char>(c));
    return s;
}

struct IntCase {
    const char* text;
    bool ok;
    int value;  // n after the read; it starts at 7
    const char* rest;
};

TEST(NumericRead, IntegerSaturatesAndFailsWithoutConsuming)
{
    const IntCase cases[] = {
        {"10\n", true, 10, "\n"},
        {"99999999999 s", true, INT_MAX, " s"},
        {"-99999999999", true, INT_MIN, ""},
        {"2147483647", true, INT_MAX, ""},
        {"2147483648", true, INT_MAX, ""},
        {"-2147483648", true, INT_MIN, ""},
        {"-2147483649", true, INT_MIN, ""},
        {"000000000000000000000000042x", true, 42, "x"},
        {"+5", true, 5, ""},
        {"\n \t-0", true, 0, ""},
        {"-", false, 7, "-"},
        {"+ 5", false, 7, "+ 5"},
        {"x", false, 7, "x"},
        {"  s", false, 7, "s"},
        {"3.7", true, 3, ".7"},
        {"", false, 7, ""},
    };
    for (const IntCase& c : cases) {
        std::FILE* in = stream_of(c.text);
        ConsoleInput input{in, stdout, {}};
        int n = 7;
        EXPECT_EQ(read_int(input, n), c.ok) << c.text;
        EXPECT_EQ(n, c.value) << c.text;
        EXPECT_EQ(rest(input), c.rest) << c.text;
        std::fclose(in);
    }
}

struct DoubleCase {
    const char* text;
    bool ok;
    double value;  // the field starts at 0.25
    const char* rest;
};

TEST(NumericRead, DoubleTakesTheLongestNumberAndLeavesTheRest)
{
    const DoubleCase cases[] = {
        {"2", true, 2, ""},
        {"  -1.5e3x", true, -1500, "x"},
        {"2,5", true, 2, ",5"},
        {".5", true, 0.5, ""},
        {"5.", true, 5, ""},
        {"+7e-1 ", true, 0.7, " "},
        {"1e+", true, 1, "e+"},
        {"1e", true, 1, "e"},
        {"1e400", true, INFINITY, ""},
        {"inf", true, INFINITY, ""},
        {"-INFINITY!", true, -INFINITY, "!"},
        {"infinit", true, INFINITY, "init"},
        {"0x1.8p1", true, 3, ""},
        {"0x", true, 0, "x"},
        {"0xg", true, 0, "xg"},
        {"-", false, 0.25, "-"},
        {".", false, 0.25, "."},
        {"-.e5", false, 0.25, "-.e5"},
        {"in", false, 0.25, "in"},
        {",5", false, 0.25, ",5"},
        {"q", false, 0.25, "q"},
        {"", false, 0.25, ""},
    };
    for (const DoubleCase& c : cases) {
        std::FILE* in = stream_of(c.text);
        ConsoleInput input{in, stdout, {}};
        double v = 0.25;
        EXPECT_EQ(read_double(input, v), c.ok) << c.text;
        EXPECT_EQ(bits(v), bits(c.value)) << c.text;
        EXPECT_EQ(rest(input), c.rest) << c.text;
        std::fclose(in);
    }
}

TEST(NumericRead, NotANumber)
{
    for (const char* text : {"nan", "NaN", "nan()", "nan(0x7_a)", "-nan"}) {
        std::FILE* in = stream_of(text);
        ConsoleInput input{in, stdout, {}};
        double v = 0;
        EXPECT_TRUE(read_double(input, v)) << text;
        EXPECT_TRUE(std::isnan(v)) << text;
        EXPECT_EQ(rest(input), "") << text;
        std::fclose(in);
    }
    std::FILE* in = stream_of("nan(ab");
    ConsoleInput input{in, stdout, {}};
    double v = 0;
    EXPECT_TRUE(read_double(input, v));
    EXPECT_EQ(rest(input), "(ab");
    std::fclose(in);
}

struct TripleCase {
    const char* text;
    double a, b;
    int n;  // the fields start at 9, 8, 7
    const char* rest;
};

TEST(NumericRead, AFailingFieldEndsTheRead)
{
    const TripleCase cases[] = {
        {"0 2 10\n", 0, 2, 10, "\n"},
        {"0\n2\n\n10 s", 0, 2, 10, " s"},
        {"2,5 3 10\n", 2, 8, 7, ",5 3 10\n"},
        {"1 x 3", 1, 8, 7, "x 3"},
        {"q\n", 9, 8, 7, "q\n"},
        {"1 2 q", 1, 2, 7, "q"},
        {"1 2", 1, 2, 7, ""},
    };
    for (const TripleCase& c : cases) {
        std::FILE* in = stream_of(c.text);
        ConsoleInput input{in, stdout, {}};
        double a = 9, b = 8;
        int n = 7;
        read_numbers(input, a, b, n);
        EXPECT_EQ(a, c.a) << c.text;
        EXPECT_EQ(b, c.b) << c.text;
        EXPECT_EQ(n, c.n) << c.text;
        EXPECT_EQ(rest(input), c.rest) << c.text;
        std::fclose(in);
    }
}

TEST(NumericRead, EndOfInputIsStickyAndByteFFIsACharacter)
{
    std::FILE* in = stream_of("\xff");
    ConsoleInput input{in, stdout, {}};
    EXPECT_EQ(read_char(input), 0xff);
    EXPECT_EQ(read_char(input), EOF);
    EXPECT_EQ(read_char(input), EOF);
    std::fclose(in);
}

} // namespace
