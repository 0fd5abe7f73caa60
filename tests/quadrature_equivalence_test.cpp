// The fast rules against the plainest possible reading of each rule: a loop
// that calls the integrand through a pointer chosen at run time, point by
// point. Every bit must agree, NaNs and signed zeros included.
#include <gtest/gtest.h>

#include <random>

#include "bits.h"
#include "quadrature.h"

namespace {

double plain_rectangle(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const double h = (b - a) / (double)n;
    for (int i = 0; i < n; i++)
        sum = f((double)i * h + a) + sum;
    return sum * h;
}

double plain_trapezoid(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const double h = (b - a) / (double)n;
    for (int i = 1; i < n; i++)
        sum = f((double)i * h + a) * 2.0 + sum;
    const double fa = f(a);
    const double fb = f(b);
    const double t = fa + sum;
    return ((t + fb) * h) / 2.0;
}

double plain_simpson(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    if (n % 2 == 1)
        n = n + 1;
    const double h = (b - a) / (double)n;
    for (int i = 0; i < n - 1; i += 2) {
        const double x = (double)i * h + a;
        const double y0 = f(x);
        const double y1 = f(x + h);
        const double t = y0 + y1 * 4.0;
        const double y2 = f(2.0 * h + x);
        sum = (t + y2) + sum;
    }
    return (sum * h) / 3.0;
}

struct Input {
    double a, b;
    int n;
};

std::vector<Input> inputs()
{
    std::mt19937_64 rng(20261206);
    std::uniform_real_distribution<double> end(-3.0, 3.0);
    std::vector<Input> v;
    // around the block sizes, odd and even, zero and negative
    for (int n = -3; n <= 70; ++n)
        v.push_back({end(rng), end(rng), n});
    for (int k = 0; k < 150; ++k)
        v.push_back({end(rng), end(rng), static_cast<int>(rng() % 3000)});
    v.push_back({1.0, 1.0, 17});   // a = b
    v.push_back({2.0, -1.0, 33});  // a > b
    v.push_back({0.0, 4.0, 40});   // fA meets sin x < 0
    v.push_back({-0.0, 0.0, 5});   // signed zeros
    v.push_back({1.0, 2.0, -7});    // negative odd: not raised
    return v;
}

TEST(FastRulesMatchPlainLoops, EveryRuleEveryIntegrandBitForBit)
{
    const std::vector<Input> v = inputs();
    for (const IntegrandEntry& e : integrand_catalogue) {
        volatile Integrand chosen = e.f; // a pointer the compiler cannot see through
        for (const Input& in : v) {
            SCOPED_TRACE(testing::Message() << "f" << e.label << " a=" << in.a << " b=" << in.b << " n=" << in.n);
            EXPECT_EQ(bits(integrate(Rule::simpson, e, in.a, in.b, in.n)), bits(plain_simpson(in.a, in.b, in.n, chosen)));
            EXPECT_EQ(bits(integrate(Rule::rectangle, e, in.a, in.b, in.n)),
                      bits(plain_rectangle(in.a, in.b, in.n, chosen)));
            EXPECT_EQ(bits(integrate(Rule::trapezoid, e, in.a, in.b, in.n)),
                      bits(plain_trapezoid(in.a, in.b, in.n, chosen)));
        }
    }
}

} // namespace
