// R*, the rule summed in double-double over the program's own double points:
// the integrand at each point to about 106 bits, the sums likewise, and the
// final multiplication by h exact (exact.cpp).
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "exact.h"
#include "exact_detail.h"
#include "rule_points.h"

namespace {

using dd::DD;

// pi/256 in six doubles, the first five of at most 26 bits: j times each is
// exact while |j| < 2^53 / 52707179 (the first's odd part), that is for |x|
// up to just below 2^21; the short way is taken below 2^20. About 180 bits
// in all.
constexpr double pi_256_short[6] = {0x1.921fb58000000p-7,   -0x1.dde9740000000p-34, 0x1.1a62630000000p-61,
                                    0x1.8a2e038000000p-88,  -0x1.f1976b8000000p-117, 0x1.27044533e63a0p-149};
// pi/2 in four doubles of 53 bits, about 215 bits, for k*pi/2 with k up to 2^55.
constexpr double pi_2[4] = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54, -0x1.f1976b7ed8fbcp-110,
                            0x1.4cf98e804177dp-164};
// pi/256 in three doubles, the first two of 43 bits: exact times |j| < 1024.
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

// x = j * pi/256 + t for |x| < 2^20, given j near x * 256/pi: |t| <= pi/512
// or a little more, and t to double-double accuracy also where it is tiny:
// next to a multiple of pi sin x is tiny, and its square root brings its
// relative error to light.
inline DD reduce_short(double x, double j)
{
    // x and j*pi/256 lie within a factor 2 of each other (or j = 0): exact.
    DD t = dd::two_sum(x - j * pi_256_short[0], -(j * pi_256_short[1]));
    for (int i = 2; i < 6; ++i)
        t = dd::add(t, -(j * pi_256_short[i]));
    return t;
}

// x = index * pi/256 + t as above, for any x. Returns the index.
inline std::uint64_t reduce(double x, DD& t)
{
    if (std::fabs(x) < 0x1p20) {
        const double j = near_integer(x * over_pi_256);
        t = reduce_short(x, j);
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(j));
    }
    // Consecutive doubles there lie more than pi apart: never a point of an
    // interval where sqrt(sin x) is real, other than one that h = 0 collapses.
    if (!(std::fabs(x) < 0x1p55)) {
        t = {NAN, NAN};
        return 0;
    }
    // First x = k*pi/2 + r, the products exact (Dekker), then r = j*pi/256 + t.
    const double k = near_integer(x * two_over_pi);
    const DD ks = dd::split(k);
    DD r = {0.0, 0.0};
    for (int i = 0; i < 3; ++i) {
        const DD p = dd::two_prod(k, ks, pi_2[i], dd::split(pi_2[i]));
        r = i == 0 ? DD{x - p.hi, 0.0} : dd::add(r, -p.hi); // the first exact as above
        r = dd::add(r, -p.lo);
    }
    r = dd::add(r, -(k * pi_2[3]));
    const double j = near_integer(r.hi * over_pi_256);
    t = dd::add(dd::add(DD{r.hi - j * pi_256[0], 0.0}, r.lo), -(j * pi_256[1]));
    t = dd::add(t, -(j * pi_256[2]));
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(k)) * 128u +
           static_cast<std::uint64_t>(static_cast<std::int64_t>(j));
}

// sin a and cos a from the table of sin(i * pi/256).
struct SinCos {
    DD s;
    DD c;
};

inline SinCos at_index(const DD* table, std::uint64_t i) { return {table[i & 511u], table[(i + 128u) & 511u]}; }

// sin(a + t) from sin a, cos a and short series in t.
inline DD sine(SinCos a, DD t)
{
    const DD& s = a.s;
    const DD& c = a.c;
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

// Points are taken a few at a time: their values are independent chains of
// dependent operations, which the processor overlaps.
constexpr int lanes = 8;

// Each way of evaluating gives a point's value and adds to `lost` a bound
// on that value's error.
//
// A polynomial at x by Horner's scheme in double-double, each rounding
// accounted for: exact where the points and coefficients let it be.
struct PolynomialAt {
    std::vector<DD> c; // from the constant term up

    DD operator()(double x, double& lost) const
    {
        const DD xs = dd::split(x);
        const std::size_t top = c.size() - 1;
        DD v = c[top];
        for (std::size_t k = top; k-- > 0;)
            v = dd::horner_step(v, x, xs, c[k], lost);
        return v;
    }

    // The same steps as above, the lanes interleaved.
    void at_lanes(const double* x, DD* y, double& lost) const
    {
        DD xs[lanes];
        const std::size_t top = c.size() - 1;
        for (int j = 0; j < lanes; ++j) {
            xs[j] = dd::split(x[j]);
            y[j] = c[top];
        }
        for (std::size_t k = top; k-- > 0;)
            for (int j = 0; j < lanes; ++j)
                y[j] = dd::horner_step(y[j], x[j], xs[j], c[k], lost);
    }
};

// sqrt(sin x) to some 98 bits of itself: the reduction keeps the digits of
// a tiny sine, the table and the series theirs.
constexpr double root_sine_relative = 0x1p-98;

struct RootSineAt {
    const DD* table; // sin(i * pi/256)

    DD operator()(double x, double& lost) const
    {
        DD t;
        const std::uint64_t i = reduce(x, t);
        const DD v = dd::sqrt(sine(at_index(table, i), t));
        lost += root_sine_relative * std::fabs(v.hi);
        return v;
    }

    // The same steps, in passes over the lanes that have no branch where
    // |x| < 2^20, so that they may run in vector registers.
    void at_lanes(const double* x, DD* y, double& lost) const
    {
        bool short_reduction = true;
        for (int l = 0; l < lanes; ++l)
            short_reduction = short_reduction && std::fabs(x[l]) < 0x1p20;
        if (!short_reduction) {
            for (int l = 0; l < lanes; ++l)
                y[l] = (*this)(x[l], lost);
            return;
        }
        double j[lanes];
        DD t[lanes];
        for (int l = 0; l < lanes; ++l) {
            j[l] = near_integer(x[l] * over_pi_256);
            t[l] = reduce_short(x[l], j[l]);
        }
        SinCos a[lanes];
        for (int l = 0; l < lanes; ++l)
            a[l] = at_index(table, static_cast<std::uint64_t>(static_cast<std::int64_t>(j[l])));
        for (int l = 0; l < lanes; ++l) {
            y[l] = dd::sqrt(sine(a[l], t[l]));
            lost += root_sine_relative * std::fabs(y[l].hi);
        }
    }
};

// Any other function, in 50 digits, each value rounded to double-double
// (half a unit of its 106th bit, and the 50 digits' own error, far below).
struct FineAt {
    std::shared_ptr<const exact_detail::FineValues> f;

    DD operator()(double x, double& lost) const
    {
        const DD v = exact_detail::fine_value(*f, x);
        lost += 0x1p-104 * std::fabs(v.hi);
        return v;
    }

    void at_lanes(const double* x, DD* y, double& lost) const
    {
        for (int l = 0; l < lanes; ++l)
            y[l] = (*this)(x[l], lost);
    }
};

// Sums added pairwise, as a binary counter adds ones: the rounding of the
// whole grows with the logarithm of their count, not with the count.
struct PairwiseSum {
    DD level[64] = {};
    unsigned long long count = 0;
    double lost = 0.0; // by the additions' roundings

    void add(DD v)
    {
        int k = 0;
        for (unsigned long long c = count; c % 2 == 1; c /= 2) {
            v = dd::add(level[k], v, lost);
            ++k;
        }
        level[k] = v;
        ++count;
    }

    DD total()
    {
        DD t = {0.0, 0.0};
        int k = 0;
        for (unsigned long long c = count; c != 0; c /= 2) {
            if (c % 2 == 1)
                t = dd::add(level[k], t, lost);
            ++k;
        }
        return t;
    }
};

// The points a split has evaluated, told to whoever shows progress.
struct Tally {
    Progress progress;
    long long done = 0;

    void add(long long points)
    {
        done += points;
        if (progress.report != nullptr)
            progress.report(progress.context, done, 0);
    }
};

// A sum of values and a bound on its error.
struct Summed {
    DD sum = {0.0, 0.0};
    double lost = 0.0;
};

Summed added(const Summed& p, const Summed& q)
{
    Summed s{p.sum, p.lost + q.lost};
    s.sum = dd::add(p.sum, q.sum, s.lost);
    return s;
}

Summed scaled(const Summed& p, double by) { return Summed{DD{by * p.sum.hi, by * p.sum.lo}, by * p.lost}; }

// The sum of f at point(0), ..., point(count - 1): blocks of 16 points to a
// lane, a sum for each lane, the blocks added pairwise.
template <class F, class Point>
Summed sum_over(const F& f, long long count, const Point& point, Tally& tally)
{
    PairwiseSum sum;
    double lost = 0.0;
    long long told = 0;
    for (long long i = 0; i < count;) {
        if (i - told >= 65536) {
            tally.add(i - told);
            told = i;
        }
        const long long end = std::min(count, i + 16LL * lanes);
        DD partial[lanes] = {};
        for (; i + lanes <= end; i += lanes) {
            double x[lanes];
            DD y[lanes];
            for (int j = 0; j < lanes; ++j)
                x[j] = point(i + j);
            f.at_lanes(x, y, lost);
            for (int j = 0; j < lanes; ++j)
                partial[j] = dd::add(partial[j], y[j], lost);
        }
        for (; i < end; ++i)
            partial[0] = dd::add(partial[0], f(point(i), lost), lost);
        sum.add(std::accumulate(std::begin(partial), std::end(partial), DD{0.0, 0.0},
                                [&lost](const DD& s, const DD& p) { return dd::add(s, p, lost); }));
    }
    tally.add(count - told);
    const DD total = sum.total();
    return Summed{total, lost + sum.lost};
}

// f at one point, as a sum of one.
template <class F>
Summed one(const F& f, double x)
{
    Summed s;
    s.sum = f(x, s.lost);
    return s;
}

// The sums of the inner points of this thread's last integrand and
// interval, by n: tables ask for n after n/2 (or before it), and for all
// three rules at each n. A few dozen are kept, enough for every halving.
// The integrand is known by its name (f5, or a typed function's text), so
// that a function typed anew is never taken for the one before.
struct InnerSums {
    std::string integrand;
    double a = 0.0;
    double b = 0.0;
    std::vector<std::pair<long long, Summed>> by_n;
};
thread_local InnerSums known;

// f at the inner points i*h + a, i = 1, ..., n-1. Where h of n/2 is exactly
// 2h the even points are those of n/2: their sum is taken from n/2 and only
// the odd points are new. The grouping follows from n, a and b alone, never
// from what was asked before, so the result is the same bit for bit.
template <class F>
Summed inner_sum(const F& f, const std::string& integrand, double a, double b, long long n, Tally& tally)
{
    if (known.integrand != integrand || known.a != a || known.b != b)
        known = {integrand, a, b, {}};
    for (const auto& [m, sum] : known.by_n)
        if (m == n)
            return sum;
    const double h = step(a, b, n);
    const long long half = n / 2;
    const bool nested = n % 2 == 0 && step(a, b, half) == 2.0 * h;
    Summed sum;
    if (nested)
        sum = added(inner_sum(f, integrand, a, b, half, tally),
                    sum_over(f, half, [=](long long i) { return point(static_cast<double>(2 * i + 1), h, a); }, tally));
    else
        sum = sum_over(f, n - 1, [=](long long i) { return point(static_cast<double>(i + 1), h, a); }, tally);
    if (known.by_n.size() == 64)
        known.by_n.erase(known.by_n.begin());
    known.by_n.emplace_back(n, sum);
    return sum;
}

// What the roundings lost, added in double: a little more covers the
// roundings of that addition too.
double bound_of(const Summed& s) { return s.lost * (1.0 + 0x1p-40); }

template <class F>
Split split_with(const F& f, Rule rule, const std::string& integrand, double a, double b, int n,
                 const Integral& integral, double result, Tally& tally)
{
    // Each rule's sum over its points (rule_points.h), with its h.
    long long m = n;
    if (rule == Rule::simpson)
        m = simpson_subintervals(n);
    const double h = step(a, b, m);
    // h = 0 makes R* exactly 0, whatever f is at a (past 2^55 sqrt(sin x) is
    // not evaluated at all).
    if (h == 0.0)
        return exact_detail::finish_split(integral, h, DD{0.0, 0.0}, 0.0, 1.0, result);
    if (rule == Rule::simpson) {
        // panel k: its first point, its middle (weight 4) and its end
        const auto x = [=](long long k) { return point(2.0 * static_cast<double>(k), h, a); };
        const Summed ends = sum_over(f, m, [=](long long i) { return i % 2 == 0 ? x(i / 2) : panel_end(x(i / 2), h); }, tally);
        const Summed middles = sum_over(f, m / 2, [=](long long k) { return panel_middle(x(k), h); }, tally);
        const Summed all = added(ends, scaled(middles, 4.0));
        return exact_detail::finish_split(integral, h, all.sum, bound_of(all), 3.0, result);
    }
    if (rule == Rule::midpoint) {
        const Summed all = sum_over(f, n, [=](long long i) { return middle_point(static_cast<double>(i), h, a); }, tally);
        return exact_detail::finish_split(integral, h, all.sum, bound_of(all), 1.0, result);
    }
    const Summed inner = inner_sum(f, integrand, a, b, n, tally);
    if (rule == Rule::right_rectangle) {
        const Summed all = added(inner, one(f, b));
        return exact_detail::finish_split(integral, h, all.sum, bound_of(all), 1.0, result);
    }
    if (rule == Rule::rectangle) {
        const Summed all = added(inner, one(f, point(0.0, h, a)));
        return exact_detail::finish_split(integral, h, all.sum, bound_of(all), 1.0, result);
    }
    const Summed all = added(added(scaled(inner, 2.0), one(f, a)), one(f, b));
    return exact_detail::finish_split(integral, h, all.sum, bound_of(all), 2.0, result);
}

} // namespace

Split split_error(Rule rule, const IntegrandEntry& e, double a, double b, int n, double result,
                  const Integral& integral, Progress progress)
{
    if (n < 1 || integral.kind != IntegralKind::real || !std::isfinite(result))
        return {};
    Tally tally{progress};
    const std::string name = integrand_name(e);
    std::vector<DD> coefficients = exact_detail::polynomial_coefficients(e);
    if (!coefficients.empty())
        return split_with(PolynomialAt{std::move(coefficients)}, rule, name, a, b, n, integral, result, tally);
    if (exact_detail::is_root_of_sine(e))
        return split_with(RootSineAt{exact_detail::sine_table()}, rule, name, a, b, n, integral, result, tally);
    return split_with(FineAt{exact_detail::fine_values(e)}, rule, name, a, b, n, integral, result, tally);
}

// Measured on one machine at n = 2^22: double-double Horner's scheme takes
// 20 to 40 times a run's point, sqrt(sin x) some 10 times; a function in 50
// digits some microseconds a point, a thousand times a run's.
long long split_weight(const IntegrandEntry& e)
{
    if (!exact_detail::polynomial_coefficients(e).empty())
        return 30;
    if (exact_detail::is_root_of_sine(e))
        return 10;
    return 1000;
}
