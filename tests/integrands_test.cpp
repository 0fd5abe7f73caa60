#include <gtest/gtest.h>

#include <cmath>
#include "bits.h"
#include "integrands.h"

namespace {

struct Value {
    char key;
    double x;
    double expected;
};

TEST(Integrands, ValuesAtSimplePoints)
{
    const Value cases[] = {
        {'1', 0, -3},  {'1', 1, 2},   {'2', 2, -2}, {'3', 0, 2.5}, {'5', -1, 2},   {'6', 2, 12},
        {'7', 0, 27},  {'8', 0, -5},  {'8', 2, -15}, {'9', 1, -4}, {'0', 1, -33}, {'0', 2, 380},
        {'4', 1, 0},   {'7', 1, 16},  {'2', 1, -1},
    };
    for (const Value& c : cases)
        EXPECT_EQ(bits(select_integrand(c.key).f(c.x)), bits(c.expected)) << "f" << c.key << "(" << c.x << ")";
}

// The written order of operations shows in the last bits; a Horner scheme or
// a fused multiply-add gives other ones, which is why neither may be used.
TEST(Integrands, OrderOfOperationsFixesTheLastBits)
{
    const double x = 1.1;
    EXPECT_EQ(bits(f1(x)), bits(0x1.87ced916872b4p+1)); // 3.061000000000002
    EXPECT_NE(bits(f1(x)), bits(((x + 3.0) * x + 1.0) * x - 3.0));
    const double y = 0.7;
    EXPECT_NE(bits(f1(y)), bits((std::fma(3.0 * y, y, y * y * y) + y) - 3.0));

    EXPECT_EQ(bits(f0(x)), bits(-0x1.14338a8dc0a61p+5)); // -34.52516661400001
    double horner = 1.0;
    for (double c : {-0.5, 1.0, -2.0, 3.5, -7.0, 15.0, -27.0, 1.0, -18.0})
        horner = horner * x + c;
    EXPECT_NE(bits(f0(x)), bits(horner));
}

TEST(Integrands, SqrtSinIsNanWhereSinIsNegative)
{
    EXPECT_TRUE(std::isnan(fA(4.0)));
    EXPECT_EQ(bits(fA(0.0)), bits(0.0));
    EXPECT_EQ(bits(fA(1.0)), bits(std::sqrt(std::sin(1.0))));
}

TEST(Integrands, SelectionByKey)
{
    const char keys[] = "1234567890a";
    for (std::size_t k = 0; k < integrand_count; ++k) {
        EXPECT_EQ(select_integrand(keys[k]).f, integrand_catalogue[k].f);
        EXPECT_EQ(select_integrand(keys[k]).label, k == 10 ? 'A' : keys[k]);
    }
    for (char other : {'\n', ' ', 'q', 'w', 'W', 'A', 'S', static_cast<char>(0xff), static_cast<char>(0x80)}) {
        EXPECT_EQ(select_integrand(other).f, f1) << int(other);
        EXPECT_EQ(select_integrand(other).label, '1');
    }
}

} // namespace
