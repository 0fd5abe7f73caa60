#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

#include "../bench/straightforward.h"
#include "support.h"

namespace {

TEST(Numeric, IntegrandsAndRulesBitForBit)
{
    for (const auto& c : load_cases("numeric.txt")) {
        char key = 0;
        double a = 0, b = 0, v[3] = {};
        int n = 0;
        const bool rules = std::sscanf(c[0].c_str(), "%c %lf %lf %d %lf %lf %lf", &key, &a, &b, &n, &v[0], &v[1], &v[2]) == 7;
        for (Rule rule : {Rule::simpson, Rule::rectangle, Rule::trapezoid}) {
            const double got = rules ? integrate(rule, select_integrand(key), a, b, n) : select_integrand(key).f(a);
            const double expected = rules ? v[(int)rule] : b;
            EXPECT_TRUE(std::isnan(expected) ? std::isnan(got) : bits(got) == bits(expected)) << c[0];
        }
    }
}

// A Horner scheme, or a fused multiply-add in a point or in the integrand,
// changes the bits: this is why the build forbids contraction.
TEST(Rules, FusedMultiplyAddOrHornerWouldChangeTheBits)
{
    const double x = 1.1;
    EXPECT_NE(bits(f1(x)), bits(((x + 3.0) * x + 1.0) * x - 3.0));
    double horner = 1.0;
    for (double c : {-0.5, 1.0, -2.0, 3.5, -7.0, 15.0, -27.0, 1.0, -18.0})
        horner = horner * x + c;
    EXPECT_NE(bits(f0(x)), bits(horner));
    volatile double v = 1 + 0x1p-40, h = (0.7 - 0.1) / 4; // not folded by the compiler
    if (std::fma(v, v, -(1 + 0x1p-39)) != 0x1p-80 || std::fma(2.0, h, 0.1) != 2.0 * h + 0.1)
        GTEST_SKIP() << "this C library's fma is not correctly rounded, so it cannot show what fusing changes";
    EXPECT_NE(bits(f1(0.7)), bits((std::fma(3.0 * 0.7, 0.7, 0.7 * 0.7 * 0.7) + 0.7) - 3.0));
    for (const auto& [key, a, b, n] : {std::tuple{'1', 0.1, 0.7, 4}, {'5', 0.3, 1.9, 7}, {'5', 1.0, 3.0, 25}}) {
        const double h = (b - a) / n;
        double fused = 0.0;
        for (int i = 0; i < n; ++i)
            fused = select_integrand(key).f(std::fma((double)i, h, a)) + fused;
        EXPECT_NE(bits(integrate(Rule::rectangle, select_integrand(key), a, b, n)), bits(fused * h));
    }
}

// h = 1 exactly: every panel adds 1 + 4 + 1, so 2^30 panels give 2^31
TEST(Rules, SimpsonAtTheLargestNWorksOnTwoToThe31Subintervals)
{
    EXPECT_EQ(simpson_rule(0.0, 0x1p31, INT_MAX, [](double) { return 1.0; }), 0x1p31);
}

// Against the straightforward loops, the integrand called through a pointer
// chosen at run time.
TEST(Rules, FastRulesMatchPlainLoopsBitForBit)
{
    std::mt19937_64 rng(20261206);
    std::uniform_real_distribution<double> end(-3.0, 3.0);
    std::vector<std::tuple<double, double, int>> v = {{1, 1, 17}, {2, -1, 33}, {0, 4, 40}, {-0.0, 0, 5}, {1, 2, -7}};
    for (int n = -3; n <= 70; ++n) // around the block sizes
        v.emplace_back(end(rng), end(rng), n);
    for (int k = 0; k < 150; ++k)
        v.emplace_back(end(rng), end(rng), static_cast<int>(rng() % 3000));
    for (const IntegrandEntry& e : integrand_catalogue) {
        volatile Integrand chosen = e.f;
        for (const auto& [a, b, n] : v)
            for (Rule rule : {Rule::simpson, Rule::rectangle, Rule::trapezoid})
                ASSERT_EQ(bits(integrate(rule, e, a, b, n)), bits(straightforward(rule, a, b, n, chosen)))
                    << "f" << e.label << " rule " << (int)rule << " a=" << a << " b=" << b << " n=" << n;
    }
}

} // namespace
