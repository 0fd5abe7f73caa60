#include "quadrature.h"

#include <utility>

// GCC on x86-64 ELF builds integrate() three times and picks one per
// processor when the program loads; the rules' arithmetic is the same in each
// (no contraction, no reassociation), only the width of the evaluation
// differs. Elsewhere one plain build serves.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) && __GNUC__ >= 12
#define INTEGRATE_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#define INTEGRATE_HAS_CLONES 1
#else
#define INTEGRATE_CLONES
#define INTEGRATE_HAS_CLONES 0
#endif

#if defined(__GNUC__)
#define INTEGRATE_INLINE inline __attribute__((always_inline))
#else
#define INTEGRATE_INLINE inline
#endif

namespace {

// The integrand is a template argument, a constant the compiler inlines into
// the rule; the function pointer of the catalogue is never called per point.
template <Integrand f>
INTEGRATE_INLINE double apply(Rule rule, double a, double b, int n)
{
    const auto g = [](double x) { return f(x); };
    switch (rule) {
    case Rule::simpson:
        return simpson_rule(a, b, n, g);
    case Rule::rectangle:
        return rectangle_rule(a, b, n, g);
    case Rule::trapezoid:
        break;
    }
    return trapezoid_rule(a, b, n, g);
}

template <std::size_t... K>
INTEGRATE_INLINE double apply_entry(std::size_t k, Rule rule, double a, double b, int n, std::index_sequence<K...>)
{
    double res = 0.0;
    const bool found = ((k == K && (res = apply<integrand_catalogue[K].f>(rule, a, b, n), true)) || ...);
    (void)found;
    return res;
}

} // namespace

INTEGRATE_CLONES double integrate_at(std::size_t k, Rule rule, double a, double b, int n)
{
    return apply_entry(k, rule, a, b, n, std::make_index_sequence<integrand_count>{});
}

double integrate(Rule rule, const IntegrandEntry& e, double a, double b, int n)
{
    std::size_t k = 0;
    while (k + 1 < integrand_count && integrand_catalogue[k].key != e.key)
        ++k;
    return integrate_at(k, rule, a, b, n);
}

const char* integrate_variant()
{
#if INTEGRATE_HAS_CLONES
    __builtin_cpu_init();
    if (__builtin_cpu_supports("x86-64-v4"))
        return "x86-64-v4 (AVX-512)";
    if (__builtin_cpu_supports("x86-64-v3"))
        return "x86-64-v3 (AVX2)";
    return "x86-64 (SSE2)";
#else
    return "single build";
#endif
}
