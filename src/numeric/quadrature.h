// The three composite rules on n equal subintervals of [a, b].
//
// Each result is fixed to the last bit by one order of IEEE double
// operations: every point is recomputed from its index as (double)i * h + a
// (never accumulated), and the sum is a single chain of additions in index
// order. Nothing here may reassociate that chain. What may run ahead is the
// evaluation of the integrand: the values at a block of independent points
// are computed together (lane by lane the same operations, so the compiler
// may vectorise them) and then added to the sum one by one, in order.
#pragma once

#include "integrands.h"

enum class Rule { simpson, rectangle, trapezoid };

// How far a long run is: told between chunks of points, never inside the
// chain of additions, so that a caller can show it without a thread, a timer
// or a signal. `report` may be null: nobody asked.
struct Progress {
    void (*report)(void* context, long long done, long long total) = nullptr;
    void* context = nullptr;
};

// The rule applied to the catalogue's integrand `e`, compiled for this
// processor's vector unit. Bit-identical to the templates below.
double integrate(Rule rule, const IntegrandEntry& e, double a, double b, int n, Progress progress = {});

// The two builds of the rules, for tests and the benchmark: the widest vector
// unit the processor has, or at most 256-bit vectors (AVX2). Where no
// processor-specific builds exist, both are the one portable build.
enum class Width { widest, up_to_avx2 };
double integrate_with(Width width, Rule rule, const IntegrandEntry& e, double a, double b, int n,
                      Progress progress = {});
// The build integrate() takes for this rule and integrand on this processor.
Width chosen_width(Rule rule, const IntegrandEntry& e);

// Which compiled variant integrate() runs on this processor.
const char* integrate_variant();

namespace quadrature_detail {

// The values of a block are independent, lane by lane the same operations:
// the compiler is told to vectorise them (the build adds -fopenmp-simd).
#if defined(INTEGRATE_OMP_SIMD)
#define QUADRATURE_LANES _Pragma("omp simd simdlen(8)")
#else
#define QUADRATURE_LANES
#endif

constexpr int block = 16;
constexpr double offsets[block] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
// Progress is told every 2^20 points: milliseconds apart, far too rare to cost.
constexpr int chunk = 1 << 20;

// value(count-1) + (... + (value(1) + (value(0) + 0.0))): one chain of
// additions in index order, the values computed a block ahead.
// value() takes the index as a double, exact for any int; a double counter
// saves the processor an integer conversion per point.
template <class Value>
inline double sum_in_order(int count, Value value, Progress progress)
{
    double sum = 0.0;
    for (int first = 0; first < count;) {
        const int last = count - first > chunk ? first + chunk : count;
        int k = first;
        for (const int full = last - (last - first) % block; k < full; k += block) {
            double y[block];
            const double start = (double)k;
            QUADRATURE_LANES
            for (int j = 0; j < block; ++j)
                y[j] = value(start + offsets[j]);
            for (int j = 0; j < block; ++j)
                sum = y[j] + sum;
        }
        for (; k < last; ++k)
            sum = value((double)k) + sum;
        first = last;
        if (progress.report != nullptr)
            progress.report(progress.context, last, count);
    }
    return sum;
}

} // namespace quadrature_detail

// Left endpoints: h * (f(x_{n-1}) + (... + (f(x_0) + 0.0))).
// With a > b the points run from a down, so these are the right ends of the
// subintervals of [b, a]; the result is not the negation of the swapped one.
template <class F>
inline double rectangle_rule(double a, double b, int n, F f, Progress progress = {})
{
    const double h = (b - a) / (double)n;
    const double sum =
        quadrature_detail::sum_in_order(n > 0 ? n : 0, [&](double i) { return f(i * h + a); }, progress);
    return sum * h;
}

// Inner points doubled and summed first; f(a), then f(b), are evaluated
// after the loop at a and b themselves (not at n * h + a, which can differ
// from b in the last bit).
template <class F>
inline double trapezoid_rule(double a, double b, int n, F f, Progress progress = {})
{
    const double h = (b - a) / (double)n;
    const double sum = quadrature_detail::sum_in_order(
        n > 1 ? n - 1 : 0, [&](double k) { return f((k + 1.0) * h + a) * 2.0; }, progress);
    const double fa = f(a);
    const double fb = f(b);
    const double t = fa + sum;
    return ((t + fb) * h) / 2.0;
}

// One panel per pair of subintervals: (f(x) + 4 f(x + h)) + f(2h + x), with
// x = i * h + a. A positive odd n is raised by one (INT_MAX to 2^31, hence
// the wide count); a negative n runs no panel. The shared point of two
// panels is evaluated twice, at abscissae that may differ in the last bit.
template <class F>
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): (a, b, n, f) is the shape all three rules share
inline double simpson_rule(double a, double b, int n, F f, Progress progress = {})
{
    const long long m = n % 2 == 1 ? (long long)n + 1 : n;
    const double h = (b - a) / (double)m;
    const double sum = quadrature_detail::sum_in_order(m > 1 ? (int)(m / 2) : 0, [&](double k) {
        const double x = (2.0 * k) * h + a;
        const double y0 = f(x);
        const double y1 = f(x + h);
        const double t = y0 + y1 * 4.0;
        const double y2 = f(2.0 * h + x);
        return t + y2;
    }, progress);
    return (sum * h) / 3.0;
}
