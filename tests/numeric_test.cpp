#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <regex>

#include "../bench/straightforward.h"
#include "support.h"

namespace {

// Rows: key x f(x), or key a b n and the three rules' results.
TEST(Numeric, IntegrandsAndRulesBitForBit)
{
    auto same = [](double got, double expected) { return std::isnan(expected) ? std::isnan(got) : bits(got) == bits(expected); };
    for (const auto& c : load_cases("numeric.txt")) {
        char key = 0;
        double a = 0, b = 0, v[3] = {};
        int n = 0;
        if (std::sscanf(c[0].c_str(), "%c %lf %lf %d %lf %lf %lf", &key, &a, &b, &n, &v[0], &v[1], &v[2]) != 7) {
            EXPECT_TRUE(same(select_integrand(key).f(a), b)) << c[0];
            continue;
        }
        for (Rule rule : {Rule::simpson, Rule::rectangle, Rule::trapezoid})
            EXPECT_TRUE(same(integrate(rule, select_integrand(key), a, b, n), v[(int)rule])) << c[0] << " rule " << (int)rule;
    }
}

// h = 1 exactly: every panel adds 1 + 4 + 1, so 2^30 panels give 2^31
TEST(Rules, SimpsonAtTheLargestNWorksOnTwoToThe31Subintervals)
{
    EXPECT_EQ(simpson_rule(0.0, 0x1p31, INT_MAX, [](double) { return 1.0; }), 0x1p31);
}

// Against the straightforward loops, the integrand called through a pointer
// chosen at run time: the build this processor runs, and both builds of the
// rules with their progress shown from the start, around a chunk of points
// too. Neither may change a bit.
TEST(Rules, FastRulesMatchPlainLoopsBitForBit)
{
    std::mt19937_64 rng(20261206);
    std::uniform_real_distribution<double> end(-3.0, 3.0);
    std::vector<std::tuple<double, double, int>> v = {{1, 1, 17}, {2, -1, 33}, {0, 4, 40}, {-0.0, 0, 5}, {1, 2, -7}};
    for (int n = -3; n <= 70; ++n) // around the block sizes
        v.emplace_back(end(rng), end(rng), n);
    for (int k = 0; k < 150; ++k)
        v.emplace_back(end(rng), end(rng), static_cast<int>(rng() % 3000));
    for (int n : {(1 << 20) - 1, 1 << 20, (1 << 20) + 1, (1 << 21) - 1, (1 << 21) + 2})
        v.emplace_back(0.3, 1.9, n);
    const fs::path screen = fresh_folder() / "screen";
    std::FILE* to = std::fopen(screen.string().c_str(), "wb");
    for (const IntegrandEntry& e : integrand_catalogue) {
        volatile Integrand chosen = e.f;
        for (const auto& [a, b, n] : v)
            for (Rule rule : {Rule::simpson, Rule::rectangle, Rule::trapezoid}) {
                const std::uint64_t plain = bits(straightforward(rule, a, b, n, chosen));
                ASSERT_EQ(bits(integrate(rule, e, a, b, n)), plain) << "f" << e.label << " rule " << (int)rule << " a=" << a << " b=" << b << " n=" << n;
                for (Width width : {Width::widest, Width::up_to_avx2}) {
                    ProgressLine line{to, 0};
                    ASSERT_EQ(bits(integrate_with(width, rule, e, a, b, n, progress_on(line))), plain) << "f" << e.label << " rule " << (int)rule << " n=" << n << " width " << (int)width;
                    erase_progress(line);
                }
            }
    }
    std::fclose(to);
    const std::string lines = std::regex_replace(read_file(screen), std::regex("\r Pocitam\\.\\.\\. (\\d|[1-9]\\d|100) %"), "L");
    EXPECT_EQ(std::regex_replace(lines, std::regex("L+\r +\r"), ""), "") << "each line erased in the end";
    EXPECT_NE(read_file(screen).find(" 100 %"), std::string::npos) << "a run of one chunk shows its end at once";
}

} // namespace
