#include "convergence.h"

#include <algorithm>
#include <cmath>

namespace {

// The points a row's split evaluates, as the split sums them: Simpson's and
// the midpoint rule all of their own; the rectangle, trapezoid and right
// rectangle rules share their inner points, n/2 new ones at each n after
// n/2, and the others to come find them all summed. (Where halving h is not
// exact the split sums more: the line then waits at the row's end.)
long long split_points(Rule rule, long long n, bool inner_points_summed)
{
    if (rule == Rule::simpson)
        return n + n / 2;
    if (rule == Rule::midpoint)
        return n;
    if (inner_points_summed)
        return 0;
    return n / 2;
}

// Progress over the whole table in points of a run: each row's run and then
// its split, weighted, after the rows before it. The line never goes back
// and reaches 100 % with the last row.
struct TableProgress {
    Progress outer;
    long long before = 0;
    long long total = 0;
    long long weight = 1; // of a split's point, in points of a run
    long long run = 0;    // this row's run
    long long split = 0;  // this row's split, in its own points

    void tell(long long done) const
    {
        if (outer.report != nullptr)
            outer.report(outer.context, before + done, total);
    }
};

void report_run(void* context, long long done, long long)
{
    static_cast<TableProgress*>(context)->tell(done);
}

void report_split(void* context, long long done, long long)
{
    const TableProgress& t = *static_cast<TableProgress*>(context);
    t.tell(t.run + t.weight * std::min(done, t.split));
}

// An error a ratio can be taken of: known, finite, not 0, with its split.
bool divisible(const ConvergenceRow& row)
{
    return row.error.exists && row.error.known && std::isfinite(row.error.value) && row.error.value != 0.0 &&
           row.split.exists;
}

} // namespace

std::vector<Convergence> convergence(const std::vector<Rule>& rules, const IntegrandEntry& e, double a, double b,
                                     int last, const Integral& integral, Progress progress)
{
    TableProgress table{progress};
    table.weight = split_weight(e);
    const auto shares_inner_points = [](Rule r) {
        return r == Rule::rectangle || r == Rule::trapezoid || r == Rule::right_rectangle;
    };
    bool summed = false;
    for (Rule rule : rules) {
        for (long long n = 2; n <= last; n *= 2)
            table.total += n + table.weight * split_points(rule, n, summed);
        summed = summed || shares_inner_points(rule);
    }
    summed = false;
    Progress each_run;
    Progress each_split;
    if (progress.report != nullptr) {
        each_run = Progress{report_run, &table};
        each_split = Progress{report_split, &table};
    }
    std::vector<Convergence> all;
    for (Rule rule : rules) {
        Convergence c{rule, {}};
        for (long long n = 2; n <= last; n *= 2) {
            ConvergenceRow row;
            row.n = static_cast<int>(n);
            table.run = n;
            table.split = split_points(rule, n, summed);
            row.result = integrate(rule, e, a, b, row.n, each_run);
            row.error = error_of(integral, row.result);
            row.split = split_error(rule, e, a, b, row.n, row.result, integral, each_split);
            table.before += n + table.weight * table.split;
            table.tell(0);
            row.rounding_level = row.split.exists && std::fabs(row.split.rounding) > std::fabs(row.split.method) / 10;
            if (!c.rows.empty() && divisible(row) && divisible(c.rows.back())) {
                row.has_order = true;
                row.order = std::log2(std::fabs(c.rows.back().error.value) / std::fabs(row.error.value));
                row.order_shown = !row.rounding_level && !c.rows.back().rounding_level;
            }
            if (!c.rows.empty()) {
                const double denominator = std::ldexp(1.0, rule_entry(rule).order) - 1.0;
                row.has_estimate = true;
                row.estimate = (c.rows.back().result - row.result) / denominator;
                row.extrapolated = row.result - row.estimate;
                row.extrapolated_error = error_of(integral, row.extrapolated);
            }
            c.rows.push_back(row);
        }
        summed = summed || shares_inner_points(rule);
        all.push_back(c);
    }
    return all;
}
