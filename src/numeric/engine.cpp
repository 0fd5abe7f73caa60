#include "engine.h"

#include <memory>
#include <system_error>
#include <vector>

// GCC on x86-64 ELF compiles the engine for several processors and picks one
// when the program loads; the arithmetic is the same in each (no contraction,
// no reassociation), only the width of the evaluation differs. flatten
// inlines the whole rule into each build, so that each vectorises it.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) && \
    !defined(INTEGRATE_SINGLE_VARIANT)
#define WIDEST __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#define UP_TO_AVX2 __attribute__((target_clones("arch=x86-64-v3", "default")))
#define HAS_CLONES 1
#else
#define WIDEST
#define UP_TO_AVX2
#define HAS_CLONES 0
#endif
#if defined(__GNUC__)
#define FLATTEN __attribute__((flatten))
#else
#define FLATTEN
#endif

namespace engine {
namespace {

// The integrand is a template argument, a constant the compiler inlines into
// the rule: the catalogue's pointer is not called point by point.
template <Integrand f, class Sum>
double apply(Rule rule, double a, double b, int n, const Sum& sum)
{
    const auto g = [](double x) { return f(x); };
    switch (rule) {
    case Rule::simpson:
        return simpson(a, b, n, g, sum);
    case Rule::rectangle:
        return rectangle(a, b, n, g, sum);
    case Rule::midpoint:
        return midpoint(a, b, n, g, sum);
    case Rule::right_rectangle:
        return right_rectangle(a, b, n, g, sum);
    case Rule::trapezoid:
        break;
    }
    return trapezoid(a, b, n, g, sum);
}

// apply<> for the k-th entry of the catalogue, one instance per entry, each
// called directly so that flatten inlines it into every build.
template <class Sum, std::size_t K = 0>
double apply_entry(std::size_t k, Rule rule, double a, double b, int n, const Sum& sum)
{
    if constexpr (K + 1 < integrand_count) {
        if (k != K)
            return apply_entry<Sum, K + 1>(k, rule, a, b, n, sum);
    }
    return apply<integrand_catalogue[K].f>(rule, a, b, n, sum);
}

FLATTEN WIDEST double alone_widest(std::size_t k, Rule rule, double a, double b, int n, Progress progress)
{
    return apply_entry(k, rule, a, b, n, Alone{progress});
}

FLATTEN UP_TO_AVX2 double alone_up_to_avx2(std::size_t k, Rule rule, double a, double b, int n, Progress progress)
{
    return apply_entry(k, rule, a, b, n, Alone{progress});
}

FLATTEN WIDEST void evaluate_widest(std::size_t k, Rule rule, double a, double b, int n, Ring* ring)
{
    apply_entry(k, rule, a, b, n, Evaluate{ring});
}

FLATTEN WIDEST double chain_widest(std::size_t k, Rule rule, double a, double b, int n, Ring* ring)
{
    return apply_entry(k, rule, a, b, n, Chain{ring});
}

FLATTEN UP_TO_AVX2 double chain_up_to_avx2(std::size_t k, Rule rule, double a, double b, int n, Ring* ring)
{
    return apply_entry(k, rule, a, b, n, Chain{ring});
}

bool amd_with_avx512()
{
#if HAS_CLONES
    __builtin_cpu_init();
    return __builtin_cpu_is("amd") && __builtin_cpu_supports("x86-64-v4");
#else
    return false;
#endif
}

} // namespace

double integrate_with(Width width, Rule rule, std::size_t k, double a, double b, int n, Progress progress)
{
    if (width == Width::widest)
        return alone_widest(k, rule, a, b, n, progress);
    return alone_up_to_avx2(k, rule, a, b, n, progress);
}

namespace {

// The threads of one run, joined however the run ends: none is about
// while a record is written with its signals held.
struct Joined {
    std::vector<std::thread> threads;
    Joined() = default;
    Joined(const Joined&) = delete;
    Joined& operator=(const Joined&) = delete;
    ~Joined()
    {
        for (std::thread& t : threads)
            if (t.joinable())
                t.join();
    }
};

// As many threads as asked for, or as many as start: the calling thread
// evaluates whatever no thread claims.
template <class Start>
void start_workers(Joined& workers, int count, const Start& start)
{
    try {
        for (int w = 0; w < count; ++w)
            workers.threads.push_back(start());
    } catch (const std::system_error&) {
    }
}

// Each thread's room for a program's points and registers, kept from run
// to run.
thread_local std::vector<double> scratch;

template <class Sum>
double apply_program(Rule rule, const expr::Program& f, double a, double b, int n, const Sum& sum)
{
    switch (rule) {
    case Rule::simpson:
        return simpson_of(a, b, n, f, sum);
    case Rule::rectangle:
        return rectangle_of(a, b, n, f, sum);
    case Rule::midpoint:
        return midpoint_of(a, b, n, f, sum);
    case Rule::right_rectangle:
        return right_rectangle_of(a, b, n, f, sum);
    case Rule::trapezoid:
        break;
    }
    return trapezoid_of(a, b, n, f, sum);
}

int cores()
{
    static const int count = static_cast<int>(std::thread::hardware_concurrency());
    return count;
}

} // namespace

double integrate_shared(Width width, Sharing sharing, Rule rule, std::size_t k, double a, double b, int n,
                        Progress progress)
{
    if (sharing.workers < 1 || n < sharing.threshold)
        return integrate_with(width, rule, k, a, b, n, progress);
    const auto ring = std::make_unique<Ring>();
    ring->progress = progress;
    Joined workers;
    start_workers(workers, sharing.workers,
                  [&] { return std::thread(evaluate_widest, k, rule, a, b, n, ring.get()); });
    if (width == Width::widest)
        return chain_widest(k, rule, a, b, n, ring.get());
    return chain_up_to_avx2(k, rule, a, b, n, ring.get());
}

// Other threads pay only where a subinterval's values cost more to compute
// than the chain's addition, and only in a run long enough to repay starting
// them (tens of microseconds, more on a virtual machine). So the least n
// differs by rule and integrand, and each entry of the catalogue has its
// own: sqrt(sin x) repays them from 2^16 points, the cheap polynomials under
// Simpson's rule only from millions. Where one thread already runs within
// about a fifth of its floor they never start: there they would only add the
// ring's traffic. The calling thread adds and evaluates too, so one core
// fewer than there are evaluates beside it.
Sharing chosen_sharing(Rule rule, const IntegrandEntry& e)
{
    const int log2_n = e.threads_from[static_cast<int>(rule)];
    if (log2_n == 0 || cores() < 2)
        return Sharing{0, 0};
    return Sharing{cores() - 1, 1 << log2_n};
}

double* program_scratch(const expr::Program& f, std::size_t points)
{
    const std::size_t size = points + f.scratch_size();
    if (scratch.size() < size)
        scratch.resize(size);
    return scratch.data();
}

FLATTEN WIDEST void ProgramPoints::fill(double* out, long long first, int count) const
{
    double* x = program_scratch(*f, width);
    double* registers = x + width;
    for (int done = 0; done < count; done += width) {
        const int m = std::min(width, count - done);
        ENGINE_LANES
        for (int j = 0; j < m; ++j)
            x[j] = point((double)(first + done + j) + offset, h, a);
        f->run(x, out + done, m, registers);
        if (!twice)
            continue;
        ENGINE_LANES
        for (int j = 0; j < m; ++j)
            out[done + j] = doubled(out[done + j]);
    }
}

// A panel's end is its own point, 2h + x, yet it is most often the very
// double the next panel starts from: there its value is that one, computed
// once (the same double gives the same value); only the ends that differ
// from the next first point, in any bit, are evaluated on their own. Sorting
// them out is a scalar pass of a few cycles a panel, more than a short
// program without a call of the library costs a point: such a program runs
// on every end instead (README's Speed section has the measurements).
constexpr int most_passes_run_on_every_end = 3;

FLATTEN WIDEST void ProgramPanels::fill(double* out, long long first, int count) const
{
    const bool every_end = !f->calls_library() && f->passes() <= most_passes_run_on_every_end;
    double* x0 = program_scratch(*f, 9 * width + 2); // each panel's first point, and the next block's
    double* xm = x0 + width + 1;
    double* xe = xm + width;
    double* y0 = xe + width;
    double* ym = y0 + width + 1;
    double* ye = ym + width;
    double* apart = ye + width; // the ends that are not the next first point
    double* at_apart = apart + width;
    double* which = at_apart + width; // the panel of each, as a double
    double* registers = which + width;
    for (int done = 0; done < count; done += width) {
        const int m = std::min(width, count - done);
        ENGINE_LANES
        for (int j = 0; j <= m; ++j)
            x0[j] = point(2.0 * (double)(first + done + j), h, a);
        ENGINE_LANES
        for (int j = 0; j < m; ++j) {
            xm[j] = panel_middle(x0[j], h);
            xe[j] = panel_end(x0[j], h);
        }
        f->run(x0, y0, m, registers);
        f->run(xm, ym, m, registers);
        if (every_end) {
            f->run(xe, ye, m, registers);
        } else {
            f->run(x0 + m, y0 + m, 1, registers);
            int odd = 0;
            for (int j = 0; j < m; ++j) {
                if (expr::same_double(xe[j], x0[j + 1])) {
                    ye[j] = y0[j + 1];
                } else {
                    apart[odd] = xe[j];
                    which[odd] = j;
                    ++odd;
                }
            }
            f->run(apart, at_apart, odd, registers);
            for (int k = 0; k < odd; ++k)
                ye[static_cast<int>(which[k])] = at_apart[k];
        }
        ENGINE_LANES
        for (int j = 0; j < m; ++j)
            out[done + j] = simpson_panel(y0[j], ym[j], ye[j]);
    }
}

double program_at_point(const expr::Program& f, double x)
{
    double y = 0.0;
    f.run(&x, &y, 1, program_scratch(f, 0));
    return y;
}

double integrate_program(Sharing sharing, Rule rule, const expr::Program& f, double a, double b, int n,
                         Progress progress)
{
    if (sharing.workers < 1 || n < sharing.threshold)
        return apply_program(rule, f, a, b, n, Alone{progress});
    const auto ring = std::make_unique<Ring>();
    ring->progress = progress;
    Joined workers;
    start_workers(workers, sharing.workers, [&] {
        return std::thread([&] { apply_program(rule, f, a, b, n, Evaluate{ring.get()}); });
    });
    return apply_program(rule, f, a, b, n, Chain{ring.get()});
}

// A typed function's cost is not known beforehand: what its program does
// tells. One that calls the C library (sin, exp, pow) costs like sqrt(sin x)
// and repays threads from 2^16 points; one of many passes (a polynomial of
// high degree) from 2^18; a few passes run near the chain's floor alone.
Sharing program_sharing(Rule, const expr::Program& f)
{
    if (cores() < 2)
        return Sharing{0, 0};
    if (f.calls_library())
        return Sharing{cores() - 1, 1 << 16};
    return Sharing{cores() - 1, 1 << 18};
}

// The widest unit does not always win: on Intel's AVX-512 processors the
// scalar additions of the chain slow down beside 512-bit work on the same
// core, so there the rules bound by that chain stop at AVX2 when they run
// alone; Simpson's rule and f0, bound by the evaluation, and every rule on
// AMD's AVX-512 cores take the widest. README's Speed section has the
// measurements.
Width chosen_width(Rule rule, const IntegrandEntry& e)
{
    static const bool wide_chain = amd_with_avx512();
    const bool evaluation_bound = rule == Rule::simpson || e.f == f0;
    if (evaluation_bound || wide_chain)
        return Width::widest;
    return Width::up_to_avx2;
}

const char* variant()
{
#if HAS_CLONES
    __builtin_cpu_init();
    if (amd_with_avx512())
        return "x86-64-v4 (AMD): AVX-512 for every rule";
    if (__builtin_cpu_supports("x86-64-v4"))
        return "x86-64-v4: AVX-512 for Simpson and f0, AVX2 for the rest, AVX-512 beside the chain";
    if (__builtin_cpu_supports("x86-64-v3"))
        return "x86-64-v3: AVX2";
    return "x86-64: SSE2";
#else
    return "one portable build";
#endif
}

} // namespace engine
