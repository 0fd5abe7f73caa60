// Nanoseconds per subinterval at n = 10^8 on [0, 2]: each rule on each
// integrand, the straightforward loop (the integrand called through a
// pointer at every point), and the floor (the chain of dependent additions
// that the order of summation sets: n for rectangle and trapezoid, n/2 for
// Simpson). Median of five repetitions, interleaved; a table of ratios at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "straightforward.h"

namespace {

constexpr int n = 100000000;
const char* const rule_names[] = {"simpson", "rectangle", "trapezoid"};

void fast(benchmark::State& state, Rule rule, const IntegrandEntry* e)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(integrate(rule, *e, 0.0, 2.0, n));
}

void plain(benchmark::State& state, Rule rule, const IntegrandEntry* e)
{
    for (auto _ : state) {
        Integrand f = e->f;
        benchmark::DoNotOptimize(f);
        benchmark::DoNotOptimize(straightforward(rule, 0.0, 2.0, n, f)); // f is opaque: not inlined
    }
}

void chain(benchmark::State& state, int additions)
{
    for (auto _ : state) {
        double y = 1.0, sum = 0.0;
        benchmark::DoNotOptimize(y);
        for (int i = 0; i < additions; ++i)
            sum = y + sum;
        benchmark::DoNotOptimize(sum);
    }
}

// Keeps the median of every benchmark, in nanoseconds per subinterval.
class Medians : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> ns;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                ns[r.run_name.function_name] = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit) * 1e9 / n;
        ConsoleReporter::ReportRuns(runs);
    }
};

std::string cpu_model()
{
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    return "unknown";
}

} // namespace

int main(int argc, char** argv)
{
    auto add = [](const std::string& name, auto fn, auto... args) {
        benchmark::RegisterBenchmark(name.c_str(), fn, args...)
            ->Iterations(1)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kMillisecond);
    };
    add("floor/n", chain, n);
    add("floor/n_half", chain, n / 2);
    for (Rule rule : {Rule::simpson, Rule::rectangle, Rule::trapezoid})
        for (const IntegrandEntry& e : integrand_catalogue) {
            const std::string name = std::string(rule_names[(int)rule]) + "/f" + e.label;
            add(name, fast, rule, &e);
            add("baseline/" + name, plain, rule, &e);
        }
    // Repetitions of different benchmarks interleaved at random, so that a
    // drift of the clock rate falls on all of them alike.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    Medians medians;
    benchmark::RunSpecifiedBenchmarks(&medians);

    std::printf("\nCPU: %s\nvariant: %s\n\n", cpu_model().c_str(), integrate_variant());
    std::printf("%-10s %-4s %9s %9s %9s %9s\n", "rule", "f", "ns/sub", "baseline", "speed-up", "/floor");
    double log_sum = 0;
    int polynomials = 0;
    for (Rule rule : {Rule::simpson, Rule::rectangle, Rule::trapezoid}) {
        const double floor_ns = medians.ns[rule == Rule::simpson ? "floor/n_half" : "floor/n"];
        for (const IntegrandEntry& e : integrand_catalogue) {
            const std::string name = std::string(rule_names[(int)rule]) + "/f" + e.label;
            const double t = medians.ns[name], base = medians.ns["baseline/" + name];
            if (t <= 0 || base <= 0)
                continue; // not run: filtered out
            std::printf("%-10s f%-3c %9.3f %9.3f %9.2f %9.2f\n", rule_names[(int)rule], e.label, t, base, base / t,
                        t / floor_ns);
            if (e.label != 'A')
                log_sum += std::log(base / t), ++polynomials;
        }
        std::printf("%-10s %-4s %9.3f\n", rule_names[(int)rule], "floor", floor_ns);
    }
    if (polynomials > 0)
        std::printf("\ngeometric-mean speed-up over the polynomials: %.2f\n", std::exp(log_sum / polynomials));
    return 0;
}
