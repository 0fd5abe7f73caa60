#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "bits.h"
#include "quadrature.h"

namespace {

double rule(Rule r, char key, double a, double b, int n)
{
    return integrate(r, select_integrand(key), a, b, n);
}

struct Row {
    char key;
    double a, b;
    int n;
    double simpson, rectangle, trapezoid;
};

// Expected values written bit for bit; the comments are their "%.15lf" text.
const Row table[] = {
    {'2', 0, 1, 4, 0x1.5555555555555p-2, 0x1.7p-1, 0x1.6p-2},   // 0.333333333333333 0.718750000000000 0.343750000000000
    {'1', 0, 2, 10, 0x1.0000000000001p+3, 0x1.7851eb851eb88p+2, // 8.000000000000002 5.880000000000003
     0x1.028f5c28f5c2ap+3},                                     // 8.080000000000002
    {'5', 0, 2, 10, 0x1.0cd04b95b8f2dp+3, 0x1.ba05143bf7274p+2, // 8.400426666666670 6.906560000000002
     0x1.1035bd512ec6dp+3},                                     // 8.506560000000002
    {'5', 0, 1, 3, 0x1.3355555555555p+0, 0x1.11e8d2b3183b0p+0,  // 1.200520833333333 1.069958847736626
     0x1.3c937d5dc2e5ap+0},                                     // 1.236625514403292
    {'1', 1, 3, 5, 0x1.5fffffffffffdp+5, 0x1.10a3d70a3d70bp+5,  // 43.999999999999979 34.080000000000005
     0x1.63d70a3d70a3fp+5},                                     // 44.480000000000011
    // a > b: the rectangle rule takes right ends, the others negate only up to rounding
    {'1', 1, 0, 4, 0x1.4p+0, 0x1.28p-1, 0x1.34p+0},              // 1.25 0.578125 1.203125
    {'1', 0, 1, 4, -0x1.4p+0, -0x1.d4p+0, -0x1.34p+0},           // -1.25 -1.828125 -1.203125
    {'1', 3, 1, 5, -0x1.6p+5, -0x1.b70a3d70a3d72p+5, -0x1.63d70a3d70a3fp+5}, // -44.000000000000000 ...
    // a = b: a zero with the sign of the sum
    {'1', 0, 0, 4, -0.0, -0.0, -0.0},
    {'1', 2, 2, 4, 0.0, 0.0, 0.0},
    // negative n: no pass, a zero with the sign of h; trapezoid (f(a) + f(b)) h / 2
    {'1', 0, 1, -3, -0.0, -0.0, 0x1.5555555555555p-3}, // 0.166666666666667
    {'1', 0, 1, INT_MIN, -0.0, -0.0, 0x1p-32},
    {'1', 1, 0, -4, 0.0, 0.0, -0x1p-3},
};

TEST(Rules, TableBitForBit)
{
    for (const Row& r : table) {
        SCOPED_TRACE(testing::Message() << "f" << r.key << " a=" << r.a << " b=" << r.b << " n=" << r.n);
        EXPECT_EQ(bits(rule(Rule::simpson, r.key, r.a, r.b, r.n)), bits(r.simpson));
        EXPECT_EQ(bits(rule(Rule::rectangle, r.key, r.a, r.b, r.n)), bits(r.rectangle));
        EXPECT_EQ(bits(rule(Rule::trapezoid, r.key, r.a, r.b, r.n)), bits(r.trapezoid));
    }
}

TEST(Rules, ZeroSubintervals)
{
    // h = (b - a) / 0: an infinity, or NaN when a = b
    EXPECT_TRUE(std::isnan(rule(Rule::simpson, '5', 0, 2, 0)));
    EXPECT_TRUE(std::isnan(rule(Rule::rectangle, '5', 0, 2, 0)));
    EXPECT_EQ(rule(Rule::trapezoid, '5', 0, 2, 0), INFINITY);
    EXPECT_EQ(rule(Rule::trapezoid, '5', 2, 0, 0), -INFINITY);
    EXPECT_TRUE(std::isnan(rule(Rule::trapezoid, '5', 1, 1, 0)));
}

TEST(Rules, SimpsonRaisesOnlyPositiveOddN)
{
    for (char key : {'1', '5', '0', 'a'}) {
        EXPECT_EQ(bits(rule(Rule::simpson, key, 0, 1, 3)), bits(rule(Rule::simpson, key, 0, 1, 4)));
        EXPECT_EQ(bits(rule(Rule::simpson, key, 0.5, 2.5, 1)), bits(rule(Rule::simpson, key, 0.5, 2.5, 2)));
        EXPECT_EQ(bits(rule(Rule::simpson, key, 0, 1, -5)), bits(-0.0));
    }
}

TEST(Rules, SimpsonAtTheLargestNWorksOnTwoToThe31Subintervals)
{
    // With h = 1 exactly every panel adds 1 + 4 + 1 = 6, so the result is
    // 6 * panels / 3; 2^30 panels give 2^31, anything else another number.
    const auto one = [](double) { return 1.0; };
    EXPECT_EQ(simpson_rule(0.0, 0x1p31, INT_MAX, one), 0x1p31);
}

TEST(Rules, EndPointsAreTheOnesTheRuleNames)
{
    double seen_last = 0;
    const auto record = [&](double x) {
        seen_last = x;
        return x;
    };
    // n * h + a would be 0.7000000000000001: the trapezoid rule evaluates b itself, last
    trapezoid_rule(0.1, 0.7, 37, record);
    EXPECT_EQ(bits(seen_last), bits(0.7));
    // Simpson's last point is 2h + x of the last panel, not b
    simpson_rule(1.0, 3.0, 5, record);
    EXPECT_EQ(bits(seen_last), bits(2.9999999999999996));
}

// A fused multiply-add in the points or in the integrand would show in these
// results: the plain order gives the rule's bits, the fused one others.
TEST(Rules, FusedMultiplyAddWouldChangeTheBits)
{
    struct Case {
        char key;
        double a, b;
        int n;
    };
    const Case cases[] = {{'1', 0.1, 0.7, 4}, {'5', 0.3, 1.9, 7}, {'5', 1, 3, 25}};
    for (const Case& c : cases) {
        const Integrand f = select_integrand(c.key).f;
        const double h = (c.b - c.a) / c.n;
        double plain = 0.0;
        double fused = 0.0;
        for (int i = 0; i < c.n; ++i) {
            plain = f((double)i * h + c.a) + plain;
            fused = f(std::fma((double)i, h, c.a)) + fused;
        }
        SCOPED_TRACE(testing::Message() << "f" << c.key << " a=" << c.a << " b=" << c.b << " n=" << c.n);
        EXPECT_EQ(bits(rule(Rule::rectangle, c.key, c.a, c.b, c.n)), bits(plain * h));
        EXPECT_NE(bits(plain * h), bits(fused * h));
    }
    // f1 itself fused: 3x^2 + x^3 as one fma
    const double h = 2.0 / 9;
    double plain = 0.0;
    double fused = 0.0;
    for (int i = 0; i < 9; ++i) {
        const double x = (double)i * h;
        plain = (((x * x * x + 3.0 * x * x) + x) - 3.0) + plain;
        fused = ((std::fma(3.0 * x, x, x * x * x) + x) - 3.0) + fused;
    }
    EXPECT_EQ(bits(rule(Rule::rectangle, '1', 0, 2, 9)), bits(plain * h));
    EXPECT_NE(bits(plain * h), bits(fused * h));
}

} // namespace
