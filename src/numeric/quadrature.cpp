#include "quadrature.h"

#include <utility>

// GCC on x86-64 ELF compiles the rules for several processors and picks one
// when the program loads; the arithmetic is the same in each (no
// contraction, no reassociation), only the width of the evaluation differs.
// flatten inlines the whole rule into each variant, so each vectorises it.
//
// Two families, because the widest unit does not always win. Measured on an
// AVX-512 Xeon (Intel, Emerald Rapids): while 512-bit operations run, the
// scalar additions of the sum lose their fast adder and the rectangle and
// trapezoid rules, bound by that chain, run 1.7 times slower; Simpson's rule
// (three evaluations for each addition) and the ninth-degree f0 are bound by
// the evaluation and run up to 1.5 times faster on 512 bits. So on Intel the
// chain-bound rules stop at AVX2.
//
// AMD's AVX-512 cores (Zen 4 and later) keep the scalar adder's pace beside
// 512-bit work, so there every rule takes the widest build. Measured on an
// AMD EPYC whose chain of additions costs 0.48 ns each, at n = 10^8 on
// [0, 2]: the widest build runs trapezoid f6 in 0.055 s instead of 0.078 s,
// rectangle f6 in 0.052 s instead of 0.069 s, f7 and f8 about 15 % faster,
// f1 and f0 alike. On this project's AMD EPYC (Zen 4, family 25 model 17),
// whose chain costs 0.82 ns an addition, every chain-bound rule runs within
// 20 % of that floor on either width (bench/, "other w." column: 0.84 to
// 0.98 ns per subinterval on 512 bits, 0.82 to 0.99 ns on AVX2, alike within
// the few per cent that repeated runs vary), so the choice costs nothing
// there.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) && \
    !defined(INTEGRATE_SINGLE_VARIANT)
#define WIDEST __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#define UP_TO_AVX2 __attribute__((target_clones("arch=x86-64-v3", "default")))
#define INTEGRATE_HAS_CLONES 1
#else
#define WIDEST
#define UP_TO_AVX2
#define INTEGRATE_HAS_CLONES 0
#endif
#if defined(__GNUC__)
#define FLATTEN __attribute__((flatten))
#else
#define FLATTEN
#endif

namespace {

// The integrand is a template argument, a constant the compiler inlines into
// the rule: the catalogue's function pointer is not called point by point.
template <Integrand f>
double apply(Rule rule, double a, double b, int n, Progress progress)
{
    const auto g = [](double x) { return f(x); };
    switch (rule) {
    case Rule::simpson:
        return simpson_rule(a, b, n, g, progress);
    case Rule::rectangle:
        return rectangle_rule(a, b, n, g, progress);
    case Rule::trapezoid:
        break;
    }
    return trapezoid_rule(a, b, n, g, progress);
}

// apply<> for the k-th entry of the catalogue, one instance per entry.
template <std::size_t... K>
double apply_entry(std::size_t k, Rule rule, double a, double b, int n, Progress progress, std::index_sequence<K...>)
{
    double res = 0.0;
    (void)((k == K && (res = apply<integrand_catalogue[K].f>(rule, a, b, n, progress), true)) || ...);
    return res;
}

FLATTEN WIDEST double widest(std::size_t k, Rule rule, double a, double b, int n, Progress progress)
{
    return apply_entry(k, rule, a, b, n, progress, std::make_index_sequence<integrand_count>{});
}

FLATTEN UP_TO_AVX2 double up_to_avx2(std::size_t k, Rule rule, double a, double b, int n, Progress progress)
{
    return apply_entry(k, rule, a, b, n, progress, std::make_index_sequence<integrand_count>{});
}

bool amd_with_avx512()
{
#if INTEGRATE_HAS_CLONES
    __builtin_cpu_init();
    return __builtin_cpu_is("amd") && __builtin_cpu_supports("x86-64-v4");
#else
    return false;
#endif
}

} // namespace

double integrate_with(Width width, Rule rule, const IntegrandEntry& e, double a, double b, int n, Progress progress)
{
    std::size_t k = 0;
    while (k + 1 < integrand_count && integrand_catalogue[k].key != e.key)
        ++k;
    return width == Width::widest ? widest(k, rule, a, b, n, progress) : up_to_avx2(k, rule, a, b, n, progress);
}

Width chosen_width(Rule rule, const IntegrandEntry& e)
{
    static const bool wide_chain = amd_with_avx512();
    const bool evaluation_bound = rule == Rule::simpson || e.f == f0;
    return evaluation_bound || wide_chain ? Width::widest : Width::up_to_avx2;
}

double integrate(Rule rule, const IntegrandEntry& e, double a, double b, int n, Progress progress)
{
    return integrate_with(chosen_width(rule, e), rule, e, a, b, n, progress);
}

const char* integrate_variant()
{
#if INTEGRATE_HAS_CLONES
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
