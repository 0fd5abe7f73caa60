#include "convergence.h"

#include <algorithm>
#include <cmath>

namespace {

// Progress over the whole table: each row's run and then its split, after
// the rows before it. A split tells the points it has evaluated; those it
// finds summed before are counted when the row ends, so the line never goes
// back and reaches 100 % with the last row.
struct TableProgress {
    Progress outer;
    long long before = 0;
    long long total = 0;
    long long weight = 1;       // of a split's point, in points of a run
    long long split_points = 0; // at most, in this row's split
    long long row = 0;          // this row's run in points

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
    t.tell(t.row + t.weight * t.row * std::min(done, t.split_points) / t.split_points);
}

bool orders_meaningfully(const ConvergenceRow& row)
{
    return row.error.exists && std::isfinite(row.error.value) && row.error.value != 0.0 && row.split.exists &&
           !row.rounding_level;
}

} // namespace

std::vector<Convergence> convergence(const std::vector<Rule>& rules, const IntegrandEntry& e, double a, double b,
                                     int last, const Integral& integral, Progress progress)
{
    TableProgress table{progress};
    table.weight = split_weight(e);
    for (long long n = 2; n <= last; n *= 2)
        table.total += (1 + table.weight) * n * static_cast<long long>(rules.size());
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
            table.row = n;
            table.split_points = rule == Rule::simpson ? n + n / 2 : n;
            row.result = integrate(rule, e, a, b, row.n, each_run);
            row.error = error_of(integral, row.result);
            row.split = split_error(rule, e, a, b, row.n, row.result, integral, each_split);
            table.before += (1 + table.weight) * n;
            table.tell(0);
            row.rounding_level = row.split.exists && std::fabs(row.split.rounding) > std::fabs(row.split.method) / 10;
            if (!c.rows.empty() && orders_meaningfully(row) && orders_meaningfully(c.rows.back())) {
                row.has_order = true;
                row.order = std::log2(std::fabs(c.rows.back().error.value) / std::fabs(row.error.value));
            }
            c.rows.push_back(row);
        }
        all.push_back(c);
    }
    return all;
}
