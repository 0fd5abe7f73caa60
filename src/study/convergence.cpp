#include "convergence.h"

#include <cmath>

namespace {

// Progress over the whole table: each run's points counted after those of
// the runs before it.
struct TableProgress {
    Progress outer;
    long long before;
    long long total;
};

void report_run(void* context, long long done, long long)
{
    const TableProgress& t = *static_cast<TableProgress*>(context);
    t.outer.report(t.outer.context, t.before + done, t.total);
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
    long long total = 0;
    for (long long n = 2; n <= last; n *= 2)
        total += n * static_cast<long long>(rules.size());
    TableProgress table{progress, 0, total};
    Progress each_run;
    if (progress.report != nullptr)
        each_run = Progress{report_run, &table};
    std::vector<Convergence> all;
    for (Rule rule : rules) {
        Convergence c{rule, {}};
        for (long long n = 2; n <= last; n *= 2) {
            ConvergenceRow row;
            row.n = static_cast<int>(n);
            row.result = integrate(rule, e, a, b, row.n, each_run);
            table.before += n;
            row.error = error_of(integral, row.result);
            row.split = split_error(rule, e, a, b, row.n, row.result, integral);
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
