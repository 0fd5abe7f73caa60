#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "convergence.h"
#include "support.h"

namespace {

// key a b rule from to ...: the table of that rule up to n = to.
std::vector<ConvergenceRow> table_of(const Row& r)
{
    const IntegrandEntry& e = select_integrand(r[0][0]);
    const double a = std::strtod(r[1].c_str(), nullptr);
    const double b = std::strtod(r[2].c_str(), nullptr);
    const int to = std::atoi(r[5].c_str());
    return convergence({rule_with_key(r[3][0])->rule}, e, a, b, to, exact_integral(e, a, b), Progress{}).at(0).rows;
}

std::string row_title(const testing::TestParamInfo<Row>& i)
{
    return test_name("f" + i.param[0] + "_" + i.param[3] + "_" + i.param[1] + "_" + i.param[2] + "_from_" + i.param[4]);
}

class Orders : public testing::TestWithParam<Row> {};
TEST_P(Orders, AsTheTableShowsThem)
{
    const Row& r = GetParam();
    const int from = std::atoi(r[4].c_str());
    double low = 0;
    double high = 0;
    const bool none = std::sscanf(r[6].c_str(), "%lf %lf", &low, &high) != 2;
    int rows = 0;
    for (const ConvergenceRow& row : table_of(r)) {
        if (row.n < from)
            continue;
        ++rows;
        EXPECT_EQ(row.order_shown, !none) << "n = " << row.n;
        if (row.order_shown) {
            EXPECT_GE(row.order, low) << "n = " << row.n;
            EXPECT_LE(row.order, high) << "n = " << row.n;
        }
    }
    EXPECT_GT(rows, 0);
}
INSTANTIATE_TEST_SUITE_P(Rows, Orders, testing::ValuesIn(load_rows("orders.txt")), row_title);

class Estimates : public testing::TestWithParam<Row> {};
TEST_P(Estimates, FollowTheTrueErrorOfASmoothIntegrand)
{
    const Row& r = GetParam();
    const int from = std::atoi(r[4].c_str());
    const double gap = std::strtod(r[6].c_str(), nullptr);
    int rows = 0;
    for (const ConvergenceRow& row : table_of(r)) {
        EXPECT_EQ(row.has_estimate, row.n > 2) << "n = " << row.n;
        if (row.n < from)
            continue;
        ++rows;
        ASSERT_TRUE(row.error.exists && row.extrapolated_error.exists) << "n = " << row.n;
        EXPECT_LE(std::fabs(row.estimate / row.error.value - 1), gap) << "n = " << row.n;
        EXPECT_LE(std::fabs(row.extrapolated_error.value), std::fabs(row.error.value) / 10) << "n = " << row.n;
    }
    EXPECT_GT(rows, 0);
}
INSTANTIATE_TEST_SUITE_P(Rows, Estimates, testing::ValuesIn(load_rows("estimates.txt")), row_title);

} // namespace
