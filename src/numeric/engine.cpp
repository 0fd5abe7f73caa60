#include "engine.h"

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
template <Integrand f>
double apply(Rule rule, double a, double b, int n, Progress progress)
{
    const auto g = [](double x) { return f(x); };
    switch (rule) {
    case Rule::simpson:
        return simpson(a, b, n, g, progress);
    case Rule::rectangle:
        return rectangle(a, b, n, g, progress);
    case Rule::trapezoid:
        break;
    }
    return trapezoid(a, b, n, g, progress);
}

// apply<> for the k-th entry of the catalogue, one instance per entry, each
// called directly so that flatten inlines it into every build.
template <std::size_t K = 0>
double apply_entry(std::size_t k, Rule rule, double a, double b, int n, Progress progress)
{
    if constexpr (K + 1 < integrand_count) {
        if (k != K)
            return apply_entry<K + 1>(k, rule, a, b, n, progress);
    }
    return apply<integrand_catalogue[K].f>(rule, a, b, n, progress);
}

FLATTEN WIDEST double widest(std::size_t k, Rule rule, double a, double b, int n, Progress progress)
{
    return apply_entry(k, rule, a, b, n, progress);
}

FLATTEN UP_TO_AVX2 double up_to_avx2(std::size_t k, Rule rule, double a, double b, int n, Progress progress)
{
    return apply_entry(k, rule, a, b, n, progress);
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
        return widest(k, rule, a, b, n, progress);
    return up_to_avx2(k, rule, a, b, n, progress);
}

// The widest unit does not always win: on Intel's AVX-512 processors the
// scalar additions of the chain slow down beside 512-bit work, so the rules
// bound by that chain stop at AVX2 there; Simpson's rule and f0, bound by
// the evaluation, and every rule on AMD's AVX-512 cores take the widest.
// README's Speed section has the measurements.
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
        return "x86-64-v4: AVX-512 for Simpson and f0, AVX2 for the rest";
    if (__builtin_cpu_supports("x86-64-v3"))
        return "x86-64-v3: AVX2";
    return "x86-64: SSE2";
#else
    return "one portable build";
#endif
}

} // namespace engine
