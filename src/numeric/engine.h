// The engine behind integrate(), internal to the numeric library; its tests
// and the benchmark look inside.
//
// The sum is one chain of additions in index order, which nothing may
// reassociate. What may run ahead is the evaluation of the integrand: the
// values at a block of independent points are computed together (lane by
// lane the same operations, so the compiler may vectorise them) and then
// added to the sum one by one, in order.
#pragma once

#include <cstddef>

#include "quadrature.h"

namespace engine {

// The values of a block are independent: the compiler is told to vectorise
// them where the library is built with -fopenmp-simd.
#if defined(INTEGRATE_OMP_SIMD)
#define ENGINE_LANES _Pragma("omp simd simdlen(8)")
#else
#define ENGINE_LANES
#endif

constexpr int block = 16;
constexpr double offsets[block] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
// Progress is told every 2^20 points: milliseconds apart, far too rare to cost.
constexpr int chunk = 1 << 20;

// value(count-1) + (... + (value(1) + (value(0) + 0.0))). value() takes the
// index as a double, exact for any int: a double counter saves the processor
// an integer conversion per point.
template <class Value>
inline double sum_in_order(int count, Value value, Progress progress)
{
    double sum = 0.0;
    for (int first = 0; first < count;) {
        int last = count;
        if (count - first > chunk)
            last = first + chunk;
        int k = first;
        for (const int full = last - (last - first) % block; k < full; k += block) {
            double y[block];
            const double start = (double)k;
            ENGINE_LANES
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

// The plain rules' arithmetic, operation for operation, with the integrand a
// template argument the compiler inlines.
template <class F>
inline double rectangle(double a, double b, int n, F f, Progress progress)
{
    const double h = (b - a) / (double)n;
    const double sum = sum_in_order(n > 0 ? n : 0, [&](double i) { return f(i * h + a); }, progress);
    return sum * h;
}

template <class F>
inline double trapezoid(double a, double b, int n, F f, Progress progress)
{
    const double h = (b - a) / (double)n;
    const double sum =
        sum_in_order(n > 1 ? n - 1 : 0, [&](double k) { return f((k + 1.0) * h + a) * 2.0; }, progress);
    const double fa = f(a);
    const double fb = f(b);
    const double t = fa + sum;
    return ((t + fb) * h) / 2.0;
}

// Panels counted in an int: a raised INT_MAX has 2^30 of them.
template <class F>
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): (a, b, n, f) is the shape all three rules share
inline double simpson(double a, double b, int n, F f, Progress progress)
{
    const long long m = n % 2 == 1 ? (long long)n + 1 : n;
    const double h = (b - a) / (double)m;
    const int panels = m > 1 ? (int)(m / 2) : 0;
    const double sum = sum_in_order(panels, [&](double k) {
        const double x = (2.0 * k) * h + a;
        const double y0 = f(x);
        const double y1 = f(x + h);
        const double t = y0 + y1 * 4.0;
        const double y2 = f(2.0 * h + x);
        return t + y2;
    }, progress);
    return (sum * h) / 3.0;
}

// The builds of the engine: the widest vector unit the processor has, or at
// most 256-bit vectors (AVX2). Where no processor-specific builds exist, both
// are the one portable build.
enum class Width { widest, up_to_avx2 };

// The rule on the k-th integrand of the catalogue, in the given build.
double integrate_with(Width width, Rule rule, std::size_t k, double a, double b, int n, Progress progress = {});
// The build integrate() takes for this rule and integrand on this processor.
Width chosen_width(Rule rule, const IntegrandEntry& e);
// Which builds integrate() runs on this processor, in words.
const char* variant();

} // namespace engine
