#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "exact.h"
#include "quadrature.h"
#include "support.h"

namespace {

// Decimal and hexadecimal numbers, inf and nan, as the rows write them.
double number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

std::string row_name(const testing::TestParamInfo<Row>& info) { return info.param[0]; }

// Every row starts name|key|a|b.
Integral integral_of(const Row& c) { return exact_integral(entry_of(c[1]), number(c[2]), number(c[3])); }

// name|key|a|b|kind|digits, or why|nearest
class Integrals : public testing::TestWithParam<Row> {};

TEST_P(Integrals, MatchPython)
{
    const Row& c = GetParam();
    const Integral got = integral_of(c);
    const char* const kinds[] = {"real", "not_real", "none", "undetermined"};
    EXPECT_EQ(kinds[static_cast<int>(got.kind)], c[4]);
    EXPECT_EQ(got.kind == IntegralKind::real ? got.digits : got.why, c[5]);
    if (got.kind == IntegralKind::real && !c[6].empty()) {
        EXPECT_EQ(bits(got.nearest), bits(number(c[6]))) << got.nearest;
    }
}

INSTANTIATE_TEST_SUITE_P(Exact, Integrals, testing::ValuesIn(load_rows("exact_integrals.txt")), row_name);

// name|key|a|b|result|text|value; text - where no difference exists
class Errors : public testing::TestWithParam<Row> {};

TEST_P(Errors, MatchPython)
{
    const Row& c = GetParam();
    const Difference got = error_of(integral_of(c), number(c[4]));
    EXPECT_EQ(got.exists ? got.text : "-", c[5]);
    if (got.exists) {
        EXPECT_EQ(bits(got.value), bits(number(c[6]))) << got.value;
    }
}

INSTANTIATE_TEST_SUITE_P(Exact, Errors, testing::ValuesIn(load_rows("exact_errors.txt")), row_name);

Split split_of(const Row& c, const Integral& integral)
{
    const Rule rule = rule_with_key(c[4].back())->rule;
    return split_error(rule, entry_of(c[1]), number(c[2]), number(c[3]), std::atoi(c[4].c_str()),
                       number(c[5]), integral);
}

// name|key|a|b|n rule|result|method|rounding; method - where no split exists
class Splits : public testing::TestWithParam<Row> {};

// Python's R* is exact, ours double-double: each part within 1e-9 of itself
// (the rounding part is some 1e-16 of R*) or 1e-28 of R* (about the result),
// and their sum is the whole error.
TEST_P(Splits, MatchPythonAndAddUpToTheError)
{
    const Row& c = GetParam();
    const Integral integral = integral_of(c);
    const Split got = split_of(c, integral);
    ASSERT_EQ(got.exists, c[6] != "-");
    if (!got.exists)
        return;
    const double floor = 1e-28 * std::fabs(number(c[5]));
    EXPECT_NEAR(got.method, number(c[6]), 1e-9 * std::fabs(number(c[6])) + floor);
    EXPECT_NEAR(got.rounding, number(c[7]), 1e-9 * std::fabs(number(c[7])) + floor);
    const double whole = error_of(integral, number(c[5])).value;
    EXPECT_NEAR(got.method + got.rounding, whole, 0x1p-51 * std::max(std::fabs(got.method), std::fabs(got.rounding)));
}

INSTANTIATE_TEST_SUITE_P(Exact, Splits, testing::ValuesIn(load_rows("exact_splits.txt")), row_name);

// Simpson's own error falls as h^4 while rounding grows with the points: on
// f5 over [0, 2], with the program's own results, rounding has outgrown a
// tenth of the method part by n = 4096, and not yet at n = 64.
TEST(ExactSplit, RoundingOutgrowsATenthOfSimpsonsOwnErrorBetween64And4096)
{
    const IntegrandEntry& f5 = select_integrand('5');
    const Integral integral = exact_integral(f5, 0, 2);
    for (const auto& [n, outgrown] : {std::pair{64, false}, std::pair{4096, true}}) {
        const Split s = split_error(Rule::simpson, f5, 0, 2, n, integrate(Rule::simpson, f5, 0, 2, n), integral);
        EXPECT_EQ(std::fabs(s.rounding) > std::fabs(s.method) / 10, outgrown) << n;
    }
}

// f5's own error under each rule at h = 2/n on [0, 2], from Euler-Maclaurin,
// exact for x^4 + 1 (its fifth derivative is 0).
double f5_method(Rule rule, double h)
{
    const double h2 = h * h;
    if (rule == Rule::simpson)
        return 4.0 / 15.0 * h2 * h2;
    const double trapezoid = h2 / 12.0 * 32.0 - h2 * h2 / 720.0 * 48.0;
    return rule == Rule::trapezoid ? trapezoid : trapezoid - h / 2.0 * 16.0;
}

class EulerMaclaurin : public testing::TestWithParam<Rule> {};

// With n = 2^k the points are exact, so R* is the rule itself: its method
// part must follow the formula, the sums of up to 2^24 points (2^20 under
// an emulator) and n after n as a table asks for them. Up to 2^16 points
// its digits show; past that, where the sums no longer resolve Simpson's
// method part (some 1e-29 of R*), no digit shows rather than a wrong one.
TEST_P(EulerMaclaurin, F5MethodPartsShowOnlyKnownDigits)
{
    const IntegrandEntry& f5 = select_integrand('5');
    const Integral integral = exact_integral(f5, 0, 2);
    const int top = INTEGRATE_EMULATED ? 1 << 20 : 1 << 24;
    for (int n = 2; n <= top; n *= 2) {
        const Split s = split_error(GetParam(), f5, 0, 2, n, integrate(GetParam(), f5, 0, 2, n), integral);
        const double expected = f5_method(GetParam(), 2.0 / n);
        char text[32];
        std::snprintf(text, sizeof text, "%+.2e", expected);
        if (n <= 1 << 16 || s.method_text != "?") {
            EXPECT_EQ(s.method_text, text) << n;
            EXPECT_NEAR(s.method, expected, 1e-13 * std::fabs(expected)) << n;
        }
    }
}

// On [0, 3] the points 3i/2^k need more bits in x^4 than double-double
// holds: past 2^24 points the sums lose more than Simpson's own error
// (0.4 h^4: 4.09e-28 at 2^24, 2.56e-29 at 2^25), whose digits must then
// not show.
TEST(ExactSplit, SimpsonPastWhatTheSumsResolveShowsNoDigit)
{
    if (INTEGRATE_EMULATED)
        GTEST_SKIP() << "runs of 2^25 points take minutes under an emulator";
    const IntegrandEntry& f5 = select_integrand('5');
    const Integral integral = exact_integral(f5, 0, 3);
    for (const auto& [n, text] : {std::pair{1 << 24, "+4.09e-28"}, std::pair{1 << 25, "?"}}) {
        const Split s = split_error(Rule::simpson, f5, 0, 3, n, integrate(Rule::simpson, f5, 0, 3, n), integral);
        EXPECT_EQ(s.method_text, text) << n;
    }
}

std::string rule_name(const testing::TestParamInfo<Rule>& info) { return rule_entry(info.param).name; }

INSTANTIATE_TEST_SUITE_P(ExactSplit, EulerMaclaurin, testing::Values(Rule::simpson, Rule::rectangle, Rule::trapezoid),
                         rule_name);

// A table asks for n after n/2, and for every rule at each n: what earlier
// calls left behind changes no bit, here against each call made first in a
// thread of its own, nor answers for another integrand, a or b.
TEST(ExactSplit, TheSameBitsWhateverWasAskedBefore)
{
    const Row asks[] = {{"", "5", "0", "2", "500 l", "1"},  {"", "5", "0", "2", "1000 o", "1"},
                         {"", "4", "0", "2", "1000 l", "1"}, {"", "4", "0", "3", "1000 l", "1"},
                         {"", "4", "1", "3", "1000 o", "1"}, {"", "a", "1", "3", "1000 l", "1"}};
    for (const Row& c : asks) {
        const Integral integral = integral_of(c);
        Split alone;
        std::thread([&] { alone = split_of(c, integral); }).join();
        const Split after = split_of(c, integral);
        EXPECT_EQ(bits(after.method), bits(alone.method)) << c[1] << " " << c[2] << " " << c[3] << " " << c[4];
        EXPECT_EQ(bits(after.rounding), bits(alone.rounding)) << c[1] << " " << c[2] << " " << c[3] << " " << c[4];
    }
}

} // namespace
