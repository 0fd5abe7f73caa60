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

// The threads live for one run: they are joined before it returns, so none
// is about while a record is written with its signals held.
double integrate_shared(Width width, Sharing sharing, Rule rule, std::size_t k, double a, double b, int n,
                        Progress progress)
{
    if (sharing.workers < 1 || n < sharing.threshold)
        return integrate_with(width, rule, k, a, b, n, progress);
    const auto ring = std::make_unique<Ring>();
    ring->progress = progress;
    std::vector<std::thread> workers;
    try {
        for (int w = 0; w < sharing.workers; ++w)
            workers.emplace_back(evaluate_widest, k, rule, a, b, n, ring.get());
    } catch (const std::system_error&) {
        // Fewer threads, or none: the calling thread evaluates what no thread claims.
    }
    double result = 0.0;
    if (width == Width::widest)
        result = chain_widest(k, rule, a, b, n, ring.get());
    else
        result = chain_up_to_avx2(k, rule, a, b, n, ring.get());
    for (std::thread& t : workers)
        t.join();
    return result;
}

// Other threads pay only where a subinterval's values cost more to compute
// than the chain's addition, and only in a run long enough to repay starting
// them (tens of microseconds, more on a virtual machine). So the least n
// differs by rule and integrand: sqrt(sin x) repays them from 2^16 points,
// the cheap polynomials under Simpson's rule only from millions. Where one
// thread already runs within about a fifth of its floor (the rectangle rule
// on f1 to f9, the trapezoid rule on all of them but f6, Simpson's rule on
// f2, f3 and f5) they never start: there they would only add the ring's
// traffic. The calling thread adds and evaluates too, so one core fewer than
// there are evaluates beside it. README's Speed section has the measurements.
namespace {

struct Repaid {
    char label;
    int simpson;   // log2 of the least n; 0: never
    int rectangle;
    int trapezoid;
};
constexpr Repaid repaid_from[] = {
    {'1', 22, 0, 0},  {'2', 0, 0, 0},   {'3', 0, 0, 0},   {'4', 22, 0, 0},
    {'5', 0, 0, 0},   {'6', 18, 0, 20}, {'7', 20, 0, 0},  {'8', 20, 0, 0},
    {'9', 20, 0, 0},  {'0', 16, 18, 18}, {'A', 16, 16, 16},
};

} // namespace

Sharing chosen_sharing(Rule rule, const IntegrandEntry& e)
{
    static const int cores = static_cast<int>(std::thread::hardware_concurrency());
    Sharing sharing{0, 0};
    for (const Repaid& r : repaid_from) {
        if (r.label != e.label)
            continue;
        int log2_n = r.trapezoid;
        if (rule == Rule::simpson)
            log2_n = r.simpson;
        if (rule == Rule::rectangle)
            log2_n = r.rectangle;
        if (log2_n > 0) {
            sharing.workers = cores - 1;
            sharing.threshold = 1 << log2_n;
        }
    }
    if (sharing.workers < 0)
        sharing.workers = 0;
    return sharing;
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
