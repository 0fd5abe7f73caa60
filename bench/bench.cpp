// Nanoseconds per subinterval at n = 10^8 (--n=N for another) on [0, 2]: each
// rule on each integrand as integrate() runs it (with other threads
// evaluating beside the chain of additions where the processor's choice says
// so), the calling thread alone (the engine without threads), W threads
// beside it on every rule and integrand (--workers=W; by default one core
// fewer than there are, at least one), the straightforward loop (the
// integrand called through a pointer at every point), the floor (the chain
// of dependent additions that the order of summation sets: n for rectangle
// and trapezoid, n/2 for Simpson), the run with its progress line forced on
// (written to the null device from the first chunk), and the calling thread
// alone on the other width of vectors than the one this processor is given.
// Median of five repetitions, interleaved.
//
// Prints a summary table; --raw adds Google Benchmark's own lines.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine.h"
#include "expression.h"
#include "program.h"
#include "progress_line.h"

namespace {

int n = 100000000;
int workers = 0;

void shared(benchmark::State& state, engine::Width width, engine::Sharing sharing, Rule rule, std::size_t k)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(engine::integrate_shared(width, sharing, rule, k, 0.0, 2.0, n));
}

void alone(benchmark::State& state, engine::Width width, Rule rule, std::size_t k)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(engine::integrate_with(width, rule, k, 0.0, 2.0, n));
}

void with_progress(benchmark::State& state, Rule rule, const IntegrandEntry* e)
{
#ifdef _WIN32
    std::FILE* null = std::fopen("NUL", "w");
#else
    std::FILE* null = std::fopen("/dev/null", "w");
#endif
    for (auto _ : state) {
        ProgressLine line{null, 0};
        benchmark::DoNotOptimize(integrate(rule, *e, 0.0, 2.0, n, progress_on(line)));
        erase_progress(line);
    }
    std::fclose(null);
}

void plain(benchmark::State& state, Rule rule, const IntegrandEntry* e)
{
    for (auto _ : state) {
        Integrand f = e->f;
        benchmark::DoNotOptimize(f);
        benchmark::DoNotOptimize(rule_entry(rule).plain(0.0, 2.0, n, f)); // f is opaque: not inlined
    }
}

// A function typed on the command line: its tree, its program, its entry.
struct Typed {
    std::string text;
    expr::Expression tree;
    std::unique_ptr<expr::Program> program;
    IntegrandEntry entry;
    Typed(std::string t, char built_in) : text(std::move(t)), entry{}, same_as(built_in)
    {
        expr::ParseError error;
        expr::parse(text, tree, error);
        program = std::make_unique<expr::Program>(tree);
        entry = IntegrandEntry{0, 0, nullptr, text.c_str(), nullptr, {}, &tree, program.get()};
    }
    char same_as; // the built-in it types, or 0
};

void typed(benchmark::State& state, Rule rule, const IntegrandEntry* e)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(integrate(rule, *e, 0.0, 2.0, n));
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

// Keeps the median of every benchmark, in nanoseconds per subinterval, and
// shows Google Benchmark's own lines only when asked.
class Medians : public benchmark::ConsoleReporter {
  public:
    bool raw = false;
    std::map<std::string, double> ns;
    bool ReportContext(const Context& context) override { return !raw || ConsoleReporter::ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                ns[r.run_name.function_name] = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit) * 1e9 / n;
        if (raw)
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
    Medians medians;
    std::vector<char*> args;
    for (int k = 0; k < argc; ++k) {
        if (std::strcmp(argv[k], "--raw") == 0)
            medians.raw = true;
        else if (std::strncmp(argv[k], "--n=", 4) == 0)
            n = std::atoi(argv[k] + 4);
        else if (std::strncmp(argv[k], "--workers=", 10) == 0)
            workers = std::atoi(argv[k] + 10);
        else
            args.push_back(argv[k]);
    }
    if (workers < 1)
        workers = std::max(1, static_cast<int>(std::thread::hardware_concurrency()) - 1);
    // One run of a long rule is timed well; a short one is repeated.
    auto add = [](const std::string& name, auto fn, auto... a) {
        auto* b = benchmark::RegisterBenchmark(name.c_str(), fn, a...);
        b->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
        if (n >= 10000000)
            b->Iterations(1);
    };
    add("floor/n", chain, n);
    add("floor/n_half", chain, n / 2);
    for (const RuleEntry& r : rule_table)
        for (std::size_t k = 0; k < integrand_count; ++k) {
            const IntegrandEntry& e = integrand_catalogue[k];
            const std::string name = std::string(r.name) + "/f" + e.label;
            const engine::Width width = engine::chosen_width(r.rule, e);
            engine::Width other = engine::Width::widest;
            if (width == engine::Width::widest)
                other = engine::Width::up_to_avx2;
            const engine::Sharing forced{workers, 0};
            add(name, shared, width, engine::chosen_sharing(r.rule, e), r.rule, k);
            add("alone/" + name, alone, width, r.rule, k);
            add("forced/" + name, shared, width, forced, r.rule, k);
            add("baseline/" + name, plain, r.rule, &e);
            add("progress/" + name, with_progress, r.rule, &e);
            add("other/" + name, alone, other, r.rule, k);
        }
    // Typed functions, as integrate() runs them: two menu texts, sqrt(sin(x))
    // and one the menu has not.
    static const std::vector<std::shared_ptr<Typed>> functions = {
        std::make_shared<Typed>("x^4 +1", '5'),
        std::make_shared<Typed>("x^9 -0.5x^8 +x^7 -2x^6 +3.5x^5 -7x^4 +15x^3 -27x^2 +x -18", '0'),
        std::make_shared<Typed>("sqrt(sin(x))", 'A'), std::make_shared<Typed>("exp(-x^2)*cos(3x)", 0)};
    for (const RuleEntry& r : rule_table)
        for (std::size_t k = 0; k < functions.size(); ++k)
            add("typed/" + std::string(r.name) + "/" + std::to_string(k), typed, r.rule, &functions[k]->entry);
    // Repetitions of different benchmarks interleaved at random, so that a
    // drift of the clock rate falls on all of them alike.
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks(&medians);

    std::printf("\nCPU: %s\nvariant: %s\nn: %d\nforced: %d threads beside the chain\n\n", cpu_model().c_str(),
                engine::variant(), n, workers);
    std::printf("%-10s %-4s %7s %8s %8s %6s %8s %9s %7s %9s %9s\n", "rule", "f", "threads", "ns/sub", "alone", "gain",
                "forced", "baseline", "/floor", "progress", "other w.");
    double log_sum = 0;
    double progress_log_sum = 0;
    int polynomials = 0;
    int measured = 0;
    for (const RuleEntry& r : rule_table) {
        const double floor_ns = medians.ns[r.rule == Rule::simpson ? "floor/n_half" : "floor/n"];
        for (const IntegrandEntry& e : integrand_catalogue) {
            const std::string name = std::string(r.name) + "/f" + e.label;
            const double t = medians.ns[name];
            const double one = medians.ns["alone/" + name];
            const double beside = medians.ns["forced/" + name];
            const engine::Sharing chosen = engine::chosen_sharing(r.rule, e);
            int threads = 0;
            if (n >= chosen.threshold)
                threads = chosen.workers;
            const double base = medians.ns["baseline/" + name];
            const double shown = medians.ns["progress/" + name];
            const double wide = medians.ns["other/" + name];
            if (t <= 0)
                continue; // not run: filtered out
            std::printf("%-10s f%-3c %7d %8.3f %8.3f %6.2f %8.3f %9.3f %7.2f %9.3f %9.3f\n", r.name, e.label, threads, t,
                        one, one / t, beside, base, t / floor_ns, shown / t, wide);
            if (e.label != 'A' && base > 0) {
                log_sum += std::log(base / t);
                ++polynomials;
            }
            if (shown > 0) {
                progress_log_sum += std::log(shown / t);
                ++measured;
            }
        }
        std::printf("%-10s %-4s %8.3f\n", r.name, "floor", floor_ns);
    }
    std::printf("\n%-10s %-60s %8s %8s %6s\n", "rule", "typed", "ns/sub", "built-in", "ratio");
    for (const RuleEntry& r : rule_table)
        for (std::size_t k = 0; k < functions.size(); ++k) {
            const double t = medians.ns["typed/" + std::string(r.name) + "/" + std::to_string(k)];
            if (t <= 0)
                continue;
            const char label = functions[k]->same_as;
            if (label == 0) {
                std::printf("%-10s %-60s %8.3f %8s %6s\n", r.name, functions[k]->text.c_str(), t, "-", "-");
                continue;
            }
            const double built = medians.ns[std::string(r.name) + "/f" + label];
            std::printf("%-10s %-60s %8.3f %8.3f %6.2f\n", r.name, functions[k]->text.c_str(), t, built, t / built);
        }
    if (polynomials > 0)
        std::printf("\ngeometric-mean speed-up over the polynomials: %.2f\n", std::exp(log_sum / polynomials));
    if (measured > 0)
        std::printf("geometric-mean time with the progress line forced on: %.4f of the time without\n",
                    std::exp(progress_log_sum / measured));
    std::printf("threads: beside the chain as integrate() chooses at this n; alone: ns/sub on the calling thread "
                "alone;\ngain: alone / ns/sub; forced: ns/sub with the forced threads on every row; baseline: ns/sub of "
                "the\nstraightforward loop; progress: time with the progress line forced on / without; other w.: "
                "ns/sub\nalone on the other width of vectors\n");
    return 0;
}
