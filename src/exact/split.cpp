// R*, the rule summed in double-double over the program's own double points:
// the integrand at each point to about 106 bits, the sums likewise, and the
// final multiplication by h exact (exact.cpp).
#include <algorithm>
#include <cstdint>

#include "exact.h"
#include "exact_detail.h"

namespace {

using dd::DD;

// pi/2 in four doubles: 53 bits each, about 215 bits in all, enough for
// k*pi/2 with k up to 2^55 to leave the remainder to double-double accuracy.
constexpr double pi_2[4] = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54, -0x1.f1976b7ed8fbcp-110,
                            0x1.4cf98e804177dp-164};
// pi/256 in three doubles, the first two of 43 bits: j times each is exact
// for |j| < 1024.
constexpr double pi_256[3] = {0x1.921fb54442c00p-7, 0x1.18469898cc400p-51, 0x1.1701b839a2520p-95};
constexpr double two_over_pi = 0x1.45f306dc9c883p-1;
constexpr double over_pi_256 = 0x1.45f306dc9c883p+6;
// 1/6, 1/120 and 1/24 in double-double
constexpr DD sixth = {0x1.5555555555555p-3, 0x1.5555555555555p-57};
constexpr DD over_120 = {0x1.1111111111111p-7, 0x1.1111111111111p-63};
constexpr DD over_24 = {0x1.5555555555555p-5, 0x1.5555555555555p-59};

// An integer near v, ties to even: adding 1.5 * 2^52 leaves no fraction
// bits. Beyond 2^52 v is an integer already and at most a few units move.
inline double near_integer(double v)
{
    return std::copysign((std::fabs(v) + 0x1.8p52) - 0x1.8p52, v);
}

// sin x to double-double accuracy, also next to a multiple of pi, where the
// value is tiny and its square root brings its relative error to light.
// x = k*pi/2 + r with pi/2 to 215 bits; r = j*pi/256 + t, |t| <= pi/512;
// then sin x from the table at k*128 + j and short series in t.
inline DD sine(double x, const DD* table)
{
    // Consecutive doubles there lie more than pi apart: never a point of an
    // interval where sqrt(sin x) is real, other than one that h = 0 collapses.
    if (!(std::fabs(x) < 0x1p55))
        return {NAN, NAN};
    const double k = near_integer(x * two_over_pi);
    const DD ks = dd::split(k);
    const DD p1 = dd::two_prod(k, ks, pi_2[0], dd::split(pi_2[0]));
    const DD p2 = dd::two_prod(k, ks, pi_2[1], dd::split(pi_2[1]));
    const DD p3 = dd::two_prod(k, ks, pi_2[2], dd::split(pi_2[2]));
    // x and k*pi/2 lie within a factor 2 of each other (or k = 0): exact.
    DD r = {x - p1.hi, 0.0};
    r = dd::add(r, -p1.lo);
    r = dd::add(r, -p2.hi);
    r = dd::add(r, -p2.lo);
    r = dd::add(r, -p3.hi);
    r = dd::add(r, -p3.lo);
    r = dd::add(r, -(k * pi_2[3]));
    const double j = near_integer(r.hi * over_pi_256);
    DD t = {r.hi - j * pi_256[0], 0.0}; // exact as above
    t = dd::add(t, r.lo);
    t = dd::add(t, -(j * pi_256[1]));
    t = dd::add(t, -(j * pi_256[2]));
    const auto index = static_cast<std::uint64_t>(static_cast<std::int64_t>(k)) * 128u +
                       static_cast<std::uint64_t>(static_cast<std::int64_t>(j));
    const DD s = table[index & 511u];
    const DD c = table[(index + 128u) & 511u];
    // |t| <= 2^-7.3: the terms past z^2 need double only.
    const DD z = dd::mul(t, t);
    const double zh = z.hi;
    const double sine_tail = zh * (-1.0 / 5040 + zh * (1.0 / 362880 - zh * (1.0 / 39916800)));
    DD sine_t = dd::mul(dd::add(dd::mul(dd::add(over_120, sine_tail), z), dd::neg(sixth)), z);
    sine_t = dd::add(t, dd::mul(sine_t, t)); // sin t
    const double cosine_tail = zh * (-1.0 / 720 + zh * (1.0 / 40320 - zh * (1.0 / 3628800)));
    const DD cosine_t_1 = dd::mul(dd::add(dd::mul(dd::add(over_24, cosine_tail), z), -0.5), z); // cos t - 1
    // sin(a + t) = sin a + (sin a (cos t - 1) + cos a sin t): where sin a is
    // 0, cos a is exactly +-1 and the tiny sin x keeps all its digits.
    return dd::add(s, dd::add(dd::mul(s, cosine_t_1), dd::mul(c, sine_t)));
}

// The polynomial at x by Horner's scheme in double-double: the mathematical
// value to about 106 bits of its largest term.
inline DD polynomial(const exact_detail::Polynomial& p, double x)
{
    const DD xs = dd::split(x);
    DD v = {p.c[p.degree], 0.0};
    for (int k = p.degree - 1; k >= 0; --k) {
        const DD product = dd::two_prod(v.hi, dd::split(v.hi), x, xs);
        v = dd::add(dd::quick_two_sum(product.hi, product.lo + v.lo * x), p.c[k]);
    }
    return v;
}

// f at the points (double)i * h + a for i = first, first + step, ...: count
// of them, summed in blocks so that the rounding of the sum stays far below
// that of any term.
template <class F>
DD sum_points(const F& f, double a, double h, long long first, long long step, long long count)
{
    DD total = {0.0, 0.0};
    for (long long i = 0; i < count;) {
        const long long end = std::min(count, i + 1024);
        DD block = {0.0, 0.0};
        for (; i < end; ++i)
            block = dd::add(block, f(static_cast<double>(first + i * step) * h + a));
        total = dd::add(total, block);
    }
    return total;
}

// The last sum of the inner points, for this thread: tables ask for n after
// n/2, and for all three rules at each n.
struct InnerSum {
    char key = 0;
    double a = 0.0;
    double b = 0.0;
    long long n = 0;
    DD sum = {0.0, 0.0};
};
thread_local InnerSum last_inner;

// f at the inner points i*h + a, i = 1, ..., n-1. Where h of n/2 is exactly
// 2h the even points are those of n/2: their sum is taken from n/2 and only
// the odd points are new. The grouping follows from n, a and b alone, never
// from what was asked before, so the result is the same bit for bit.
template <class F>
DD inner_sum(const F& f, char key, double a, double b, long long n)
{
    const InnerSum& c = last_inner;
    if (c.n == n && c.key == key && c.a == a && c.b == b)
        return c.sum;
    const double h = (b - a) / static_cast<double>(n);
    DD sum = {0.0, 0.0};
    if (n % 2 == 0 && (b - a) / static_cast<double>(n / 2) == 2.0 * h)
        sum = dd::add(inner_sum(f, key, a, b, n / 2), sum_points(f, a, h, 1, 2, n / 2));
    else
        sum = sum_points(f, a, h, 1, 1, n - 1);
    last_inner = {key, a, b, n, sum};
    return sum;
}

template <class F>
Split split_with(const F& f, Rule rule, char key, double a, double b, int n, double result,
                 const Integral& integral)
{
    // Each rule's sum over the points of quadrature.h, with its h.
    const long long m = rule == Rule::simpson && n % 2 == 1 ? static_cast<long long>(n) + 1 : n;
    const double h = (b - a) / static_cast<double>(m);
    // h = 0 makes R* exactly 0, whatever f is at a.
    if (h == 0.0)
        return exact_detail::finish_split(integral, h, DD{0.0, 0.0}, 1.0, result);
    if (rule == Rule::simpson) {
        DD ends = {0.0, 0.0};
        DD middles = {0.0, 0.0};
        for (long long k = 0; k < m / 2; ++k) {
            const double x = (2.0 * static_cast<double>(k)) * h + a;
            ends = dd::add(ends, f(x));
            middles = dd::add(middles, f(x + h));
            ends = dd::add(ends, f(2.0 * h + x));
        }
        return exact_detail::finish_split(integral, h, dd::add(ends, DD{4.0 * middles.hi, 4.0 * middles.lo}), 3.0,
                                          result);
    }
    const DD inner = inner_sum(f, key, a, b, n);
    if (rule == Rule::rectangle)
        return exact_detail::finish_split(integral, h, dd::add(inner, f(0.0 * h + a)), 1.0, result);
    const DD twice = {2.0 * inner.hi, 2.0 * inner.lo};
    return exact_detail::finish_split(integral, h, dd::add(dd::add(twice, f(a)), f(b)), 2.0, result);
}

} // namespace

Split split_error(Rule rule, const IntegrandEntry& e, double a, double b, int n, double result,
                  const Integral& integral)
{
    if (n < 1 || integral.kind != IntegralKind::real || !std::isfinite(result))
        return {};
    if (const exact_detail::Polynomial* p = exact_detail::polynomial_of(e.key))
        return split_with([p](double x) { return polynomial(*p, x); }, rule, e.key, a, b, n, result, integral);
    if (e.key == 'a') {
        const DD* table = exact_detail::sine_table();
        return split_with([table](double x) { return dd::sqrt(sine(x, table)); }, rule, e.key, a, b, n, result,
                          integral);
    }
    return {};
}
